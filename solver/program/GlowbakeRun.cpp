#include "GlowbakeRun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include <chrono>

#include "CommandLine.h"
#include "FinalGather.h"
#include "GlowbakeError.h"
#include "GltfLightmapSource.h"
#include "HemicubeFile.h"
#include "LightmapAtlas.h"
#include "LightmapExport.h"
#include "Limits.h"
#include "ModelLoad.h"
#include "OutputFile.h"
#include "ProcessCluster.h"
#include "ProgressLine.h"
#include "QualityPreset.h"
#include "Radiosity.h"
#include "SceneFileWriter.h"
#include "SkyImage.h"
#include "SolveJob.h"
#include "SolveWarnings.h"
#include "TextureLayout.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an input named on the command line, printing why it cannot be: the
// fixed message and the usage text on standard output, and on standard error
// the file with the system's reason.
FilePtr openInput(bool given, const std::string& name, const char* usageWord, const char* option,
                  const char* kind, const char* mode) {
    if (!given) {
        std::printf("Must specify %s\n\n", usageWord);
        printUsage();
        printError(std::string("no ") + kind + " given (" + option + ")");
        return nullptr;
    }
    errno = 0;
    FilePtr file(std::fopen(name.c_str(), mode));
    if (!file) {
        const std::string why = std::strerror(errno);
        std::printf("Could not open file for reading:  %s\n\n", name.c_str());
        printUsage();
        printError("cannot read " + std::string(kind) + " " + name + ": " + why);
    }
    return file;
}

// Why the output cannot be written where it was opened: the system's reason,
// or that the name is a folder.
std::string outputProblem(int error, const std::string& name) {
    struct stat st;
    if (error == 0 && stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) error = EISDIR;
    return error != 0 ? std::strerror(error) : "it cannot be created";
}

SolverSettings solverSettings(const Settings& s) {
    SolverSettings solver;
    solver.hemicubeWorldWide = s.hemicubeWorldWide;
    solver.maxPatchArea = s.maxPatchArea;
    solver.iterThreshold = s.iterThreshold;
    solver.subDivideThreshold = s.subDivideThreshold;
    solver.gamma = s.gamma;
    solver.textSize = s.textSize;
    solver.formFactorRays = s.formFactorRays;
    for (int ch = 0; ch < 3; ++ch) solver.sky.uniform[ch] = s.sky[ch];
    return solver;
}

// Warnings about the model and its settings, on standard error only.
void reportWarnings(const std::vector<std::string>& lines) {
    std::fflush(stdout);
    for (const std::string& line : lines) std::fprintf(stderr, "Glowbake: warning: %s\n", line.c_str());
}

// The atlas of every chart, refused before the solve when it would be too
// large, naming a texture size that fits.
AtlasLayout planAtlas(const Radiosity& radiosity, const std::vector<PatchLayout>& layouts, int textSize) {
    AtlasLayout atlas;
    if (packAtlas(chartSizes(layouts), kMaxAtlasSide, atlas)) return atlas;
    const int fits = largestFittingTextSize(radiosity.model.patches, radiosity.largestPatchArea, textSize);
    throw GlowbakeError("the lightmap atlas for texture_size " + std::to_string(textSize) + " would exceed " +
                        std::to_string(kMaxAtlasSide) + " texels a side" +
                        (fits > 0 ? "; -t " + std::to_string(fits) + " fits" : "; the model has too many patches"));
}

void printExposure(const ExportSettings& settings, double exposure) {
    std::string files;
    std::vector<std::string> names = {settings.gltfFile};
    names.insert(names.end(), settings.lightmapFiles.begin(), settings.lightmapFiles.end());
    names.push_back(settings.irradianceFile);
    names.push_back(settings.gltfLightmapFile);
    for (const std::string& name : names)
        if (!name.empty()) files += " " + name;
    std::printf("exposure %.6g (automatic %+g EV)%s%s\n", exposure, settings.exposureStops,
                files.empty() ? "" : "; written:", files.c_str());
}

// Fills every number --quality chooses that the command line left out, and
// says on standard error what it chose, as options to paste back.
void applyQuality(Settings& settings, const Model& model) {
    const QualityChoice c = chooseQuality(model, settings.quality);
    if (!settings.given.w) settings.hemicubeWorldWide = c.hemicubeWorldWide;
    if (!settings.given.a) settings.maxPatchArea = c.maxPatchArea;
    if (!settings.given.i) settings.iterThreshold = c.iterThreshold;
    if (!settings.given.s) settings.subDivideThreshold = c.subDivideThreshold;
    if (!settings.given.g) settings.gamma = c.gamma;
    if (!settings.given.t) settings.textSize = c.textSize;
    if (!settings.given.formFactors) settings.formFactorRays = c.formFactorRays;
    if (!settings.given.gather) settings.gatherRays = c.gatherRays;
    std::fflush(stdout);
    std::fprintf(stderr, "Glowbake: --quality %s chose: %s-w %g -a %g -i %g -s %g -g %g -t %d --form-factors %s --gather %d\n",
                 qualityName(settings.quality),
                 settings.haveHemicubeFile ? "" : ("(a hemicube of " + std::to_string(c.hemicubeResolution) +
                                                   " made in memory) ").c_str(),
                 static_cast<double>(settings.hemicubeWorldWide), static_cast<double>(settings.maxPatchArea),
                 static_cast<double>(settings.iterThreshold), static_cast<double>(settings.subDivideThreshold),
                 static_cast<double>(settings.gamma), settings.textSize,
                 settings.formFactorRays > 0 ? ("rays:" + std::to_string(settings.formFactorRays)).c_str() : "hemicube",
                 settings.gatherRays);
}

// Lights every texel afresh from the solved scene; the textures and atlases
// are then made from the gathered light. Its figures go to standard error.
void gatherTexels(Radiosity& radiosity, const std::vector<PatchLayout>& layouts, int rays, const Progress& progress,
                  ProgressLine& statusLine) {
    const auto start = std::chrono::steady_clock::now();
    GatherSettings gatherSettings;
    gatherSettings.rays = rays;
    const FinalGather gather(radiosity, gatherSettings);
    GatheredLighting lit = gather.gatherTextures(layouts, progress);
    radiosity.gatheredIncident = std::move(lit.incident);
    statusLine.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fflush(stdout);
    std::fprintf(stderr, "Glowbake: final gather: %lld texels, %lld rays in %.1f s (%.1f million rays/s)\n",
                 lit.texels, lit.rays, seconds, seconds > 0.0 ? lit.rays / seconds * 1e-6 : 0.0);
}

}  // namespace

namespace {

// Process 0's side of handing the job to the other processes: a run that
// ends before the solve (help, a bad option or file) tells them to stop
// with its status, once.
struct JobSender {
    const Cluster& cluster;
    bool sent = false;
    void send(std::vector<char>& job) {
        sent = true;
        shareJob(cluster, false, 0, job);
    }
    int stop(int status) {
        if (!sent) {
            std::vector<char> none;
            shareJob(cluster, true, status, none);
            sent = true;
        }
        return status;
    }
};

void sayRowBytes(const Radiosity& r) {
    if (!r.cluster.spread()) return;
    std::string passes;
    for (long long bytes : r.clusterBytes) {
        char one[40];
        std::snprintf(one, sizeof one, "%s%.1f", passes.empty() ? "" : ", ", bytes / 1048576.0);
        passes += one;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "Glowbake: spread over %d processes: MiB sent per pass: %s\n", r.cluster.size, passes.c_str());
}

int runFirst(int argc, const char* const* argv, const Cluster& cluster, JobSender& sender) {
    std::printf("Glowbake 1.0\n");
    std::printf("Radiosity lightmap baker: hemicube form factors, Gauss-Seidel gathering, one texture per triangle\n");

    Settings settings;
    switch (parseCommandLine(argc, argv, settings)) {
        case CommandLineResult::Help: return 0;
        case CommandLineResult::Error: return 1;
        case CommandLineResult::Run: break;
    }

    // The output is checked for writability where the scene file would have
    // been opened, but nothing replaces it until the run has succeeded.
    // Spread over processes, the temporaries are not kept through the solve
    // (a process may die in it): the outputs are opened again at the end.
    std::optional<OutputFile> output(std::in_place);
    errno = 0;
    if (!output->open(settings.outputFile)) {
        const std::string why = outputProblem(errno, settings.outputFile);
        std::printf("Could not open file for writing:  %s\n\n", settings.outputFile.c_str());
        printUsage();
        printError("cannot write the output file " + settings.outputFile + ": " + why);
        return 1;
    }
    FilePtr modelFile =
        openInput(settings.haveModelFile, settings.modelFile, "model_file", "-m", "model file", "r");
    if (!modelFile) return 1;
    FilePtr hemicubeFile;
    if (settings.haveHemicubeFile || settings.quality == Quality::None) {
        hemicubeFile =
            openInput(settings.haveHemicubeFile, settings.hemicubeFile, "hemicube_file", "-h", "hemicube file", "rb");
        if (!hemicubeFile) return 1;
    }
    std::optional<ExportOutputs> exportOutputs(std::in_place);
    std::string problem;
    if (!exportOutputs->open(settings.exports, settings.outputFile, problem)) {
        printError(problem.c_str());
        return 1;
    }
    if (cluster.spread()) {
        output.reset();
        exportOutputs.reset();
        sayWhenStopped();
    }

    const std::time_t start = std::time(nullptr);
    // The fixed progress text goes to standard output; the same progress as
    // numbers drives the status line on a terminal's standard error.
    struct Outlets {
        ProgressLine statusLine;
        const Cluster* cluster;
    } outlets{ProgressLine(), &cluster};
    ProgressLine& statusLine = outlets.statusLine;
    Progress progress;
    progress.user = &outlets;
    progress.text = [](void* user, const char* chunk) { static_cast<Outlets*>(user)->statusLine.writeText(chunk); };
    progress.warning = [](void* user, const char* line) {
        ProgressLine& status = static_cast<Outlets*>(user)->statusLine;
        status.finish();
        std::fflush(stdout);
        std::fprintf(stderr, "Glowbake: warning: %s\n", line);
    };
    if (statusLine.enabled() || cluster.spread()) {
        progress.event = [](void* user, const ProgressEvent& e) {
            Outlets& o = *static_cast<Outlets*>(user);
            if (o.cluster->spread()) noteActivity(*o.cluster, e);
            if (o.statusLine.enabled()) o.statusLine.update(e);
        };
    }
    bool sharing = false;  // the other processes are at work on the same job
    try {
        // The hemicube file is read before the model, as always; without one
        // (--quality) the tables are made once the scene is known.
        HemicubeTables tables;
        if (hemicubeFile) tables = readHemicubeFile(hemicubeFile.get(), settings.hemicubeFile);
        GltfLightmapSource lightmapSource;
        Model model = loadModel(modelFile.get(), settings.modelFile, progress,
                                surfacesToRead(settings.exports, settings.modelFile, lightmapSource));
        for (const Lamp& lamp : model.lamps) {
            const std::string problem = lampProblem(lamp);
            if (!problem.empty())
                throw GlowbakeError("model file " + settings.modelFile + ": light '" + lamp.name + "' (" +
                                    lampKindName(lamp.kind) + "): " + problem);
        }
        convertLampUnits(model.lamps, settings.lampUnits);
        if (!hemicubeFile) tables = makeHemicubeTables(chooseQuality(model, settings.quality).hemicubeResolution);
        if (settings.quality != Quality::None) applyQuality(settings, model);
        SolverSettings solveWith = solverSettings(settings);
        if (!settings.skyFile.empty()) solveWith.sky.image = readSkyImage(settings.skyFile);
        std::vector<char> job;
        if (cluster.spread()) {
            SolveJob whole{Model(), tables, solveWith, settings.gatherRays};
            whole.model.patches = model.patches;
            whole.model.colors = model.colors;
            whole.model.lamps = model.lamps;
            job = packSolveJob(whole);
        }
        Radiosity mainRadiosity(std::move(model), tables, solveWith, progress);
        mainRadiosity.cluster = cluster;
        const std::vector<PatchLayout> layouts =
            layoutTextures(mainRadiosity.model.patches, settings.textSize, mainRadiosity.largestPatchArea);
        const bool exporting = settings.exports.any();
        const AtlasLayout atlas = exporting ? planAtlas(mainRadiosity, layouts, settings.textSize) : AtlasLayout();
        readGltfLightmapSource(settings.exports, settings.modelFile, mainRadiosity.model, lightmapSource);
        reportWarnings(settingWarnings(mainRadiosity));
        if (cluster.spread()) {
            sender.send(job);
            std::vector<char>().swap(job);
            sharing = true;
        }
        mainRadiosity.solve();
        statusLine.finish();
        reportWarnings(solveWarnings(mainRadiosity));
        if (mainRadiosity.settings.formFactorRays > 0) {
            std::fflush(stdout);
            std::fprintf(stderr,
                         "Glowbake: ray form factors: %lld rays cast in %d pass%s; restarts resolved %lld stored "
                         "hits again instead of casting them (%.0f%% of their hemisphere rays)\n",
                         mainRadiosity.rayRowsCast, mainRadiosity.pass + 1, mainRadiosity.pass > 0 ? "es" : "",
                         mainRadiosity.rayRowsReused,
                         mainRadiosity.restartHemisphereRays > 0
                             ? 100.0 * mainRadiosity.rayRowsReused / mainRadiosity.restartHemisphereRays
                             : 0.0);
        }
        sayRowBytes(mainRadiosity);
        if (settings.gatherRays > 0) gatherTexels(mainRadiosity, layouts, settings.gatherRays, progress, statusLine);
        sharing = false;
        if (cluster.spread()) {
            // Every other process is done: only now are the outputs opened.
            output.emplace();
            errno = 0;
            if (!output->open(settings.outputFile))
                throw GlowbakeError("cannot write the output file " + settings.outputFile + ": " +
                                    outputProblem(errno, settings.outputFile));
            exportOutputs.emplace();
            if (!exportOutputs->open(settings.exports, settings.outputFile, problem)) throw GlowbakeError(problem);
        }
        progress.say("\n\nOutputing to disk...\n");
        writeSceneFile(output->stream(), settings.outputFile, mainRadiosity, layouts, progress);
        progress.say("Done\n");
        double exposure = 1.0;
        if (exporting) {
            exposure = exportLighting(settings.exports, mainRadiosity, layouts, atlas, lightmapSource, *exportOutputs);
        } else if (settings.exports.given) {
            exposure = meterElements(mainRadiosity).exposure(settings.exports.exposureStops);
        }
        statusLine.finish();
        std::vector<OutputFile*> outputs = exportOutputs->files();
        outputs.insert(outputs.begin(), &*output);
        commitAll(outputs);
        if (settings.exports.given) printExposure(settings.exports, exposure);
        const std::time_t end = std::time(nullptr);
        std::printf("\n%d seconds elapsed.\n", static_cast<int>(end - start));
    } catch (const GlowbakeError& e) {
        statusLine.finish();
        printError(e.what());
        // The others may be waiting for this process: end them all (they
        // meet a failure of the scene or its limits at the same point and
        // stay silent; any other failure they could not tell apart).
        if (sharing) abortCluster(cluster, 1);
        return 1;
    } catch (const std::bad_alloc&) {
        statusLine.finish();
        printError("out of memory; try a larger max_patch_area or a smaller texture_size");
        if (sharing) abortCluster(cluster, 1);
        return 1;
    } catch (const std::exception& e) {
        statusLine.finish();
        printError(e.what());
        if (sharing) abortCluster(cluster, 1);
        return 1;
    }
    return 0;
}

// Another process's part: the job from process 0, its shares of every pass
// and of the final gather, and nothing printed unless it fails.
int runShare(const Cluster& cluster) {
    std::vector<char> bytes;
    const int stopped = shareJob(cluster, false, 0, bytes);
    if (stopped >= 0) return stopped;
    Progress progress;
    progress.user = const_cast<Cluster*>(&cluster);
    progress.event = [](void* user, const ProgressEvent& e) { noteActivity(*static_cast<Cluster*>(user), e); };
    std::string failure;
    try {
        SolveJob job = unpackSolveJob(bytes);
        std::vector<char>().swap(bytes);
        Radiosity radiosity(std::move(job.model), job.tables, job.settings, progress);
        radiosity.cluster = cluster;
        const std::vector<PatchLayout> layouts =
            layoutTextures(radiosity.model.patches, job.settings.textSize, radiosity.largestPatchArea);
        radiosity.solve();
        if (job.gatherRays > 0) {
            GatherSettings gatherSettings;
            gatherSettings.rays = job.gatherRays;
            const FinalGather gather(radiosity, gatherSettings);
            gather.gatherTextures(layouts, progress);
        }
        return 0;
    } catch (const GlowbakeError&) {
        // Process 0 meets the same failure at the same point and says it.
        return 1;
    } catch (const std::bad_alloc&) {
        failure = "out of memory";
    } catch (const std::exception& e) {
        failure = e.what();
    }
    std::fprintf(stderr, "Glowbake: error: process %d of %d: %s while %s\n", cluster.rank, cluster.size,
                 failure.c_str(), activity());
    abortCluster(cluster, 1);
}

}  // namespace

int runGlowbake(int argc, const char* const* argv, const Cluster& cluster) {
    if (!cluster.first()) return runShare(cluster);
    JobSender sender{cluster};
    return sender.stop(runFirst(argc, argv, cluster, sender));
}

int runGlowbake(int argc, const char* const* argv) { return runGlowbake(argc, argv, Cluster()); }
