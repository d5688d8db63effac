#include <gtest/gtest.h>

#include "Camera.h"
#include "MouseLook.h"
#include "Movement.h"
#include "ViewerSettings.h"

TEST(Movement, SpeedAndSensitivityKeysStepByATenthAndNeverGoNegative) {
    Movement state;
    EXPECT_EQ(applyKey(state, 'a'), KeyAction::none);
    EXPECT_FLOAT_EQ(state.moveSpeed, 0.6f);
    applyKey(state, 'S');
    applyKey(state, 's');
    EXPECT_FLOAT_EQ(state.moveSpeed, 0.4f);

    state.moveSpeed = 0.05f;
    applyKey(state, 'S');
    EXPECT_EQ(state.moveSpeed, 0.0f);
    applyKey(state, 'S');
    EXPECT_EQ(state.moveSpeed, 0.0f);
    applyKey(state, 'A');
    EXPECT_FLOAT_EQ(state.moveSpeed, 0.1f);

    applyKey(state, 'Z');
    EXPECT_FLOAT_EQ(state.mouseSensitivity, 1.1f);
    for (int i = 0; i < 20; ++i) applyKey(state, 'x');
    EXPECT_EQ(state.mouseSensitivity, 0.0f);
    applyKey(state, 'z');
    EXPECT_FLOAT_EQ(state.mouseSensitivity, 0.1f);
    EXPECT_FLOAT_EQ(state.moveSpeed, 0.1f);  // untouched by Z and X

    // Other keys change nothing; M, P and Q are left to the window side.
    const Movement before = state;
    EXPECT_EQ(applyKey(state, 'w'), KeyAction::none);
    EXPECT_EQ(applyKey(state, ' '), KeyAction::none);
    EXPECT_EQ(applyKey(state, 'm'), KeyAction::toggleMouseLook);
    EXPECT_EQ(applyKey(state, 'M'), KeyAction::toggleMouseLook);
    EXPECT_EQ(applyKey(state, 'p'), KeyAction::printView);
    EXPECT_EQ(applyKey(state, 'P'), KeyAction::printView);
    EXPECT_EQ(applyKey(state, 'q'), KeyAction::quit);
    EXPECT_EQ(applyKey(state, 'Q'), KeyAction::quit);
    EXPECT_EQ(state.moveSpeed, before.moveSpeed);
    EXPECT_EQ(state.mouseSensitivity, before.mouseSensitivity);
    EXPECT_FALSE(state.moveForward || state.moveBackward || state.watchdogArmed);
}

TEST(Movement, WatchdogStopsMovementOnTheFirstTickWithoutAKeyEvent) {
    Movement state;
    EXPECT_EQ(velocity(state), 0.0f);

    // One press: a timer is started, movement lasts two ticks.
    EXPECT_EQ(applyKey(state, 'e'), KeyAction::startWatchdog);
    EXPECT_EQ(velocity(state), 0.5f);
    EXPECT_TRUE(watchdogTick(state));  // first tick: keep going, rearm
    EXPECT_EQ(velocity(state), 0.5f);
    EXPECT_FALSE(watchdogTick(state));  // second tick without a key: stop
    EXPECT_EQ(velocity(state), 0.0f);
    EXPECT_FALSE(state.watchdogArmed);

    // E then D before a tick: only one timer, the direction reverses.
    EXPECT_EQ(applyKey(state, 'E'), KeyAction::startWatchdog);
    EXPECT_EQ(applyKey(state, 'D'), KeyAction::none);
    EXPECT_EQ(velocity(state), -0.5f);
    EXPECT_TRUE(state.moveBackward && !state.moveForward);

    // Auto-repeat keeps the movement alive across any number of ticks.
    for (int tick = 0; tick < 5; ++tick) {
        EXPECT_TRUE(watchdogTick(state));
        EXPECT_EQ(applyKey(state, 'd'), KeyAction::none);  // armed: no second timer
    }
    EXPECT_TRUE(watchdogTick(state));
    EXPECT_FALSE(watchdogTick(state));
    EXPECT_EQ(velocity(state), 0.0f);

    // Once disarmed, the next movement key starts a timer again.
    EXPECT_EQ(applyKey(state, 'd'), KeyAction::startWatchdog);

    // A tick while nothing moves changes nothing.
    Movement idle;
    EXPECT_FALSE(watchdogTick(idle));
    EXPECT_FALSE(idle.watchdogArmed || idle.watchdogTicked);
}

namespace {

MouseLook activeLook() {
    MouseLook look;
    activateMouseLook(look);
    return look;
}

}  // namespace

TEST(MouseLook, PointerStepsSetThePerFrameTurn) {
    WindowSize size;
    setWindowSize(size, 800, 600);

    // Inactive: events are ignored.
    MouseLook off;
    const PointerResponse ignored = pointerMoved(off, size, 1.0f, 1, 200, 200);
    EXPECT_FALSE(ignored.redisplay || ignored.warpToCentre);
    EXPECT_EQ(off.lastMouseX, 0);

    // The first event after switching on only re-bases.
    MouseLook look = activeLook();
    PointerResponse response = pointerMoved(look, size, 1.0f, 1, 400, 400);
    EXPECT_FALSE(look.warpPending);
    EXPECT_FALSE(response.redisplay || response.warpToCentre);
    EXPECT_EQ(look.pitchDelta, 0.0f);
    EXPECT_EQ(look.yawDelta, 0.0f);

    // Half a window height upwards, sensitivity 1, sign +1: one radian down.
    response = pointerMoved(look, size, 1.0f, 1, 400, 100);
    EXPECT_FLOAT_EQ(look.pitchDelta, 1.0f);
    EXPECT_EQ(look.yawDelta, 0.0f);
    EXPECT_TRUE(response.redisplay);
    EXPECT_FALSE(response.warpToCentre);

    // Sign -1 reverses the pitch; sensitivity scales both.
    MouseLook reversed = activeLook();
    pointerMoved(reversed, size, 1.0f, -1, 400, 300);
    pointerMoved(reversed, size, 0.5f, -1, 300, 200);
    EXPECT_FLOAT_EQ(reversed.pitchDelta, -100.0f * 0.5f / 300.0f);
    EXPECT_FLOAT_EQ(reversed.yawDelta, 100.0f * 0.5f / 400.0f);

    // A horizontal step only: no pitch. Moving right turns the view to the
    // camera's right, which is cross(lookDir, upDir).
    MouseLook sideways = activeLook();
    pointerMoved(sideways, size, 1.0f, 1, 400, 300);
    pointerMoved(sideways, size, 1.0f, 1, 440, 300);
    EXPECT_EQ(sideways.pitchDelta, 0.0f);
    EXPECT_FLOAT_EQ(sideways.yawDelta, -0.1f);
    Camera cam;
    const Vec3 right = cross(cam.lookDir, cam.upDir);
    turn(cam, sideways.pitchDelta, sideways.yawDelta);
    EXPECT_GT(dot(cam.lookDir, right), 0.0f);

    // Switching off stops the turn at once.
    deactivateMouseLook(sideways);
    EXPECT_EQ(sideways.yawDelta, 0.0f);
    EXPECT_EQ(sideways.pitchDelta, 0.0f);
    EXPECT_FALSE(pointerMoved(sideways, size, 1.0f, 1, 500, 300).redisplay);
}

TEST(MouseLook, PointerWithinFivePixelsOfAnEdgeIsWarpedBack) {
    WindowSize size;
    setWindowSize(size, 800, 600);
    const struct {
        int x, y;
        bool inside;
    } points[] = {{5, 300, false},  {6, 300, true},  {794, 300, true}, {795, 300, false},
                  {400, 5, false}, {400, 6, true}, {400, 594, true}, {400, 595, false}};
    for (const auto& p : points) EXPECT_EQ(pointerInside(size, p.x, p.y), p.inside) << p.x << ", " << p.y;

    MouseLook look = activeLook();
    pointerMoved(look, size, 1.0f, 1, 400, 300);
    // A step onto the margin turns the view and asks for a warp.
    PointerResponse response = pointerMoved(look, size, 1.0f, 1, 795, 300);
    EXPECT_TRUE(response.redisplay);
    EXPECT_TRUE(response.warpToCentre);
    EXPECT_TRUE(look.warpPending);
    const float yaw = look.yawDelta;
    EXPECT_FLOAT_EQ(yaw, -395.0f / 400.0f);

    // While the warp is pending, events still on the margin re-base and ask
    // again; the event at the centre re-bases without turning.
    response = pointerMoved(look, size, 1.0f, 1, 797, 300);
    EXPECT_TRUE(response.warpToCentre);
    EXPECT_FALSE(response.redisplay);
    response = pointerMoved(look, size, 1.0f, 1, 400, 300);
    EXPECT_FALSE(response.warpToCentre || response.redisplay);
    EXPECT_FALSE(look.warpPending);
    EXPECT_EQ(look.yawDelta, yaw);  // the jump back is no turn
    EXPECT_EQ(look.lastMouseX, 400);

    // Leaving the window asks for a warp only while mouse look is on.
    EXPECT_TRUE(pointerLeft(look));
    EXPECT_TRUE(look.warpPending);
    deactivateMouseLook(look);
    look.warpPending = false;
    EXPECT_FALSE(pointerLeft(look));
    EXPECT_FALSE(look.warpPending);
}
