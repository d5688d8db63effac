#pragma once

// Keyboard walking: the speed and mouse-sensitivity keys, the movement keys
// and the watchdog that stops movement once the key's auto-repeat ends.
struct Movement {
    float moveSpeed = 0.5f;         // scene units per 1/60 s (a frame at 60 frames a second)
    float mouseSensitivity = 1.0f;  // radians per 1/60 s for a pointer step of half the window
    bool moveForward = false;       // never both true
    bool moveBackward = false;
    bool watchdogArmed = false;   // a watchdog timer is outstanding
    bool watchdogTicked = false;  // it fired once since the last movement key
};

constexpr float kSpeedStep = 0.1f;      // step of the A/S and Z/X keys
constexpr unsigned kWatchdogMillis = 200;  // watchdog period

extern Movement movement;

// What a key asks of the window side once the movement state is updated.
enum class KeyAction { none, startWatchdog, toggleMouseLook, printView, quit };

// Applies one key (either case): A/S speed, Z/X sensitivity, E/D movement,
// M mouse look, P print the view, Q quit; any other key changes nothing.
KeyAction applyKey(Movement& state, unsigned char key);

// The value one decrement key leaves: 0 when below one step, never negative.
float stepDown(float value);

// Signed distance per 1/60 s requested by the movement keys.
float velocity(const Movement& state);

// A watchdog tick. True: movement keys arrived since the previous tick, so
// another timer must be started (and no redisplay is due). False: movement
// stopped if it was running and the watchdog disarmed; redisplay.
bool watchdogTick(Movement& state);
