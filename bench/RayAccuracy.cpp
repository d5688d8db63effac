// GlowbakeRayAccuracy MODEL HEMICUBE_N HEMICUBE_2N WORLD_WIDTH MAX_AREA R...:
// one pass (no subdivision) of the model with hemicube rows at N and 2N and
// with ray rows for each R, and the per-element error of the rays against
// the hemicube's Richardson extrapolation 2 B(2N) - B(N) (which removes most
// of the hemicube's own bias, about +7/N): the relative L2 error
// (|B - B_ref| / |B_ref| over all those elements), the 90th percentile of the relative
// error and the mean signed relative error (the bias), over the elements that do not emit and receive light, on the mean
// of the three channels. Also the same for the hemicube at 2N, for scale.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "GlowbakeError.h"
#include "HemicubeFile.h"
#include "ModelLoad.h"
#include "Radiosity.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

const Progress kSilent;

struct Solved {
    std::vector<double> b;     // channel mean per element
    std::vector<char> emits;   // per element
    double projectSeconds = 0.0;
};

Solved solve(const Model& model, const HemicubeTables& tables, float worldWidth, float area, int rays) {
    SolverSettings s;
    s.hemicubeWorldWide = worldWidth;
    s.maxPatchArea = area;
    s.iterThreshold = 1e-6f;
    s.subDivideThreshold = 1e30f;
    s.formFactorRays = rays;
    Radiosity r(model, tables, s, kSilent);
    const auto start = std::chrono::steady_clock::now();
    r.projectAll();
    Solved out;
    out.projectSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (int ch = 0; ch < 3; ++ch) r.gatherChannel(ch);
    for (int g = 0; g < r.groups.count(); ++g) {
        const PatchGroup& group = *r.groups[g];
        const Color& e = model.colors[group.parentPatchId].emission;
        for (int k = 0; k < 4; ++k) {
            const Color& c = group.radiosity[k];
            out.b.push_back((static_cast<double>(c.r) + c.g + c.b) / 3.0);
            out.emits.push_back(e.r > 0.0f || e.g > 0.0f || e.b > 0.0f);
        }
    }
    return out;
}

void report(const char* label, const Solved& got, const std::vector<double>& reference, const Solved& shape) {
    std::vector<double> rel;
    double sum2 = 0.0, ref2 = 0.0, signedSum = 0.0;
    const double floor = 1e-3 * *std::max_element(reference.begin(), reference.end());
    for (size_t i = 0; i < reference.size(); ++i) {
        if (shape.emits[i] || !(reference[i] > floor)) continue;
        const double e = std::fabs(got.b[i] - reference[i]) / reference[i];
        signedSum += (got.b[i] - reference[i]) / reference[i];
        rel.push_back(e);
        sum2 += (got.b[i] - reference[i]) * (got.b[i] - reference[i]);
        ref2 += reference[i] * reference[i];
    }
    std::sort(rel.begin(), rel.end());
    const double p90 = rel.empty() ? 0.0 : rel[static_cast<size_t>(0.9 * (rel.size() - 1))];
    std::printf("%-14s %9.2f%% %9.2f%% %+9.2f%% %10.3f %9zu\n", label,
                100.0 * std::sqrt(sum2 / ref2), 100.0 * p90,
                100.0 * signedSum / std::max<size_t>(1, rel.size()), got.projectSeconds, rel.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: GlowbakeRayAccuracy MODEL HEMICUBE_N HEMICUBE_2N WORLD_WIDTH MAX_AREA R...\n");
        return 1;
    }
    try {
        FilePtr modelFile(std::fopen(argv[1], "r")), n1(std::fopen(argv[2], "rb")), n2(std::fopen(argv[3], "rb"));
        if (!modelFile || !n1 || !n2) throw GlowbakeError("cannot open the model or a hemicube file");
        const Model model = loadModel(modelFile.get(), argv[1], kSilent);
        const HemicubeTables coarse = readHemicubeFile(n1.get(), argv[2]);
        const HemicubeTables fine = readHemicubeFile(n2.get(), argv[3]);
        const float width = static_cast<float>(std::atof(argv[4])), area = static_cast<float>(std::atof(argv[5]));
        const Solved bN = solve(model, coarse, width, area, 0);
        const Solved b2N = solve(model, fine, width, area, 0);
        std::vector<double> reference(bN.b.size());
        for (size_t i = 0; i < reference.size(); ++i) reference[i] = 2.0 * b2N.b[i] - bN.b[i];
        std::printf("%zu elements; reference 2 B(%d) - B(%d)\n", reference.size(), fine.resolution, coarse.resolution);
        std::printf("%-14s %10s %10s %10s %10s %9s\n", "rows", "L2", "p90", "mean", "project_s", "elements");
        report(("hemicube " + std::to_string(fine.resolution)).c_str(), b2N, reference, bN);
        for (int i = 6; i < argc; ++i) {
            const int rays = std::atoi(argv[i]);
            report(("rays " + std::to_string(rays)).c_str(), solve(model, coarse, width, area, rays), reference, bN);
        }
    } catch (const GlowbakeError& e) {
        std::fprintf(stderr, "GlowbakeRayAccuracy: %s\n", e.what());
        return 1;
    }
    return 0;
}
