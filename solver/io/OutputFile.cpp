#include "OutputFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "GlowbakeError.h"

namespace {

// The temporary files of the run in progress, for the signal handler: an
// interrupted run (Ctrl-C, kill) removes them instead of leaving them beside
// the outputs. Fixed buffers, because the handler may only make
// async-signal-safe calls.
constexpr int kPendingSlots = 16;
char pendingTemp[kPendingSlots][4096];

extern "C" void removePendingTemp(int sig) {
    for (char* name : pendingTemp)
        if (name[0] != '\0') unlink(name);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void watchTemp(const std::string& name) {
    if (name.size() >= sizeof pendingTemp[0]) return;
    for (char* slot : pendingTemp) {
        if (slot[0] != '\0') continue;
        std::memcpy(slot, name.c_str(), name.size() + 1);
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, removePendingTemp);
        return;
    }
}

void forgetTemp(const std::string& name) {
    for (char* slot : pendingTemp)
        if (name == slot) slot[0] = '\0';
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

namespace {

// The file a chain of symbolic links starting at `name` leads to (`name`
// itself when it is no link), whether or not that file exists; false for a
// loop or a link that cannot be read.
bool followLinks(const std::string& name, std::string& target) {
    target = name;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = readlink(target.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<size_t>(n) >= buffer.size()) return false;
        const std::string link(buffer.data(), static_cast<size_t>(n));
        if (!link.empty() && link[0] == '/') {
            target = link;
        } else {
            // Relative to the folder holding the link.
            const size_t slash = target.rfind('/');
            target = slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
        }
    }
    return false;
}

}  // namespace

bool OutputFile::open(const std::string& name, const std::string& kind_) {
    outputName = name;
    kind = kind_;
    struct stat st;
    if (stat(name.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return false;
        if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode)) {
            // Written in place (through any links, /dev/stdout included):
            // renaming over it would replace the device or FIFO with a
            // regular file.
            const int fd = ::open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (fd < 0) return false;
            file = fdopen(fd, "wb");
            if (!file) close(fd);
            return file != nullptr;
        }
        if (!S_ISREG(st.st_mode)) return false;
    }
    // A regular file, or none yet: the temporary replaces the file at the
    // end of any links, so that the links stay.
    if (!followLinks(name, targetName)) return false;
    std::vector<char> pattern(targetName.begin(), targetName.end());
    const char suffix[] = ".tmpXXXXXX";
    pattern.insert(pattern.end(), suffix, suffix + sizeof suffix);
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return false;
    tempName = pattern.data();
    file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(tempName.c_str());
        tempName.clear();
        return false;
    }
    watchTemp(tempName);
    // mkstemp makes the file private; a scene file gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return true;
}

void OutputFile::commit() {
    finish();
    publish();
}

void OutputFile::finish() {
    if (!file) return;
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int flushErrno = errno;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (!flushed || !closed) {
        const std::string why = std::strerror(flushed ? errno : flushErrno);
        discard();
        throw GlowbakeError("could not write " + kind + " " + outputName + ": " + why);
    }
}

void OutputFile::publish() {
    if (tempName.empty()) return;
    if (std::rename(tempName.c_str(), targetName.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        discard();
        throw GlowbakeError("could not write " + kind + " " + outputName + ": " + why);
    }
    forgetTemp(tempName);
    tempName.clear();
}

void OutputFile::discard() {
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
    if (!tempName.empty()) {
        unlink(tempName.c_str());
        forgetTemp(tempName);
        tempName.clear();
    }
}
