#include <gtest/gtest.h>

#include <cmath>

#include "Camera.h"

namespace {

float horizontalDistance(const Vec3& a, const Vec3& b) { return std::hypot(a.x - b.x, a.z - b.z); }

}  // namespace

TEST(Camera, WalksHorizontallyAtFixedHeight) {
    Camera cam;
    walk(cam, 0.5f);
    EXPECT_FLOAT_EQ(cam.eyePos.x, 0.0f);
    EXPECT_FLOAT_EQ(cam.eyePos.y, 25.0f);
    EXPECT_FLOAT_EQ(cam.eyePos.z, 0.5f);

    // Looking down and to the side: the step is still the full distance, along
    // the horizontal part of the view (3, 4 in x, z), and the height stays.
    Camera tilted;
    tilted.lookDir = normalise(Vec3(3.0f, -10.0f, 4.0f));
    walk(tilted, 2.0f);
    EXPECT_FLOAT_EQ(tilted.eyePos.y, 25.0f);
    EXPECT_NEAR(horizontalDistance(tilted.eyePos, Vec3(0.0f, 25.0f, 0.0f)), 2.0f, 1e-5f);
    EXPECT_NEAR(tilted.eyePos.x, 1.2f, 1e-5f);
    EXPECT_NEAR(tilted.eyePos.z, 1.6f, 1e-5f);

    // Backwards is a negative velocity; no velocity, no movement.
    walk(tilted, -2.0f);
    EXPECT_NEAR(tilted.eyePos.x, 0.0f, 1e-5f);
    EXPECT_NEAR(tilted.eyePos.z, 0.0f, 1e-5f);
    const Vec3 before = tilted.eyePos;
    walk(tilted, 0.0f);
    EXPECT_EQ(tilted.eyePos.x, before.x);
    EXPECT_EQ(tilted.eyePos.z, before.z);
}

TEST(Camera, PitchTiltsDownForPositiveStepsAndStopsStrictlyBeforeTheLimit) {
    EXPECT_FLOAT_EQ(kPitchLimit, 1.5707964f);

    Camera cam;
    turn(cam, 0.1f, 0.0f);
    EXPECT_LT(cam.lookDir.y, 0.0f);  // view tilted down
    EXPECT_GT(cam.upDir.z, 0.0f);    // up leans forward with it
    EXPECT_NEAR(std::sqrt(dot(cam.lookDir, cam.lookDir)), 1.0f, 1e-6f);
    EXPECT_NEAR(std::sqrt(dot(cam.upDir, cam.upDir)), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(cam.lookDir, cam.upDir), 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(cam.pitchTotal, 0.1f);

    // A step that would reach the limit exactly is skipped, in both
    // directions, while the yaw of the same frame still applies.
    for (float sign : {1.0f, -1.0f}) {
        Camera atLimit;
        turn(atLimit, sign * kPitchLimit, 0.25f);
        EXPECT_EQ(atLimit.pitchTotal, 0.0f);
        EXPECT_FLOAT_EQ(atLimit.lookDir.y, 0.0f);
        EXPECT_NEAR(atLimit.lookDir.x, std::sin(0.25f), 1e-6f);
        EXPECT_NEAR(atLimit.lookDir.z, std::cos(0.25f), 1e-6f);
    }

    // Just inside the limit the step is taken.
    Camera inside;
    const float largest = std::nextafter(kPitchLimit, 0.0f);
    turn(inside, -largest, 0.0f);
    EXPECT_EQ(inside.pitchTotal, -largest);
    EXPECT_GT(inside.lookDir.y, 0.0f);

    // Repeated frames accumulate until the next step would cross the limit.
    Camera repeated;
    for (int frame = 0; frame < 100; ++frame) turn(repeated, 0.2f, 0.0f);
    EXPECT_LT(repeated.pitchTotal, kPitchLimit);
    EXPECT_GE(repeated.pitchTotal + 0.2f, kPitchLimit);
    EXPECT_LT(repeated.lookDir.y, 0.0f);
    EXPECT_GT(repeated.lookDir.z, 0.0f);  // never tipped over backwards
}

TEST(Camera, YawTurnsAboutTheVerticalAxis) {
    Camera cam;
    turn(cam, 0.0f, kPi * 0.5f);
    EXPECT_NEAR(cam.lookDir.x, 1.0f, 1e-6f);
    EXPECT_NEAR(cam.lookDir.z, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(cam.upDir.y, 1.0f);
    EXPECT_EQ(cam.pitchTotal, 0.0f);

    // Pitched up first, then yawed: heights are untouched by yaw (up to the
    // renormalisation of the zero pitch step), and a full turn in four
    // quarter steps comes back to the start.
    Camera pitched;
    turn(pitched, -0.3f, 0.0f);
    const Camera start = pitched;
    for (int quarter = 0; quarter < 4; ++quarter) {
        turn(pitched, 0.0f, kPi * 0.5f);
        EXPECT_FLOAT_EQ(pitched.lookDir.y, start.lookDir.y);
        EXPECT_FLOAT_EQ(pitched.upDir.y, start.upDir.y);
    }
    EXPECT_NEAR(pitched.lookDir.x, start.lookDir.x, 1e-5f);
    EXPECT_NEAR(pitched.lookDir.z, start.lookDir.z, 1e-5f);
    EXPECT_NEAR(pitched.upDir.x, start.upDir.x, 1e-5f);
    EXPECT_NEAR(pitched.upDir.z, start.upDir.z, 1e-5f);
}
