#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "HemicubeView.h"
#include "SolverTestUtil.h"
#include "TestSupport.h"

using namespace solvertest;

namespace {

// A small receiver in the plane z = 0, front +Z, whose group centroid (and so
// the centroid of its element 3) is exactly the origin.
Tri receiverAtOrigin() { return tri(-0.03f, -0.03f, 0, -0.03f, 0.06f, 0, 0.06f, -0.03f, 0); }

// The square [x1, x2] x [y1, y2] at height z as two triangles facing down.
std::vector<Tri> squareFacingDown(float x1, float x2, float y1, float y2, float z) {
    return {tri(x1, y1, z, x2, y1, z, x2, y2, z), tri(x1, y1, z, x2, y2, z, x1, y2, z)};
}

std::vector<float> filled(size_t n, float v) { return std::vector<float>(n, v); }

}  // namespace

TEST(FormFactors, GeneratorWritesTheUnitHemicube) {
    testsupport::ScratchDir dir;
    for (int n : {2, 8, 64}) {
        const std::string file = dir.file("cube.hc");
        const auto r = testsupport::run(dir.path.string(), GLOWBAKE_HEMICUBE_TOOL, {std::to_string(n), file});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(testsupport::readFile(file), unitHemicubeFile(n)) << "N = " << n;
        // The printed total is the whole hemicube's, close to 1 for a fine one.
        const size_t at = r.out.find("sum to ");
        ASSERT_NE(at, std::string::npos) << r.out;
        const double printed = std::stod(r.out.substr(at + 7));
        EXPECT_NEAR(printed, 1.0, n == 64 ? 0.001 : 0.2) << r.out;
    }
    for (const char* bad : {"3", "0", "-4", "x", "4x"}) {
        const auto r = testsupport::run(dir.path.string(), GLOWBAKE_HEMICUBE_TOOL, {bad, dir.file("bad.hc")});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_FALSE(r.err.empty()) << bad;
    }
    EXPECT_EQ(testsupport::run(dir.path.string(), GLOWBAKE_HEMICUBE_TOOL, {"8"}).status, 1);
}

TEST(FormFactors, CoplanarAndBehindElementsCoverNothing) {
    auto cube = unitHemicube(32, 0.2f);
    GroupSet set(cube.get());
    PatchGroup* receiver = set.add(receiverAtOrigin(), 0);
    ASSERT_GT(receiver->elements[3].normal().z, 0.99f);
    set.add(tri(0.5f, -1, 0, 2, 1, 0, 0.5f, 1, 0), 1);        // same plane, beside it, facing down
    set.add(tri(0.5f, -1, 0, 0.5f, 1, 0, 2, 1, 0), 2);        // same plane, facing up
    set.add(tri(-1, -1, -1, -1, 1, -1, 1, -1, -1), 3);        // behind the plane, facing up at its back
    set.add(tri(-1, -1, -0.5f, 1, -1, -0.5f, -1, 1, -0.5f), 4);  // behind the plane, facing down
    set.add(tri(-1, -1, 1, 1, -1, 1, -1, 1, 1), 5);           // in front, facing it: the control
    receiver->computeFormFactors(set.groups);
    for (int e = 0; e < 4; ++e) {
        for (int g = 1; g <= 4; ++g) {
            for (int k = 0; k < 4; ++k) EXPECT_EQ(receiver->formFactors[e][4 * g + k], 0.0f) << e << " " << g << " " << k;
        }
        EXPECT_GT(groupShare(*receiver, e, 5), 0.05);
    }
}

TEST(FormFactors, SamePatchGroupsAreNeitherCountedNorHiding) {
    auto cube = unitHemicube(32, 0.2f);
    const Tri blocker = tri(-2, -2, 0.5f, 2, -2, 0.5f, -2, 2, 0.5f);  // faces down, covers much of the view
    const std::vector<Tri> light = squareFacingDown(-1, 1, -1, 1, 1.0f);

    // The blocker carries the receiver's patch id: it is not drawn at all.
    GroupSet same(cube.get());
    PatchGroup* r1 = same.add(receiverAtOrigin(), 0);
    same.add(blocker, 0);
    same.add(light[0], 1);
    same.add(light[1], 2);
    r1->computeFormFactors(same.groups);

    // The same scene without the blocker.
    GroupSet without(cube.get());
    PatchGroup* r2 = without.add(receiverAtOrigin(), 0);
    without.add(light[0], 1);
    without.add(light[1], 2);
    r2->computeFormFactors(without.groups);

    // The blocker as another patch: it hides the light and is counted.
    GroupSet other(cube.get());
    PatchGroup* r3 = other.add(receiverAtOrigin(), 0);
    other.add(blocker, 7);
    other.add(light[0], 1);
    other.add(light[1], 2);
    r3->computeFormFactors(other.groups);

    for (int e = 0; e < 4; ++e) {
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(r1->formFactors[e][k], 0.0f);  // the receiver itself and the blocker
            EXPECT_EQ(r1->formFactors[e][8 + k], r2->formFactors[e][4 + k]);
        }
        EXPECT_GT(groupShare(*r3, e, 1), 0.1);
        EXPECT_LT(groupShare(*r3, e, 2) + groupShare(*r3, e, 3), groupShare(*r2, e, 1) + groupShare(*r2, e, 2) - 0.05);
    }
}

TEST(FormFactors, FirstProjectedElementWinsADepthTie) {
    auto cube = unitHemicube(16, 0.2f);
    const Tri shared = tri(-1, -1, 1, 1, -1, 1, -1, 1, 1);
    for (int order = 0; order < 2; ++order) {
        GroupSet set(cube.get());
        PatchGroup* receiver = set.add(receiverAtOrigin(), 0);
        set.add(shared, order == 0 ? 1 : 2);
        set.add(shared, order == 0 ? 2 : 1);
        receiver->computeFormFactors(set.groups);
        for (int e = 0; e < 4; ++e) {
            EXPECT_GT(groupShare(*receiver, e, 1), 0.05) << order;
            for (int k = 0; k < 4; ++k) EXPECT_EQ(receiver->formFactors[e][8 + k], 0.0f) << order;
        }
    }
    // The same tie on one pixel, directly.
    HemicubePixel px;
    px.depthTest(3, -1.0f, false);
    px.depthTest(4, -1.0f, true);
    EXPECT_EQ(px.item, 3);
    EXPECT_FALSE(px.facesAway);
    px.depthTest(5, std::nextafter(-1.0f, -2.0f), true);
    EXPECT_EQ(px.item, 5);
}

TEST(FormFactors, UniformTopTableCountsCoveredPixels) {
    const int n = 8;
    const float delta = 1.0f / (n * n);
    // World width 2: the faces lie at distance 1, one pixel is 2/N wide.
    auto cube = std::make_unique<Hemicube>(2.0f, HemicubeTables{n, filled(16, delta), filled(16, 0.0f)});
    struct Case {
        float x1, x2, y1, y2;
        int pixels;
    };
    // A square at distance 1 spans the pixels from trunc(N/2 * x1) to
    // trunc(N/2 * x2) inclusive (the same for y), clipped to -N/2 .. N/2 - 1.
    // Truncation toward zero makes pixel 0 twice as wide as the others.
    const Case cases[] = {
        {0.0f, 2.0f, 0.0f, 2.0f, 16},     // a whole quadrant: 4 x 4
        {0.0f, 0.5f, 0.0f, 0.5f, 9},      // 0..2 x 0..2
        {0.0f, 0.5f, 0.0f, 2.0f, 12},     // 0..2 x 0..3
        {0.0f, 0.3f, 0.0f, 0.3f, 4},      // 0..1 x 0..1
        {-0.5f, 0.0f, -0.5f, 0.0f, 9},    // -2..0 x -2..0
        {-0.2f, 0.2f, 0.0f, 0.5f, 3},     // column 0 alone, rows 0..2
        {-3.0f, 3.0f, 0.0f, 0.3f, 16},    // rows 0..1, clipped to the face's 8 columns
        {-0.2f, 0.2f, -0.2f, 0.2f, 0},    // every corner in row 0: no edge spans a row
    };
    for (const Case& c : cases) {
        HemicubeView view(Vec3(0, 0, 0), Vec3(0, 0, 1), *cube);
        const std::vector<Tri> sq = squareFacingDown(c.x1, c.x2, c.y1, c.y2, 1.0f);
        view.project(0, sq[0]);
        view.project(1, sq[1]);
        std::vector<float> row(2, 0.0f);
        view.accumulate(row.data());
        int covered = 0;
        for (const HemicubePixel& p : view.topBuffer) covered += p.item >= 0;
        EXPECT_EQ(covered, c.pixels) << c.x1 << " " << c.x2 << " " << c.y1 << " " << c.y2;
        EXPECT_NEAR(row[0] + row[1], c.pixels * delta, 1e-6) << c.x1 << " " << c.x2 << " " << c.y1 << " " << c.y2;
    }
}

// A direction's pixel does not depend on the world width: the faces lie at
// W/2 and the grid has N/W pixels per unit. For widths where N/W rounded to
// a float puts trunc(scale * left) at -31.9999995 -> -31 for N = 64, a
// truncated grid origin would shift every pixel by one.
TEST(FormFactors, PixelGridDoesNotDependOnTheWorldWidth) {
    const int n = 64;
    std::vector<bool> reference;
    for (float width : {2.0f, 1.1f, 0.01f, 0.02f, 1.3f, 0.7f}) {
        auto cube = unitHemicube(n, width);
        HemicubeView view(Vec3(0, 0, 0), Vec3(0, 0, 1), *cube);
        // Scaled with the width so that the near plane never matters; no
        // corner lands near a pixel edge (32 x: -96.32, -9.28, 3.52, 15.04).
        const float z = width;
        const std::vector<Tri> left = squareFacingDown(-3.01f * z, -0.29f * z, 0.11f * z, 0.47f * z, z);
        const std::vector<Tri> low = squareFacingDown(0.21f * z, 0.59f * z, -3.01f * z, -0.43f * z, z);
        view.project(0, left[0]);
        view.project(1, left[1]);
        view.project(2, low[0]);
        view.project(3, low[1]);
        // A wall seen by side face 0, from the receiving plane upward.
        view.project(4, tri(z, -0.21f * z, -z, z, 0.31f * z, 0.41f * z, z, 0.31f * z, -z));
        std::vector<bool> covered;
        for (const HemicubePixel& p : view.topBuffer) covered.push_back(p.item >= 0);
        for (const HemicubePixel& p : view.sideBuffers[0]) covered.push_back(p.item >= 0);
        // The left square reaches the face's first column, the low one its
        // first row, the wall the side face's row 0.
        EXPECT_TRUE(covered[static_cast<size_t>(n) * (n / 2 + 4)]) << width;
        EXPECT_TRUE(covered[static_cast<size_t>(n / 2 + 10)]) << width;
        EXPECT_TRUE(covered[static_cast<size_t>(n) * n + n / 2 + 8]) << width;
        if (reference.empty()) {
            reference = covered;
        } else {
            EXPECT_EQ(covered, reference) << width;
        }
    }
}

TEST(FormFactors, FullCoverageAddsUpTheWholeTable) {
    auto cube = unitHemicube(16, 0.5f);
    double total = 0.0;
    for (int p = 0; p < 16 * 16; ++p) total += cube->deltaFormFactor(0, p);
    for (int p = 0; p < 16 * 8; ++p) total += 4.0 * cube->deltaFormFactor(1, p);

    // Receivers at the middle of a closed box see its walls on every pixel of
    // all five faces. (Elsewhere holes are possible: near clipping moves a
    // corner instead of splitting the triangle, so a wall cut by a face's near
    // plane loses a wedge; and an edge that starts in a face's last row is
    // skipped, so a triangle lying wholly above it leaves that row empty.)
    struct Placement {
        Vec3 center, normal;
    };
    const Placement placements[] = {
        {Vec3(0, 0, 0), Vec3(0, 0, 1)},
        {Vec3(0, 0, 0), Vec3(0, 0, -1)},
        {Vec3(0, 0, 0), Vec3(1, 0, 0)},
        {Vec3(0, 0, 0), Vec3(0, -1, 0)},
        {Vec3(0, 0, 0), Vec3(0, 1, 0)},
    };
    for (const Placement& pl : placements) {
        HemicubeView view(pl.center, pl.normal, *cube);
        const std::vector<Tri> box = inwardCube(-1.0f, 1.0f);
        for (size_t i = 0; i < box.size(); ++i) view.project(static_cast<int>(i), box[i]);
        for (size_t p = 0; p < view.topBuffer.size(); ++p)
            ASSERT_TRUE(view.topBuffer[p].item >= 0 && !view.topBuffer[p].facesAway) << "top " << p;
        for (int s = 0; s < 4; ++s)
            for (size_t p = 0; p < view.sideBuffers[s].size(); ++p)
                ASSERT_TRUE(view.sideBuffers[s][p].item >= 0 && !view.sideBuffers[s][p].facesAway)
                    << "side " << s << " " << p << " item " << view.sideBuffers[s][p].item;
        std::vector<float> row(box.size(), 0.0f);
        view.accumulate(row.data());
        double sum = 0.0;
        for (float v : row) sum += v;
        EXPECT_NEAR(sum, total, 1e-5 * total) << pl.center.x << " " << pl.normal.x << " " << pl.normal.y;
    }
}

TEST(FormFactors, DegenerateElementsAreNeverDrawnAndGetNoRow) {
    auto cube = unitHemicube(16, 0.2f);
    const std::vector<Tri> light = squareFacingDown(-1, 1, -1, 1, 1.0f);
    GroupSet set(cube.get());
    PatchGroup* receiver = set.add(receiverAtOrigin(), 0);
    set.add(light[0], 1);
    set.add(light[1], 2);
    PatchGroup* point = set.add(tri(0, 0, 0.5f, 0, 0, 0.5f, 0, 0, 0.5f), 3);
    PatchGroup* line = set.add(tri(-1, 0, 0.5f, 0, 0, 0.5f, 1, 0, 0.5f), 4);
    set.computeAll();
    for (PatchGroup* g : {point, line}) {
        for (int e = 0; e < 4; ++e)
            for (int i = 0; i < 4 * g->formFactorGroupCount; ++i) EXPECT_EQ(g->formFactors[e][i], 0.0f);
    }
    for (int e = 0; e < 4; ++e) {
        for (int k = 12; k < 20; ++k) EXPECT_EQ(receiver->formFactors[e][k], 0.0f);
        const double seen = groupShare(*receiver, e, 1) + groupShare(*receiver, e, 2);
        EXPECT_TRUE(std::isfinite(seen));
        EXPECT_GT(seen, 0.3);
    }
}

// The form factor from the centre of a unit square to a parallel, coaxial
// unit square at distance 1 is 4 corner rectangles of 0.5 x 0.5: 0.2395.
// Measured error of the hemicube (world width 0.2):
//   N = 64: +0.01120, N = 128: +0.00562, N = 256: +0.00282
// i.e. +0.72 / N: the square's edges fall exactly on pixel edges and the
// inclusive spans count one extra row and column. The tolerance 0.9 / N is
// 1.25 times the measured error at each N; an error that did not halve with
// N (a wrong table, a shifted grid) fails it.
TEST(FormFactors, ParallelSquaresMatchTheAnalyticValue) {
    const double analytic = 4.0 * cornerRectangle(0.5, 0.5, 1.0);
    EXPECT_NEAR(analytic, 0.2395, 5e-5);
    for (int n : {64, 128, 256}) {
        auto cube = unitHemicube(n, 0.2f);
        GroupSet set(cube.get());
        PatchGroup* receiver = set.add(receiverAtOrigin(), 0);
        const std::vector<Tri> sq = squareFacingDown(-0.5f, 0.5f, -0.5f, 0.5f, 1.0f);
        set.add(sq[0], 1);
        set.add(sq[1], 2);
        receiver->computeFormFactors(set.groups);
        const double measured = groupShare(*receiver, 3, 1) + groupShare(*receiver, 3, 2);
        std::printf("N = %d: form factor %.6f, analytic %.6f, error %.6f\n", n, measured, analytic,
                    measured - analytic);
        EXPECT_GT(measured, analytic);
        EXPECT_NEAR(measured, analytic, 0.9 / n) << "N = " << n;
    }
}

// An element inside a closed box sees nothing but the box: its row adds up
// to about the hemicube's total (1.00013 for N = 64), less what the
// rasterisation misses along the box's edges. Measured on this box (48
// elements): 0.99383 to 1.00013.
TEST(FormFactors, ElementInsideAClosedBoxSeesAboutOne) {
    auto cube = unitHemicube(64, 0.2f);
    GroupSet set(cube.get());
    for (const Tri& t : inwardCube(0.0f, 2.0f)) set.add(t, set.groups.count());
    set.computeAll();
    double lo = 2.0, hi = 0.0;
    for (int g = 0; g < set.groups.count(); ++g) {
        for (int e = 0; e < 4; ++e) {
            const double s = rowSum(*set.groups[g], e);
            lo = std::min(lo, s);
            hi = std::max(hi, s);
        }
    }
    std::printf("row sums in the closed box: %.5f to %.5f\n", lo, hi);
    EXPECT_GT(lo, 0.99);
    EXPECT_LT(hi, 1.001);
}
