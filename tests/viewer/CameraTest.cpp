#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "Camera.h"
#include "FrameClock.h"
#include "Movement.h"

namespace {

void expectNear(const Vec3& actual, const Vec3& expected, float tolerance, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

}  // namespace

TEST(Camera, WalksHorizontallyAtFixedHeight) {
    Camera cam;
    walk(cam, 0.5f);
    expectNear(cam.eyePos, Vec3(0.0f, 25.0f, 0.5f), 0.0f, "along +z");

    // Looking down and to the side: the full distance along the horizontal
    // part of the view (3, 4 in x, z); backwards undoes it; the height stays.
    Camera tilted;
    tilted.lookDir = normalise(Vec3(3.0f, -10.0f, 4.0f));
    walk(tilted, 2.0f);
    expectNear(tilted.eyePos, Vec3(1.2f, 25.0f, 1.6f), 1e-5f, "tilted");
    walk(tilted, -2.0f);
    walk(tilted, 0.0f);
    expectNear(tilted.eyePos, Vec3(0.0f, 25.0f, 0.0f), 1e-5f, "back");
}

TEST(Camera, PitchTiltsDownForPositiveStepsAndStopsStrictlyBeforeTheLimit) {
    EXPECT_FLOAT_EQ(kPitchLimit, 1.5707964f);

    Camera cam;
    turn(cam, 0.1f, 0.0f);
    EXPECT_LT(cam.lookDir.y, 0.0f);  // view tilted down
    EXPECT_GT(cam.upDir.z, 0.0f);    // up leans forward with it
    EXPECT_NEAR(length(cam.lookDir), 1.0f, 1e-6f);
    EXPECT_NEAR(length(cam.upDir), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(cam.lookDir, cam.upDir), 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(cam.pitchTotal, 0.1f);

    // A step that would reach the limit exactly is skipped, in both
    // directions, while the yaw of the same frame still applies.
    for (float sign : {1.0f, -1.0f}) {
        Camera atLimit;
        turn(atLimit, sign * kPitchLimit, 0.25f);
        EXPECT_EQ(atLimit.pitchTotal, 0.0f);
        expectNear(atLimit.lookDir, Vec3(std::sin(0.25f), 0.0f, std::cos(0.25f)), 1e-6f, "yaw only");
    }

    // Just inside the limit the step is taken.
    Camera inside;
    const float largest = std::nextafter(kPitchLimit, 0.0f);
    turn(inside, -largest, 0.0f);
    EXPECT_EQ(inside.pitchTotal, -largest);
    EXPECT_GT(inside.lookDir.y, 0.0f);
}

namespace {

// Drives the camera as the window does, on a simulated clock: a frame at
// every k / fps for `seconds`, each applying the turn of one pointer step,
// and, if asked, a tap of E at 3 ms with the watchdog ticking every 200 ms.
Camera simulate(double fps, double seconds, bool tapE, float pitchDelta, float yawDelta) {
    Camera cam;
    Movement move;
    FrameClock clock;
    const double keyAt = 0.003;
    double nextTick = -1.0;
    bool pressed = !tapE;
    for (int k = 0; k <= static_cast<int>(std::lround(seconds * fps)); ++k) {
        const double now = k / fps;
        if (!pressed && keyAt <= now) {
            pressed = true;
            if (applyKey(move, 'e') == KeyAction::startWatchdog) nextTick = keyAt + 0.2;
        }
        while (nextTick >= 0.0 && nextTick <= now) nextTick = watchdogTick(move) ? nextTick + 0.2 : -1.0;
        advanceFrame(cam, velocity(move), pitchDelta, yawDelta, referenceFrames(clock, now));
    }
    return cam;
}

}  // namespace

TEST(FrameRate, WalkingAndTurningDoNotDependOnTheFrameRate) {
    for (double fps : {30.0, 60.0, 144.0, 600.0, 2000.0}) {
        SCOPED_TRACE(fps);
        // A tap moves for two watchdog ticks, 0.4 s: 0.5 units per 1/60 s
        // make 12 units, give or take the one frame in which it starts or ends.
        const Camera tapped = simulate(fps, 1.0, true, 0.0f, 0.0f);
        EXPECT_NEAR(tapped.eyePos.z, 12.0f, 0.5 * 60.0 / fps + 1e-3);
        EXPECT_EQ(tapped.eyePos.x, 0.0f);

        // One pointer step turning 0.01 per 1/60 s, held for half a second.
        const Camera yawed = simulate(fps, 0.5, false, 0.0f, 0.01f);
        EXPECT_NEAR(std::atan2(yawed.lookDir.x, yawed.lookDir.z), 0.3, 1e-4);
        const Camera pitched = simulate(fps, 0.5, false, 0.01f, 0.0f);
        EXPECT_NEAR(-std::asin(pitched.lookDir.y), 0.3, 1e-3);

        // A steep turn held for seconds stops short of the vertical.
        const Camera steep = simulate(fps, 3.0, false, 0.2f, 0.0f);
        EXPECT_LT(steep.pitchTotal, kPitchLimit);
        EXPECT_GT(steep.lookDir.z, 0.0f);
    }
}

TEST(FrameRate, ClockCountsSixtiethsOfASecondAndCapsStalls) {
    FrameClock clock;
    const struct {
        double now;
        float frames;
    } steps[] = {{100.0, 0.0f}, {100.0 + 1.0 / 60.0, 1.0f}, {100.0 + 1.1 / 60.0, 0.1f}, {103.0, 15.0f}, {102.0, 0.0f}};
    for (const auto& step : steps) EXPECT_NEAR(referenceFrames(clock, step.now), step.frames, 1e-4f) << step.now;
}

TEST(CameraAim, EyeAndTargetGiveTheViewWithoutRoll) {
    const struct {
        Vec3 eye, target, look;
    } cases[] = {
        {{15, 15, -5}, {15, 15, 5}, {0, 0, 1}},  // the start view
        {{1, 2, 3}, {11, 2, 3}, {1, 0, 0}},
        {{0, 0, 0}, {0, -10, -10}, {0, -0.70710678f, -0.70710678f}},
        {{0, 0, 0}, {0, -5, 0}, {0, -std::sin(1.57f), std::cos(1.57f)}},  // straight down: kept inside the limit
    };
    for (const auto& c : cases) {
        Camera cam;
        ASSERT_TRUE(aimCamera(cam, c.eye, c.target));
        expectNear(cam.eyePos, c.eye + kSceneOffset, 0.0f, "eye");
        expectNear(cam.lookDir, c.look, 1e-6f, "look");
        EXPECT_NEAR(length(cam.upDir), 1.0f, 1e-6f);
        EXPECT_NEAR(dot(cam.lookDir, cam.upDir), 0.0f, 1e-6f);
        EXPECT_NEAR(cross(cam.lookDir, cam.upDir).y, 0.0f, 1e-6f);  // the right is level
        EXPECT_GT(cam.upDir.y, 0.0f);
        EXPECT_NEAR(cam.pitchTotal, std::atan2(-cam.lookDir.y, std::hypot(cam.lookDir.x, cam.lookDir.z)), 1e-6f);
    }
    const Camera start;
    Camera cam;
    aimCamera(cam, Vec3(15, 15, -5), Vec3(15, 15, 5));
    expectNear(cam.upDir, start.upDir, 0.0f, "start up");
    EXPECT_FALSE(aimCamera(cam, Vec3(1, 2, 3), Vec3(1, 2, 3)));
}

TEST(CameraAim, PrintedViewReproducesTheView) {
    // After walking and turning, the printed options give back the view (the
    // text itself is checked on the real program). The view they give has no
    // roll, so this also holds yaw to turns about the vertical axis.
    Camera cam;
    walk(cam, 3.7f);
    turn(cam, 0.3f, -1.1f);
    turn(cam, -0.05f, 0.2f);
    const std::string text = describeView(cam);
    const size_t options = text.find("--eye");
    ASSERT_NE(options, std::string::npos) << text;
    Vec3 eye, target;
    ASSERT_EQ(std::sscanf(text.c_str() + options, "--eye %f %f %f --look-at %f %f %f", &eye.x, &eye.y, &eye.z,
                          &target.x, &target.y, &target.z),
              6)
        << text;
    Camera again;
    ASSERT_TRUE(aimCamera(again, eye, target));
    expectNear(again.eyePos, cam.eyePos, 1e-4f, "eye");
    expectNear(again.lookDir, cam.lookDir, 1e-4f, "look");
    expectNear(again.upDir, cam.upDir, 1e-4f, "up");
}
