// Geometry: the clockwise front, degenerate triangles, the rotation that
// turns a normal onto +z, and the order the growable array keeps.

#include <gtest/gtest.h>

#include <cmath>

#include "GrowArray.h"
#include "Tri.h"
#include "Vec3.h"

namespace {

void expectVec(const Vec3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

const Vec3 kO(0, 0, 0), kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

}  // namespace

TEST(CoreTri, NormalAreaAndCentroid) {
    // Seen from +z, O X Y runs counter-clockwise: the front is -z.
    expectVec(Tri(kO, kX, kY).normal(), 0, 0, -1);
    expectVec(Tri(kO, kY, kX).normal(), 0, 0, 1);
    EXPECT_NEAR(length(Tri(Vec3(1, 2, 3), Vec3(4, -1, 2), Vec3(0, 5, -2)).normal()), 1.0f, 1e-6f);
    EXPECT_EQ(Tri(kO, Vec3(2, 0, 0), Vec3(0, 2, 0)).area(), 2.0f);
    // The corner sum times 0.33333334, not divided by 3.
    expectVec(Tri(kX, kY, kZ).centroid(), 0.33333334f, 0.33333334f, 0.33333334f);
    // Collinear and coincident corners: no direction, no area, and no NaN.
    for (const Tri& t : {Tri(kO, kX, Vec3(2, 0, 0)), Tri(kX, kX, kY), Tri(kY, kY, kY)}) {
        expectVec(t.normal(), 0, 0, 0);
        EXPECT_EQ(t.area(), 0.0f);
        EXPECT_TRUE(t.isDegenerate());
    }
}

TEST(CoreVec3, ZAlignAnglesTurnAnyNormalOntoZ) {
    float ax = -9, ay = -9;
    zAlignAngles(kZ, ax, ay);
    EXPECT_EQ(ax, 0.0f);
    EXPECT_EQ(ay, 0.0f);
    zAlignAngles(Vec3(0, 0, -1), ax, ay);
    EXPECT_EQ(ax, 3.1415927f);
    EXPECT_EQ(ay, 0.0f);
    const Vec3 normals[] = {kX,  Vec3(0, 1, 0), Vec3(0, -1, 0), Vec3(-1, 0, 0), Vec3(0.6f, 0, -0.8f),
                            Vec3(0.48f, -0.6f, 0.64f), Vec3(-0.48f, 0.6f, -0.64f)};
    for (const Vec3& n : normals) {
        zAlignAngles(n, ax, ay);
        Vec3 v = n;
        v.rotateX(ax);
        v.rotateY(ay);
        EXPECT_NEAR(v.x, 0.0f, 1e-6f) << n.x << " " << n.y << " " << n.z;
        EXPECT_NEAR(v.y, 0.0f, 1e-6f) << n.x << " " << n.y << " " << n.z;
        EXPECT_NEAR(v.z, length(n), 1e-6f) << n.x << " " << n.y << " " << n.z;
    }
}

TEST(CoreGrowArray, GrowsAndRemovesInOrder) {
    GrowArray<int> a;
    for (int i = 0; i <= 100; ++i) a.push(i * 10);
    for (int i = 0; i <= 100; ++i) ASSERT_EQ(a.get(i), i * 10);
    EXPECT_TRUE(a.removeAt(0));
    EXPECT_TRUE(a.removeAt(99));  // the last entry: nothing moves
    ASSERT_EQ(a.count(), 99);
    for (int i = 0; i < 99; ++i) ASSERT_EQ(a.get(i), (i + 1) * 10);
    EXPECT_FALSE(a.removeAt(-1));
    EXPECT_FALSE(a.removeAt(99));
    EXPECT_EQ(a.get(99), 0);  // outside: nothing
    EXPECT_EQ(a.get(-1), 0);
}
