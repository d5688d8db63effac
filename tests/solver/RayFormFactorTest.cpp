// Form-factor rows by rays: the closed-box furnace, agreement with the
// hemicube's rows extrapolated to an infinite resolution, and the same bits
// on any number of threads.

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Radiosity.h"
#include "SolverTestUtil.h"

using namespace solvertest;

namespace {

// One pass, no subdivision; the element radiosities (green) in group order.
// Hemicube runs give emitting elements as -1, so comparisons skip them.
std::vector<float> onePass(const std::vector<ModelPatch>& patches, int hemicubeN, float maxArea, int rays) {
    SolverSettings s = settingsOf(0.01f, maxArea, 1e-6f, 1e30f);
    s.formFactorRays = rays;
    Radiosity r(modelOf(patches), unitHemicubeTables(hemicubeN), s, kSilent);
    r.solve();
    std::vector<float> b;
    for (int g = 0; g < r.groups.count(); ++g)
        for (int k = 0; k < 4; ++k)
            b.push_back(r.groups[g]->emission[k]->g > 0.0f && rays == 0 ? -1.0f : r.linearRadiosity[4 * g + k].g);
    return b;
}

}  // namespace

// A closed box of one reflectance and one emission: B = E / (1 - rho)
// everywhere. With few emitting elements their factors come from points on
// them; with many, the rays find them as they find any other element.
TEST(RayFormFactors, ClosedBoxFurnace) {
    const float rho = 0.6f, e = 2.0f;
    for (float maxArea : {30.0f, 0.2f}) {
        std::vector<ModelPatch> patches;
        for (const Tri& t : inwardCube(0.0f, 4.0f))
            patches.push_back({t, Color(rho, rho, rho, 1.0f), Color(e, e, e, 1.0f)});
        const std::vector<float> b = onePass(patches, 8, maxArea, 256);
        SCOPED_TRACE(std::to_string(b.size()) + " elements");
        for (float v : b) ASSERT_NEAR(v, e / (1.0f - rho), 0.001 * e / (1.0f - rho));
        ASSERT_FALSE(b.empty());
    }
}

// A lit room with a box: per element, rays at 256 against the hemicube's
// rows at N = 128 and 256 extrapolated (2 B(256) - B(128) removes most of
// the hemicube's own bias); and the same rows on one thread and on two.
TEST(RayFormFactors, AgreeWithTheHemicubeAndIgnoreThreadCount) {
    const std::vector<ModelPatch> room = litRoom();
    const std::vector<float> coarse = onePass(room, 128, 1.0f, 0);
    const std::vector<float> fine = onePass(room, 256, 1.0f, 0);
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    const std::vector<float> rays1 = onePass(room, 8, 1.0f, 256);
    omp_set_num_threads(2);
    const std::vector<float> rays2 = onePass(room, 8, 1.0f, 256);
    omp_set_num_threads(threads);
    EXPECT_EQ(rays1, rays2);

    ASSERT_EQ(rays1.size(), fine.size());
    double err2 = 0.0, ref2 = 0.0;
    std::vector<double> rel;
    for (size_t i = 0; i < fine.size(); ++i) {
        const double reference = 2.0 * fine[i] - coarse[i];
        if (coarse[i] < 0.0f || !(reference > 1e-3)) continue;  // an emitter, or in the dark
        err2 += (rays1[i] - reference) * (rays1[i] - reference);
        ref2 += reference * reference;
        rel.push_back(std::fabs(rays1[i] - reference) / reference);
    }
    ASSERT_GT(rel.size(), 100u);
    std::sort(rel.begin(), rel.end());
    EXPECT_LT(std::sqrt(err2 / ref2), 0.02) << rel.size() << " elements";
    EXPECT_LT(rel[rel.size() * 9 / 10], 0.05) << rel.size() << " elements";
}

// Restarts resolve the stored hits of groups that were not split again,
// against the split elements: the rows are those a fresh cast gives.
TEST(RayFormFactors, RestartsFromStoredHitsEqualAFreshCast) {
    SolverSettings s = settingsOf(0.01f, 1.0f, 1e-4f, 0.02f);
    s.formFactorRays = 64;
    Radiosity r(modelOf(litRoom()), unitHemicubeTables(8), s, kSilent);
    r.solve();
    ASSERT_GT(r.pass, 0);
    ASSERT_GT(r.rayRowsReused, 0);
    const RayFormFactors fresh(*r.rayEngine, r.model, r.groups, 64);
    for (int g = 0; g < r.groups.count(); ++g) {
        PatchGroup& group = *r.groups[g];
        std::vector<std::vector<FormFactorEntry>> kept;
        for (const FormFactorRow& row : group.formFactors) kept.push_back(row.entries);
        for (std::vector<StoredRayHit>& hits : group.rayHits) hits.clear();
        RayRowStats stats;
        fresh.computeRows(group, stats);
        for (int k = 0; k < 4; ++k) {
            const std::vector<FormFactorEntry>& now = group.formFactors[k].entries;
            ASSERT_EQ(kept[k].size(), now.size()) << "group " << g;
            for (size_t i = 0; i < now.size(); ++i) {
                EXPECT_EQ(kept[k][i].index, now[i].index);
                EXPECT_EQ(kept[k][i].value, now[i].value);
            }
        }
    }
}
