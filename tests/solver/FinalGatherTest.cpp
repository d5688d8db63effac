// The per-texel final gather against closed-form factors, against the solve
// it starts from, and for grain and thread-count independence.

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "DisplayMapping.h"
#include "ElementLocator.h"
#include "FinalGather.h"
#include "LightmapAtlas.h"
#include "Radiosity.h"
#include "SolverTestUtil.h"
#include "TextureLayout.h"

using namespace solvertest;

namespace {

std::unique_ptr<Radiosity> solved(const std::vector<ModelPatch>& patches, const HemicubeTables& tables,
                                  const SolverSettings& settings) {
    auto r = std::make_unique<Radiosity>(modelOf(patches), tables, settings, kSilent);
    r->solve();
    return r;
}

}  // namespace

// A square emitter above a wide, otherwise empty floor: the light arriving
// at floor points is the emission times the closed-form factor from a
// differential area to a parallel rectangle.
TEST(FinalGather, DirectLightMatchesTheClosedFormFactor) {
    std::vector<ModelPatch> patches;
    addRectangleY(patches, -20.0f, 20.0f, -20.0f, 20.0f, 0.0f, true, Color(0.5f, 0.5f, 0.5f, 1.0f),
                  Color(0.0f, 0.0f, 0.0f, 1.0f));
    const float h = 2.3f, half = 0.15f, emission = 10.0f;
    addRectangleY(patches, -half, half, -half, half, h, false, Color(0.0f, 0.0f, 0.0f, 1.0f),
                  Color(emission, emission, emission, 1.0f));
    const auto r = solved(patches, unitHemicubeTables(32), settingsOf(0.01f, 1e4f, 1e-4f, 1e4f));
    GatherSettings settings;
    settings.rays = 16;
    const FinalGather gather(*r, settings);

    const struct {
        double x, z;
    } points[] = {{0.0, 0.0}, {1.0, 0.0}, {0.7, -0.7}, {h * std::tan(53.0 * 3.14159265358979 / 180.0), 0.0},
                  {-0.12, 0.05}};
    for (const auto& p : points) {
        // The floor triangle holding the point.
        for (int patch = 0; patch < 2; ++patch) {
            double w[3];
            barycentric(r->model.patches[patch], p.x, 0.0, p.z, w);
            if (std::min({w[0], w[1], w[2]}) < 0.0) continue;
            const double exact = emission * pointToRectangle(p.x, p.z, -half, half, -half, half, h);
            const Color got = gather.incidentAt(patch, w[0], w[1], w[2]);
            EXPECT_NEAR(got.g, exact, 0.01 * exact) << "at x " << p.x << ", z " << p.z;
            EXPECT_EQ(got.a, 1.0f);
        }
    }
}

// The element that holds a point, found from the split tree, against plain
// containment in every element.
TEST(FinalGather, ElementLocatorFindsTheElementHoldingAPoint) {
    const Tri patch(Vec3(0, 0, 0), Vec3(0, 0, 3), Vec3(4, 0, 0));
    auto cube = unitHemicube(8, 1.0f);
    GroupSet set(cube.get());
    set.add(patch, 0);
    // Split unevenly: the first group, then its children 3 and 1, then a
    // grandchild, as restarts would.
    for (int round = 0; round < 3; ++round) {
        const int which = round == 0 ? 0 : round == 1 ? set.groups.count() - 1 : set.groups.count() - 3;
        set.groups[which]->subdivide = true;
        set.groups[which]->splitGroup(set.groups, which);
    }
    const ElementLocator locator(set.groups, 1);
    for (int i = 0; i < 400; ++i) {
        const double u = ((i * 37) % 400 + 0.5) / 400.0, v = ((i * 113) % 397 + 0.5) / 397.0;
        if (u + v >= 1.0) continue;
        const double w[3] = {1.0 - u - v, u, v};
        const double px = w[1] * 0 + w[2] * 4, pz = w[1] * 3;
        const int found = locator.find(0, w[0], w[1], w[2]);
        ASSERT_GE(found, 0);
        double e[3];
        barycentric(set.groups[found / 4]->elements[found % 4], px, 0.0, pz, e);
        EXPECT_GE(std::min({e[0], e[1], e[2]}), -1e-9) << "point " << px << ", " << pz;
    }
}

// In a lit room: the same bits on one thread and on two; no grain on a flat
// wall; and each patch's texels on average what the solve found for its
// elements.
TEST(FinalGather, RoomIsSmoothAgreesWithTheSolveAndIgnoresThreadCount) {
    const std::vector<ModelPatch> patches = litRoom();
    const auto r = solved(patches, unitHemicubeTables(256), settingsOf(0.01f, 1.0f, 1e-4f, 1e4f, 1.0f, 64));
    const std::vector<PatchLayout> layouts = layoutTextures(r->model.patches, 64, r->largestPatchArea);
    GatherSettings settings;
    settings.rays = 256;

    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    const GatheredLighting one = FinalGather(*r, settings).gatherTextures(layouts, kSilent);
    omp_set_num_threads(2);
    const GatheredLighting two = FinalGather(*r, settings).gatherTextures(layouts, kSilent);
    omp_set_num_threads(threads);
    ASSERT_EQ(one.incident.size(), two.incident.size());
    for (size_t p = 0; p < one.incident.size(); ++p) {
        const std::vector<Color>& a = one.incident[p].texels;
        const std::vector<Color>& b = two.incident[p].texels;
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(Color)), 0) << "patch " << p;
    }

    // Grain: texel minus its 5 x 5 mean, in 8-bit levels of the picture at
    // the automatic exposure, over texels well inside one wall (x = 0).
    const double exposure = meterElements(*r).exposure(0.0);
    auto level = [&](int p, int x, int y) {
        const Color b = gatheredRadiosity(r->model.colors[p], one.incident[p].at(x, y));
        return 255.0 * srgbEncode(std::min(1.0, 0.7152 * b.g * exposure + 0.2126 * b.r * exposure +
                                                    0.0722 * b.b * exposure));
    };
    int wall = -1;
    for (int p = 0; p < 12 && wall < 0; ++p) {
        const Tri& t = r->model.patches[p];
        if (t.vertices[0].x == 0.0f && t.vertices[1].x == 0.0f && t.vertices[2].x == 0.0f) wall = p;
    }
    ASSERT_GE(wall, 0);
    const PatchLayout& l = layouts[wall];
    const Tri chart(Vec3(l.anchorU[0], l.anchorV[0], 0), Vec3(l.anchorU[1], l.anchorV[1], 0),
                    Vec3(l.anchorU[2], l.anchorV[2], 0));
    double sum2 = 0.0;
    int count = 0;
    for (int y = 2; y < l.high - 2; ++y) {
        for (int x = 2; x < l.wide - 2; ++x) {
            // Only texels whose whole window lies well inside the triangle.
            bool inside = true;
            for (int dy = -2; dy <= 2 && inside; dy += 4)
                for (int dx = -2; dx <= 2 && inside; dx += 4) {
                    double w[3];
                    barycentric(chart, x + dx + 0.5, y + dy + 0.5, 0.0, w);
                    inside = std::min({w[0], w[1], w[2]}) > 0.05;
                }
            if (!inside) continue;
            double mean = 0.0;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) mean += level(wall, x + dx, y + dy);
            const double d = level(wall, x, y) - mean / 25.0;
            sum2 += d * d;
            ++count;
        }
    }
    ASSERT_GT(count, 200);
    EXPECT_LT(std::sqrt(sum2 / count), 1.0) << "over " << count << " texels";

    // Texels against elements: the area-weighted mean radiosity of each
    // wall and of the ceiling, gathered and solved (the floor is left out:
    // under the box its texels take the light around it, its elements none).
    for (int p = 0; p < 12; ++p) {
        const Tri& t = r->model.patches[p];
        if (t.vertices[0].y == 0.0f && t.vertices[1].y == 0.0f && t.vertices[2].y == 0.0f) continue;
        double solvedSum = 0.0, area = 0.0;
        for (int g = 0; g < r->groups.count(); ++g) {
            if (r->groups[g]->parentPatchId != p) continue;
            for (int k = 0; k < 4; ++k) {
                const double a = r->groups[g]->elements[k].area();
                solvedSum += a * r->linearRadiosity[4 * static_cast<size_t>(g) + k].g;
                area += a;
            }
        }
        const PatchLayout& pl = layouts[p];
        const Tri c(Vec3(pl.anchorU[0], pl.anchorV[0], 0), Vec3(pl.anchorU[1], pl.anchorV[1], 0),
                    Vec3(pl.anchorU[2], pl.anchorV[2], 0));
        double gatheredSum = 0.0;
        int texels = 0;
        for (int y = 0; y < pl.high; ++y) {
            for (int x = 0; x < pl.wide; ++x) {
                double w[3];
                barycentric(c, x + 0.5, y + 0.5, 0.0, w);
                if (std::min({w[0], w[1], w[2]}) < 0.0) continue;
                gatheredSum += gatheredRadiosity(r->model.colors[p], one.incident[p].at(x, y)).g;
                ++texels;
            }
        }
        ASSERT_GT(texels, 0);
        // The hemicube rows overstate a small emitter's factor (by some 3 to
        // 6 % here at N = 256, falling as N grows: the solve approaches the
        // gather), so the allowance is wider than the gather's own error.
        EXPECT_NEAR(gatheredSum / texels, solvedSum / area, 0.08 * solvedSum / area) << "patch " << p;
    }
}
