#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CoplanarNeighbors.h"
#include "GlowbakeError.h"
#include "SolverTestUtil.h"

using namespace solvertest;

namespace {

struct Rgb {
    float r, g, b;
};

void addPatch(Model& m, const Tri& t, Rgb refl = {0.5f, 0.5f, 0.5f}, Rgb emit = {0, 0, 0}) {
    m.patches.push_back(t);
    m.colors.push_back({Color(refl.r, refl.g, refl.b, 1.0f), Color(emit.r, emit.g, emit.b, 1.0f)});
}

std::vector<std::vector<int>> neighbours(const Model& m) {
    const std::vector<GrowArray<int>> lists = findCoplanarNeighbors(m, 1LL << 40);
    std::vector<std::vector<int>> out;
    for (const GrowArray<int>& l : lists) {
        out.emplace_back();
        for (int i = 0; i < l.count(); ++i) out.back().push_back(l[i]);
    }
    return out;
}

using Lists = std::vector<std::vector<int>>;

// A right triangle in the plane z = 0 with its right angle at the origin,
// legs along -x and -y, facing -z.
Tri base() { return tri(0, 0, 0, -10, 0, 0, 0, -10, 0); }

}  // namespace

TEST(Neighbors, SharedEdgeOrCornerMakesNeighbours) {
    Model edge;
    addPatch(edge, base());
    addPatch(edge, tri(-10, 0, 0, 0, 0, 0, -10, 10, 0));  // across the edge y = 0
    ASSERT_GT(dot(edge.patches[0].normal(), edge.patches[1].normal()), 0.999f);
    EXPECT_EQ(neighbours(edge), (Lists{{1}, {0}}));

    Model corner;
    addPatch(corner, base());
    addPatch(corner, tri(0, 0, 0, 10, 0, 0, 10, 10, 0));  // touches at the origin only
    EXPECT_EQ(neighbours(corner), (Lists{{1}, {0}}));

    // Three around one corner list each other in ascending order; a fourth
    // facing the other way is nobody's neighbour.
    Model fan;
    addPatch(fan, base());
    addPatch(fan, tri(0, 0, 0, 0, 10, 0, -10, 10, 0));
    addPatch(fan, tri(0, 0, 0, 10, 0, 0, 10, 10, 0));
    addPatch(fan, tri(0, 0, 0, 10, -10, 0, 0, -10, 0));
    EXPECT_EQ(neighbours(fan), (Lists{{1, 2}, {0, 2}, {0, 1}, {}}));

    Model one;
    addPatch(one, base());
    EXPECT_EQ(neighbours(one), (Lists{{}}));
}

TEST(Neighbors, CornerToleranceIsAStrictBox) {
    for (float d : {1.9f, 2.0f}) {
        Model m;
        addPatch(m, base());
        addPatch(m, tri(d, 0, 0, d + 10, 0, 0, d, 10, 0));
        const Lists expected = d < 2.0f ? Lists{{1}, {0}} : Lists{{}, {}};
        EXPECT_EQ(neighbours(m), expected) << d;
    }
    // 1.9 along every axis at once (3.3 apart) is still inside the box, and a
    // parallel plane passes the co-planarity test.
    Model box;
    addPatch(box, base());
    addPatch(box, tri(1.9f, 1.9f, 1.9f, 11.9f, 1.9f, 1.9f, 1.9f, 11.9f, 1.9f));
    EXPECT_EQ(neighbours(box), (Lists{{1}, {0}}));

    // A corner on the middle of the other's edge, no corner near a corner.
    Model onEdge;
    addPatch(onEdge, base());
    addPatch(onEdge, tri(-5, 0, 0, -5, 10, 0, -15, 10, 0));
    ASSERT_GT(dot(onEdge.patches[0].normal(), onEdge.patches[1].normal()), 0.999f);
    EXPECT_EQ(neighbours(onEdge), (Lists{{}, {}}));
}

TEST(Neighbors, ColoursMustMatchExactly) {
    const Tri other = tri(-10, 0, 0, 0, 0, 0, -10, 10, 0);
    const Rgb grey{0.5f, 0.5f, 0.5f};
    const Rgb lightEmission[] = {{0, 0, 1e-7f}, {0, 1, 0}, {2, 0, 0}};
    for (const Rgb& e : lightEmission) {
        Model m;
        addPatch(m, base(), grey, {0, 0, 0});
        addPatch(m, other, grey, e);
        EXPECT_EQ(neighbours(m), (Lists{{}, {}}));
    }
    Model reflect;
    addPatch(reflect, base(), grey);
    addPatch(reflect, other, {0.5f, std::nextafter(0.5f, 1.0f), 0.5f});
    EXPECT_EQ(neighbours(reflect), (Lists{{}, {}}));
}

TEST(Neighbors, NormalsMustAgreeByMoreThanPointNineNine) {
    // Corners chosen so that the unit normals come out exactly as the cross
    // products, (x1, y1, 1) and (x2, y2, z2), and their dot product in double
    // precision is exactly 0.99; one ulp of e further it is just above.
    const float x1 = -0x1.260348p-24f, y1 = 0x1p-22f;
    const float x2 = 0x1.20e78ap-3f, z2 = 0x1.fae148p-1f;
    const Tri first = tri(0, 0, 0, 0, 1, -y1, 1, 0, -x1);
    for (const float e : {-0x1.0a8c60p-11f, -0x1.0a8c62p-11f}) {
        const Tri second = tri(0, 0, 0, 0, 1, e, z2, 0, -x2);
        const Vec3 n1 = first.normal(), n2 = second.normal();
        const double d = static_cast<double>(n1.x) * n2.x + static_cast<double>(n1.y) * n2.y +
                         static_cast<double>(n1.z) * n2.z;
        const bool atLimit = e == -0x1.0a8c60p-11f;
        if (atLimit) {
            ASSERT_EQ(d, 0.99);
        } else {
            ASSERT_GT(d, 0.99);
            ASSERT_LT(d, 0.99 + 1e-15);
        }
        EXPECT_EQ(isCoplanar(first, second), !atLimit);
        EXPECT_EQ(isCoplanar(second, first), !atLimit);
        Model m;
        addPatch(m, first);
        addPatch(m, second);
        EXPECT_EQ(neighbours(m), atLimit ? (Lists{{}, {}}) : (Lists{{1}, {0}}));
    }
    // A degenerate patch has no normal and is nobody's neighbour.
    Model flat;
    addPatch(flat, base());
    addPatch(flat, tri(0, 0, 0, -5, 0, 0, -10, 0, 0));
    EXPECT_EQ(neighbours(flat), (Lists{{}, {}}));
}

// The corner grid finds exactly the lists of the test of every ordered pair,
// on random models crowded enough that most pairs are candidates: corners on
// a coarse lattice (so boxes touch at exactly 2 and overlap at 1.9 or 2.1),
// a few colours, normals equal, reversed or tilted, tolerances from 0.5 to
// 3 and infinite.
TEST(Neighbors, CornerGridFindsThePairwiseLists) {
    std::srand(16);
    const auto pick = [](int n) { return std::rand() % n; };
    const float steps[] = {0.0f, 1.0f, 1.9f, 2.0f, 2.1f, 3.9f, -2.0f, -0.0f};
    for (int trial = 0; trial < 200; ++trial) {
        Model m;
        const int n = 2 + pick(40);
        for (int p = 0; p < n; ++p) {
            Vec3 c[3];
            for (Vec3& v : c) v = Vec3(steps[pick(8)] + pick(3), steps[pick(8)], pick(4) == 0 ? steps[pick(8)] : 0.0f);
            if (pick(3) == 0) std::swap(c[1], c[2]);
            Tri t(c[0], c[1], c[2]);
            t.vertexTolerance = std::vector<float>{2.0f, 2.0f, 0.5f, 3.0f, INFINITY}[pick(5)];
            const float grey = pick(2) == 0 ? 0.5f : -0.0f;
            addPatch(m, t, {grey, 0.5f, 0.0f}, {0.0f, pick(4) == 0 ? 1.0f : 0.0f, 0.0f});
        }
        const std::vector<GrowArray<int>> grid = findCoplanarNeighbors(m, 1LL << 40);
        const std::vector<GrowArray<int>> plain = findCoplanarNeighborsPairwise(m);
        ASSERT_EQ(grid.size(), plain.size());
        for (size_t p = 0; p < grid.size(); ++p) {
            ASSERT_EQ(grid[p].count(), plain[p].count()) << trial << " " << p;
            for (int i = 0; i < grid[p].count(); ++i) ASSERT_EQ(grid[p][i], plain[p][i]) << trial << " " << p;
        }
    }
}

// A finely tessellated floor of one colour: every one of its 200 patches is
// every other's neighbour. Lists that would exceed their budget are refused
// before any is made, naming the patch count.
TEST(Neighbors, ListsBeyondTheirBudgetAreRefused) {
    Model floor;
    for (int p = 0; p < 200; ++p) addPatch(floor, tri(0.001f * p, 0, 0, 0.001f * p, -1, 0, 0.001f * p - 1, 0, 0));
    std::vector<int> lengths(200, 199);
    const long long needed = neighborListBytes(lengths);
    EXPECT_EQ(findCoplanarNeighbors(floor, needed)[0].count(), 199);
    try {
        findCoplanarNeighbors(floor, needed - 1);
        FAIL() << "not refused";
    } catch (const GlowbakeError& e) {
        EXPECT_NE(std::string(e.what()).find("200 patches"), std::string::npos) << e.what();
    }
}
