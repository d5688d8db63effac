#pragma once

#include "Vec3.h"

// The walking camera: fixed height, a unit view direction and up direction
// that turn by first-order pitch steps and exact yaw rotations.
struct Camera {
    Vec3 eyePos{0.0f, 25.0f, 0.0f};  // y never changes
    Vec3 lookDir{0.0f, 0.0f, 1.0f};
    Vec3 upDir{0.0f, 1.0f, 0.0f};
    float pitchTotal = 0.0f;  // sum of the pitch steps applied, radians
};

// Pitch steps are applied only while the total stays strictly inside
// (-kPitchLimit, kPitchLimit); single-precision pi halved, 1.5707964.
constexpr float kPitchLimit = kPi * 0.5f;

extern Camera camera;

// v multiplied by the reciprocal of its length.
Vec3 normalise(const Vec3& v);

// Moves the eye by `velocity` along the horizontal part of lookDir; the height
// is kept. A view straight up or down (no horizontal part) does not move.
void walk(Camera& cam, float velocity);

// One frame's turn. Pitch (positive tilts the view down) first, skipped when
// it would take pitchTotal to or past the limit; then yaw about the world
// vertical axis (positive turns the view towards +x when looking along +z).
void turn(Camera& cam, float pitchDelta, float yawDelta);
