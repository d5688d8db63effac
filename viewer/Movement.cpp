#include "Movement.h"

#include <cctype>

Movement movement;

float stepDown(float value) { return value < kSpeedStep ? 0.0f : value - kSpeedStep; }

namespace {

KeyAction startMoving(Movement& state, bool forward) {
    state.moveForward = forward;
    state.moveBackward = !forward;
    const bool needTimer = !state.watchdogArmed;
    state.watchdogArmed = true;
    state.watchdogTicked = false;
    return needTimer ? KeyAction::startWatchdog : KeyAction::none;
}

}  // namespace

KeyAction applyKey(Movement& state, unsigned char key) {
    switch (std::toupper(key)) {
        case 'A':
            state.moveSpeed += kSpeedStep;
            return KeyAction::none;
        case 'S':
            state.moveSpeed = stepDown(state.moveSpeed);
            return KeyAction::none;
        case 'Z':
            state.mouseSensitivity += kSpeedStep;
            return KeyAction::none;
        case 'X':
            state.mouseSensitivity = stepDown(state.mouseSensitivity);
            return KeyAction::none;
        case 'E':
            return startMoving(state, true);
        case 'D':
            return startMoving(state, false);
        case 'M':
            return KeyAction::toggleMouseLook;
        case 'P':
            return KeyAction::printView;
        case 'Q':
            return KeyAction::quit;
        default:
            return KeyAction::none;
    }
}

float velocity(const Movement& state) {
    if (state.moveForward) return state.moveSpeed;
    if (state.moveBackward) return -state.moveSpeed;
    return 0.0f;
}

bool watchdogTick(Movement& state) {
    if (!state.watchdogTicked && (state.moveBackward || state.moveForward)) {
        state.watchdogTicked = true;
        return true;
    }
    if (state.watchdogTicked) {
        state.moveBackward = false;
        state.moveForward = false;
        state.watchdogTicked = false;
        state.watchdogArmed = false;
    }
    return false;
}
