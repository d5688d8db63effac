// Vec3, Tri, Color, GrowArray and zAlignAngles.

#include <gtest/gtest.h>

#include <cmath>

#include "Color.h"
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

TEST(CoreTri, NormalPointsToTheClockwiseSide) {
    expectVec(Tri(kO, kX, kY).normal(), 0, 0, -1);
    expectVec(Tri(kO, kY, kX).normal(), 0, 0, 1);
    const Vec3 n = Tri(Vec3(1, 2, 3), Vec3(4, -1, 2), Vec3(0, 5, -2)).normal();
    EXPECT_NEAR(length(n), 1.0f, 1e-6f);
}

TEST(CoreTri, NormalOfDegenerateTriangleIsZero) {
    // Collinear corners and coincident corners: no direction, and no NaN.
    for (const Tri& t : {Tri(kO, kX, Vec3(2, 0, 0)), Tri(kX, kX, kY), Tri(kY, kY, kY)}) {
        const Vec3 n = t.normal();
        expectVec(n, 0, 0, 0);
        EXPECT_FALSE(std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z));
        EXPECT_EQ(t.area(), 0.0f);
    }
}

TEST(CoreTri, AreaAndCentroid) {
    EXPECT_EQ(Tri(kO, kX, kY).area(), 0.5f);
    EXPECT_EQ(Tri(kO, kY, kX).area(), 0.5f);
    EXPECT_EQ(Tri(kO, Vec3(2, 0, 0), Vec3(0, 2, 0)).area(), 2.0f);
    // The corner sum times 0.33333334, not divided by 3.
    expectVec(Tri(kX, kY, kZ).centroid(), 0.33333334f, 0.33333334f, 0.33333334f);
    expectVec(Tri(Vec3(3, 0, 0), Vec3(0, 3, 0), Vec3(0, 0, 3)).centroid(), 3 * 0.33333334f, 3 * 0.33333334f,
              3 * 0.33333334f);
}

TEST(CoreTri, DefaultsTranslateAndClone) {
    Tri t;
    expectVec(t.vertices[0], 0, 0, 0);
    expectVec(t.vertices[2], 0, 0, 0);
    EXPECT_EQ(t.vertexTolerance, 2.0f);
    t.setVertices(kX, kY, kZ);
    t.translate(Vec3(1, 2, 3));
    expectVec(t.vertices[0], 2, 2, 3);
    expectVec(t.vertices[1], 1, 3, 3);
    expectVec(t.vertices[2], 1, 2, 4);
    Tri c = t.clone();
    t.translate(Vec3(1, 1, 1));
    expectVec(c.vertices[0], 2, 2, 3);  // a copy, not a view
}

TEST(CoreVec3, Operations) {
    expectVec(Vec3(), 0, 0, 0);
    expectVec(Vec3(1, 2, 3) + Vec3(4, 5, 6), 5, 7, 9);
    expectVec(Vec3(1, 2, 3) - Vec3(4, 5, 6), -3, -3, -3);
    expectVec(Vec3(1, 2, 3) * 2.0f, 2, 4, 6);
    expectVec(cross(kX, kY), 0, 0, 1);
    expectVec(cross(kY, kX), 0, 0, -1);
    EXPECT_EQ(dot(Vec3(1, 2, 3), Vec3(4, 5, 6)), 32.0f);
    expectVec(midpoint(Vec3(0, 2, 4), Vec3(2, 4, 8)), 1, 3, 6);
    EXPECT_EQ(length(Vec3(3, 4, 12)), 13.0f);
    // Division multiplies by the float reciprocal.
    const float r = 1.0f / 3.0f;
    expectVec(Vec3(1, 2, 10) / 3.0f, 1 * r, 2 * r, 10 * r);
}

TEST(CoreVec3, ZAlignAnglesExamples) {
    float ax = -9, ay = -9;
    zAlignAngles(kZ, ax, ay);
    EXPECT_EQ(ax, 0.0f);
    EXPECT_EQ(ay, 0.0f);

    zAlignAngles(Vec3(0, 0, -1), ax, ay);
    EXPECT_EQ(ax, 3.1415927f);
    EXPECT_EQ(ay, 0.0f);

    zAlignAngles(kX, ax, ay);
    EXPECT_EQ(ax, -1.5707964f);
    EXPECT_EQ(ay, -1.5707964f);
    Vec3 v = kX;
    v.rotateX(ax);
    v.rotateY(ay);
    EXPECT_NEAR(v.x, 0.0f, 1e-6f);
    EXPECT_NEAR(v.y, 0.0f, 1e-6f);
    EXPECT_NEAR(v.z, 1.0f, 1e-6f);
}

TEST(CoreVec3, ZAlignAnglesTurnAnyNormalOntoZ) {
    const Vec3 normals[] = {Vec3(0, 1, 0), Vec3(0, -1, 0), Vec3(-1, 0, 0), Vec3(0.6f, 0, -0.8f),
                            Vec3(0.48f, -0.6f, 0.64f), Vec3(-0.48f, 0.6f, -0.64f)};
    for (const Vec3& n : normals) {
        float ax, ay;
        zAlignAngles(n, ax, ay);
        Vec3 v = n;
        v.rotateX(ax);
        v.rotateY(ay);
        EXPECT_NEAR(v.x, 0.0f, 1e-6f) << n.x << " " << n.y << " " << n.z;
        EXPECT_NEAR(v.y, 0.0f, 1e-6f) << n.x << " " << n.y << " " << n.z;
        EXPECT_NEAR(v.z, length(n), 1e-6f) << n.x << " " << n.y << " " << n.z;
    }
}

TEST(CoreColor, ChannelsByIndex) {
    Color c(0.1f, 0.2f, 0.3f, 1.0f);
    EXPECT_EQ(c[0], 0.1f);
    EXPECT_EQ(c[1], 0.2f);
    EXPECT_EQ(c[2], 0.3f);
    EXPECT_EQ(c[3], 1.0f);
    c[2] = 0.7f;
    EXPECT_EQ(c.b, 0.7f);
}

TEST(CoreGrowArray, StartsAt50AndDoubles) {
    GrowArray<int> a;
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.capacity(), 50);
    for (int i = 0; i < 50; ++i) a.push(i * 10);
    EXPECT_EQ(a.capacity(), 50);
    a.push(500);  // the 51st entry
    EXPECT_EQ(a.count(), 51);
    EXPECT_EQ(a.capacity(), 100);
    for (int i = 0; i <= 50; ++i) EXPECT_EQ(a.get(i), i * 10);
    for (int i = 51; i <= 100; ++i) a.push(i * 10);
    EXPECT_EQ(a.capacity(), 200);
    EXPECT_EQ(a.get(100), 1000);
}

TEST(CoreGrowArray, RemovesInOrder) {
    GrowArray<int> a;
    a.push(7);
    a.push(8);
    a.push(9);
    EXPECT_TRUE(a.removeAt(0));
    ASSERT_EQ(a.count(), 2);
    EXPECT_EQ(a.get(0), 8);
    EXPECT_EQ(a.get(1), 9);

    a.push(10);
    EXPECT_TRUE(a.removeAt(2));  // the last entry: nothing moves
    ASSERT_EQ(a.count(), 2);
    EXPECT_EQ(a.get(0), 8);
    EXPECT_EQ(a.get(1), 9);

    EXPECT_FALSE(a.removeAt(-1));
    EXPECT_FALSE(a.removeAt(2));
    EXPECT_EQ(a.count(), 2);
    EXPECT_EQ(a.get(2), 0);   // outside: nothing
    EXPECT_EQ(a.get(-1), 0);

    GrowArray<int*> pointers;
    EXPECT_EQ(pointers.get(0), nullptr);
}
