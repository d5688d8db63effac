#include "Camera.h"

#include <cmath>

Camera camera;

namespace {

// Rotation about the world y axis given the cosine and sine of the angle.
void rotateAboutVertical(Vec3& v, float c, float s) {
    const float x = v.x;
    const float z = v.z;
    v.x = c * x + s * z;
    v.z = -s * x + c * z;
}

}  // namespace

Vec3 normalise(const Vec3& v) {
    const float inverse = 1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return Vec3(v.x * inverse, v.y * inverse, v.z * inverse);
}

void walk(Camera& cam, float velocity) {
    const float horizontal = std::sqrt(cam.lookDir.x * cam.lookDir.x + cam.lookDir.z * cam.lookDir.z);
    if (horizontal == 0.0f) return;
    const float h = 1.0f / horizontal;
    cam.eyePos.x += cam.lookDir.x * h * velocity;
    cam.eyePos.z += cam.lookDir.z * h * velocity;
}

void turn(Camera& cam, float pitchDelta, float yawDelta) {
    const float pitched = cam.pitchTotal + pitchDelta;
    if (-kPitchLimit < pitched && pitched < kPitchLimit) {
        // First-order rotation of both vectors in their common plane.
        const Vec3 oldUp = cam.upDir;
        cam.upDir = normalise(cam.upDir + cam.lookDir * pitchDelta);
        cam.lookDir = normalise(cam.lookDir - oldUp * pitchDelta);
        cam.pitchTotal = pitched;
    }
    const float c = std::cos(yawDelta);
    const float s = std::sin(yawDelta);
    rotateAboutVertical(cam.lookDir, c, s);
    rotateAboutVertical(cam.upDir, c, s);
}
