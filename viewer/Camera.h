#pragma once

#include <string>

#include "Vec3.h"

// The walking camera: fixed height, a unit view direction and up direction
// that turn by first-order pitch steps and exact yaw rotations. It lives in
// the drawn space, where a scene (model) point P appears at P + kSceneOffset.
struct Camera {
    Vec3 eyePos{0.0f, 25.0f, 0.0f};  // y never changes once the camera is placed
    Vec3 lookDir{0.0f, 0.0f, 1.0f};
    Vec3 upDir{0.0f, 1.0f, 0.0f};
    float pitchTotal = 0.0f;  // sum of the pitch steps applied, radians
};

// Where the whole scene is placed before drawing. The start eye (0, 25, 0) is
// therefore the scene point (15, 15, -5).
inline const Vec3 kSceneOffset(-15.0f, 10.0f, 5.0f);

// Pitch steps are applied only while the total stays strictly inside
// (-kPitchLimit, kPitchLimit); single-precision pi halved, 1.5707964.
constexpr float kPitchLimit = kPi * 0.5f;

extern Camera camera;

// v multiplied by the reciprocal of its length.
Vec3 normalise(const Vec3& v);

// Moves the eye by `velocity` along the horizontal part of lookDir; the height
// is kept. A view straight up or down (no horizontal part) does not move.
void walk(Camera& cam, float velocity);

// One turn step. Pitch (positive tilts the view down) first, skipped when it
// would take pitchTotal to or past the limit; then yaw about the world
// vertical axis (positive turns the view towards +x when looking along +z).
void turn(Camera& cam, float pitchDelta, float yawDelta);

// One displayed frame standing for `frames` sixtieths of a second: the walk
// and, if either delta is non-zero, the turn, each scaled by `frames`.
void advanceFrame(Camera& cam, float velocity, float pitchDelta, float yawDelta, float frames);

// Places the eye at `eye` looking at `target`, both scene points, with no
// roll; pitchTotal becomes the pitch (kept just inside the limit for a view
// straight up or down). False, camera untouched, if the two points coincide.
bool aimCamera(Camera& cam, const Vec3& eye, const Vec3& target);

// An axis-aligned box around scene points; empty until a point is added.
struct Bounds {
    bool empty = true;
    Vec3 low, high;
    void add(const Vec3& p);
};

// Aims the camera at the centre of `box` from outside it, along the start
// view's direction (+z) tilted 25 degrees down, far enough back that the
// box's bounding sphere fits in a view of the given aspect, and no part of
// it is nearer than the near clipping distance. False for an empty box.
bool frameBounds(Camera& cam, const Bounds& box, double aspect);

// The eye (scene coordinates) and angles in degrees, and the options that
// reproduce the view: "eye X Y Z, yaw Y, pitch P ...\n  --eye X Y Z --look-at X Y Z\n".
std::string describeView(const Camera& cam);
