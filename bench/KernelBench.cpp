// Google Benchmark for the solver's hot kernels: scan conversion of one face,
// one group's form-factor rows (fast path and plain reference), and the box
// filter of the baking.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "FormFactorWorkspace.h"
#include "HemicubeView.h"
#include "PatchGroup.h"
#include "Radiosity.h"
#include "Texture.h"

namespace {

// A unit hemicube of resolution n, with the delta form factors the
// generator writes.
std::unique_ptr<Hemicube> makeHemicube(int n, float worldWidth) {
    HemicubeTables tables;
    tables.resolution = n;
    const double d = 2.0 / n, pi = 3.14159265358979323846;
    for (int r = 0; r < n / 2; ++r)
        for (int c = 0; c < n / 2; ++c) {
            const double x = -1 + (c + 0.5) * d, y = -1 + (r + 0.5) * d, q = x * x + y * y + 1;
            tables.topQuadrant.push_back(static_cast<float>(d * d / (pi * q * q)));
        }
    for (int r = 0; r < n / 2; ++r)
        for (int c = 0; c < n / 2; ++c) {
            const double x = -1 + (c + 0.5) * d, z = (r + 0.5) * d, q = x * x + z * z + 1;
            tables.sideQuadrant.push_back(static_cast<float>(z * d * d / (pi * q * q)));
        }
    return std::make_unique<Hemicube>(worldWidth, tables);
}

// A closed box of 12 inward triangles, each split into `split` x 4 groups.
struct BoxScene {
    std::unique_ptr<Hemicube> cube;
    GroupArray groups;
    Color reflectance{0.5f, 0.5f, 0.5f, 1.0f};
    Color emission{1.0f, 1.0f, 1.0f, 1.0f};

    BoxScene(int resolution, float maxArea) : cube(makeHemicube(resolution, 0.2f)) {
        const float lo = 0.0f, hi = 10.0f;
        const Vec3 p[8] = {{lo, lo, lo}, {hi, lo, lo}, {hi, hi, lo}, {lo, hi, lo},
                           {lo, lo, hi}, {hi, lo, hi}, {hi, hi, hi}, {lo, hi, hi}};
        // Corners ordered so that every normal points into the box.
        const int faces[6][4] = {{0, 1, 2, 3}, {4, 7, 6, 5}, {0, 4, 5, 1}, {3, 2, 6, 7}, {0, 3, 7, 4}, {1, 5, 6, 2}};
        int patch = 0;
        for (const auto& q : faces) {
            const Tri tris[2] = {Tri(p[q[0]], p[q[1]], p[q[2]]), Tri(p[q[0]], p[q[2]], p[q[3]])};
            for (const Tri& t : tris) {
                auto g = std::make_unique<PatchGroup>();
                g->initFromTri(t, patch++, &reflectance, &emission, Color(0, 0, 0, 1), cube.get());
                groups.push(std::move(g));
            }
        }
        splitLargeGroups(groups, maxArea);
    }
};

void BM_RasterizeFace(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<HemicubePixel> buffer(static_cast<size_t>(n) * n);
    std::vector<int> rowOffset(n);
    for (int r = 0; r < n; ++r) rowOffset[r] = r * n;
    FaceScratch scratch;
    scratch.reserve(n);
    const FaceGrid grid(n, n, -0.1f, 0.1f, -0.1f, 0.1f);
    const Tri t(Vec3(-0.3f, -0.2f, 1.0f), Vec3(0.1f, 0.4f, 1.2f), Vec3(0.35f, -0.3f, 0.9f));
    for (auto _ : state) {
        rasterizeFace(buffer.data(), rowOffset.data(), t, 7, grid, scratch);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_RasterizeFace)->Arg(64)->Arg(128);

void BM_GroupFormFactorsFast(benchmark::State& state) {
    BoxScene scene(static_cast<int>(state.range(0)), static_cast<float>(state.range(1)));
    FormFactorWorkspace workspace(*scene.cube);
    PatchGroup* g = scene.groups[0].get();
    for (auto _ : state) {
        g->computeFormFactors(scene.groups, workspace);
        benchmark::DoNotOptimize(g->formFactors[0].entries.data());
    }
    state.counters["groups"] = scene.groups.count();
}
BENCHMARK(BM_GroupFormFactorsFast)->Args({64, 4})->Args({64, 1})->Args({128, 1})->Unit(benchmark::kMillisecond);

void BM_GroupFormFactorsReference(benchmark::State& state) {
    BoxScene scene(static_cast<int>(state.range(0)), static_cast<float>(state.range(1)));
    PatchGroup* g = scene.groups[0].get();
    for (auto _ : state) {
        g->computeFormFactorsReference(scene.groups);
        benchmark::DoNotOptimize(g->formFactors[0].entries.data());
    }
    state.counters["groups"] = scene.groups.count();
}
BENCHMARK(BM_GroupFormFactorsReference)->Args({64, 4})->Args({64, 1})->Args({128, 1})->Unit(benchmark::kMillisecond);

void BM_BoxBlur(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    Texture texture(side, side);
    for (size_t i = 0; i < texture.texels.size(); ++i) texture.texels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u);
    for (auto _ : state) {
        boxBlur(texture, 10);
        benchmark::DoNotOptimize(texture.texels.data());
    }
}
BENCHMARK(BM_BoxBlur)->Arg(64)->Arg(256);

}  // namespace

BENCHMARK_MAIN();
