#include "GuardedImport.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "GlowbakeError.h"
#include "SceneImport.h"
#include "SceneSurfaces.h"

#if defined(__SANITIZE_ADDRESS__)
#define GLOWBAKE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLOWBAKE_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// What the child sends: one tag byte, then the model or a message.
constexpr char kModelTag = 'M';
constexpr char kErrorTag = 'E';
constexpr char kOutOfMemoryTag = 'O';

struct ModelBytes {
    std::string bytes;

    template <typename T>
    void put(const T& value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void put(const std::string& text) {
        put(static_cast<std::uint64_t>(text.size()));
        bytes += text;
    }
    void put(const Color& c) {
        put(c.r), put(c.g), put(c.b), put(c.a);
    }
    template <typename T>
    void put(const std::vector<T>& values) {
        put(static_cast<std::uint64_t>(values.size()));
        bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    }
};

struct ModelBytesReader {
    const std::string& bytes;
    std::size_t at = 1;  // past the tag
    bool ok = true;

    template <typename T>
    void get(T& value) {
        if (!ok || bytes.size() - at < sizeof value) {
            ok = false;
            return;
        }
        std::memcpy(&value, bytes.data() + at, sizeof value);
        at += sizeof value;
    }
    void get(std::string& text) {
        std::uint64_t size = 0;
        get(size);
        if (!ok || bytes.size() - at < size) {
            ok = false;
            return;
        }
        text.assign(bytes, at, size);
        at += size;
    }
    void get(Color& c) {
        get(c.r), get(c.g), get(c.b), get(c.a);
    }
    template <typename T>
    void get(std::vector<T>& values) {
        values.resize(count(sizeof(T)));
        if (!ok) return;
        std::memcpy(values.data(), bytes.data() + at, values.size() * sizeof(T));
        at += values.size() * sizeof(T);
    }
    // A count of records of at least `recordBytes` bytes each that the rest
    // of the bytes can hold.
    std::size_t count(std::size_t recordBytes) {
        std::uint64_t n = 0;
        get(n);
        if (ok && n > (bytes.size() - at) / recordBytes) ok = false;
        return ok ? static_cast<std::size_t>(n) : 0;
    }
};

void encodeSurfaces(const SceneSurfaces& surfaces, ModelBytes& out) {
    out.put(static_cast<std::uint64_t>(surfaces.materials.size()));
    for (const SurfaceMaterial& m : surfaces.materials) {
        out.put(m.name);
        out.put(m.baseColor);
        out.put(m.emission);
        out.put(m.image);
        out.put(m.mimeType);
    }
    out.put(surfaces.patchMaterial);
    out.put(surfaces.hasNormals);
    out.put(surfaces.hasTexcoords);
    out.put(surfaces.normals);
    out.put(surfaces.texcoords);
}

void decodeSurfaces(ModelBytesReader& in, SceneSurfaces& surfaces) {
    surfaces.materials.resize(in.count(3 * sizeof(std::uint64_t) + 7 * sizeof(float)));
    for (SurfaceMaterial& m : surfaces.materials) {
        in.get(m.name);
        in.get(m.baseColor);
        in.get(m.emission);
        in.get(m.image);
        in.get(m.mimeType);
    }
    in.get(surfaces.patchMaterial);
    in.get(surfaces.hasNormals);
    in.get(surfaces.hasTexcoords);
    in.get(surfaces.normals);
    in.get(surfaces.texcoords);
}

std::string encodeModel(const Model& model, const SceneSurfaces* surfaces) {
    ModelBytes out;
    out.bytes += kModelTag;
    out.put(static_cast<std::uint64_t>(model.patches.size()));
    for (std::size_t i = 0; i < model.patches.size(); ++i) {
        const Tri& patch = model.patches[i];
        for (const Vec3& v : patch.vertices) out.put(v.x), out.put(v.y), out.put(v.z);
        out.put(patch.vertexTolerance);
        out.put(model.colors[i].reflectance);
        out.put(model.colors[i].emission);
    }
    out.put(static_cast<std::uint64_t>(model.meshes.size()));
    for (const ModelMesh& mesh : model.meshes) {
        out.put(mesh.name);
        out.put(mesh.material);
        out.put(mesh.firstPatch);
        out.put(mesh.patchCount);
    }
    out.put(static_cast<std::uint64_t>(model.lamps.size()));
    for (const Lamp& lamp : model.lamps) {
        out.put(static_cast<int>(lamp.kind));
        out.put(lamp.name);
        for (double v : lamp.position) out.put(v);
        for (double v : lamp.direction) out.put(v);
        for (double v : lamp.intensity) out.put(v);
        out.put(lamp.range), out.put(lamp.innerCone), out.put(lamp.outerCone);
    }
    out.put(static_cast<std::uint64_t>(model.ignoredLights.size()));
    for (const std::string& note : model.ignoredLights) out.put(note);
    if (surfaces) encodeSurfaces(*surfaces, out);
    return out.bytes;
}

bool decodeModel(const std::string& bytes, Model& model, SceneSurfaces* surfaces) {
    ModelBytesReader in{bytes};
    const std::size_t patches = in.count(18 * sizeof(float));
    model.patches.resize(patches);
    model.colors.resize(patches);
    for (std::size_t i = 0; i < patches && in.ok; ++i) {
        Tri& patch = model.patches[i];
        Vec3 v[3];
        for (Vec3& corner : v) in.get(corner.x), in.get(corner.y), in.get(corner.z);
        patch.setVertices(v[0], v[1], v[2]);
        in.get(patch.vertexTolerance);
        in.get(model.colors[i].reflectance);
        in.get(model.colors[i].emission);
    }
    const std::size_t meshes = in.count(2 * sizeof(std::uint64_t) + 2 * sizeof(int));
    model.meshes.resize(meshes);
    for (ModelMesh& mesh : model.meshes) {
        in.get(mesh.name);
        in.get(mesh.material);
        in.get(mesh.firstPatch);
        in.get(mesh.patchCount);
    }
    const std::size_t lamps = in.count(sizeof(int) + sizeof(std::uint64_t) + 12 * sizeof(double));
    model.lamps.resize(lamps);
    for (Lamp& lamp : model.lamps) {
        int kind = 0;
        in.get(kind);
        lamp.kind = kind == 1 ? LampKind::Spot : kind == 2 ? LampKind::Directional : LampKind::Point;
        in.get(lamp.name);
        for (double& v : lamp.position) in.get(v);
        for (double& v : lamp.direction) in.get(v);
        for (double& v : lamp.intensity) in.get(v);
        in.get(lamp.range), in.get(lamp.innerCone), in.get(lamp.outerCone);
    }
    const std::size_t notes = in.count(sizeof(std::uint64_t));
    model.ignoredLights.resize(notes);
    for (std::string& note : model.ignoredLights) in.get(note);
    if (surfaces) decodeSurfaces(in, *surfaces);
    return in.ok && in.at == bytes.size();
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string readAll(int fd) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

#ifndef GLOWBAKE_ADDRESS_SANITIZER
// The bytes of address space this process already maps, which the child
// starts with.
double mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0;
    statm >> pages;
    return pages * static_cast<double>(sysconf(_SC_PAGESIZE));
}
#endif

struct ImportBounds {
    double memory = 0;   // bytes beyond what is mapped already
    double seconds = 0;  // processor time
};

ImportBounds boundsFor(const std::string& fileName) {
    struct stat st;
    const double size = stat(fileName.c_str(), &st) == 0 ? static_cast<double>(st.st_size) : 0.0;
    ImportBounds bounds;
    bounds.memory = kImportMemoryBase + kImportMemoryPerFileByte * size;
    const double machine = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
    if (machine > 0) bounds.memory = std::min(bounds.memory, machine / 2);
    bounds.seconds = kImportSecondsBase + kImportSecondsPerMiB * size / (1024.0 * 1024.0);
    return bounds;
}

void limit(int resource, double soft, double hard) {
    struct rlimit bound;
    bound.rlim_cur = static_cast<rlim_t>(soft);
    bound.rlim_max = static_cast<rlim_t>(hard);
    struct rlimit current;
    if (getrlimit(resource, &current) == 0 && current.rlim_max != RLIM_INFINITY) {
        bound.rlim_max = std::min(bound.rlim_max, current.rlim_max);
        bound.rlim_cur = std::min(bound.rlim_cur, bound.rlim_max);
    }
    setrlimit(resource, &bound);
}

[[noreturn]] void runChild(int fd, const std::string& fileName, const ImportBounds& bounds, bool withSurfaces) {
    limit(RLIMIT_CORE, 0, 0);
#ifndef GLOWBAKE_ADDRESS_SANITIZER
    // The sanitizer's shadow memory is address space no bound allows.
    const double space = mappedBytes() + bounds.memory;
    limit(RLIMIT_AS, space, space);
#endif
    // Past the soft bound the child gets SIGXCPU, past the hard one SIGKILL.
    limit(RLIMIT_CPU, bounds.seconds, bounds.seconds + 10);
    std::string message;
    try {
        SceneSurfaces surfaces;
        const Model model = importScene(fileName, Progress(), withSurfaces ? &surfaces : nullptr);
        message = encodeModel(model, withSurfaces ? &surfaces : nullptr);
    } catch (const GlowbakeError& e) {
        message = kErrorTag + std::string(e.what());
    } catch (const std::bad_alloc&) {
        message = kOutOfMemoryTag;
    } catch (const std::exception& e) {
        message = kErrorTag + ("model file " + fileName + ": " + e.what());
    }
    std::fflush(stderr);
    _exit(writeAll(fd, message) ? 0 : 2);
}

[[noreturn]] void refuse(const std::string& fileName, const std::string& why) {
    throw GlowbakeError("model file " + fileName + ": " + why);
}

std::string mebibytes(double bytes) { return std::to_string(static_cast<long long>(bytes / (1024.0 * 1024.0))); }

}  // namespace

Model importSceneGuarded(const std::string& fileName, const Progress& progress, SceneSurfaces* surfaces) {
    const ImportBounds bounds = boundsFor(fileName);
    // Nothing buffered may be written twice, by the child as well.
    std::fflush(stdout);
    std::fflush(stderr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) refuse(fileName, std::string("cannot start the importer: ") + std::strerror(errno));
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(fds[0]);
        close(fds[1]);
        refuse(fileName, std::string("cannot start the importer: ") + std::strerror(error));
    }
    if (child == 0) {
        close(fds[0]);
        runChild(fds[1], fileName, bounds, surfaces != nullptr);
    }
    close(fds[1]);
    const std::string bytes = readAll(fds[0]);
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU || signal == SIGKILL) {
            struct rusage used;
            const bool overTime =
                getrusage(RUSAGE_CHILDREN, &used) == 0 &&
                used.ru_utime.tv_sec + used.ru_stime.tv_sec >= static_cast<long>(bounds.seconds);
            if (signal == SIGXCPU || overTime)
                refuse(fileName, "the importer ran for more than " + std::to_string(static_cast<long>(bounds.seconds)) +
                                     " seconds of processor time while reading it and was stopped; the file is "
                                     "probably malformed");
        }
        if (signal == SIGKILL)
            refuse(fileName, "the importer was killed while reading it; the machine may have run out of memory");
        refuse(fileName, "the importer crashed (" + std::string(strsignal(signal)) +
                             ") while reading it; the file is probably malformed");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || bytes.empty())
        refuse(fileName, "the importer stopped without a result (exit status " + std::to_string(WEXITSTATUS(status)) +
                             ")");
    if (bytes[0] == kErrorTag) throw GlowbakeError(bytes.substr(1));
    if (bytes[0] == kOutOfMemoryTag)
        refuse(fileName, "the importer needed more than its bound of " + mebibytes(bounds.memory) +
                             " MiB of memory while reading it; the file is probably malformed (it claims far more "
                             "data than it holds)");
    Model model;
    if (bytes[0] != kModelTag || !decodeModel(bytes, model, surfaces))
        refuse(fileName, "the importer's result came back damaged");
    reportImportedScene(model, progress);
    return model;
}
