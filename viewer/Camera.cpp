#include "Camera.h"

#include <cmath>
#include <cstdio>

Camera camera;

namespace {

// Rotation about the world y axis given the cosine and sine of the angle.
void rotateAboutVertical(Vec3& v, float c, float s) {
    const float x = v.x;
    const float z = v.z;
    v.x = c * x + s * z;
    v.z = -s * x + c * z;
}

// Looking along yaw (from +z towards +x) and pitch (positive down).
void setAngles(Camera& cam, double yaw, double pitch) {
    const double sy = std::sin(yaw), cy = std::cos(yaw), sp = std::sin(pitch), cp = std::cos(pitch);
    cam.lookDir = Vec3(static_cast<float>(sy * cp), static_cast<float>(-sp), static_cast<float>(cy * cp));
    cam.upDir = Vec3(static_cast<float>(sy * sp), static_cast<float>(cp), static_cast<float>(cy * sp));
    cam.pitchTotal = static_cast<float>(pitch);
}

// Views straight up or down keep this far inside the pitch limit.
constexpr double kSteepestPitch = 1.57;
constexpr double kFramePitch = 25.0 * 3.14159265358979 / 180.0;
constexpr double kFrameMargin = 1.1;  // bounding sphere to frame distance
constexpr double kNearDistance = 1.0;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    const std::string s = text;
    return s == "-0" ? "0" : s;
}

std::string point(const Vec3& p) { return number(p.x) + " " + number(p.y) + " " + number(p.z); }

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

void advanceFrame(Camera& cam, float velocity, float pitchDelta, float yawDelta, float frames) {
    if (frames <= 0.0f) return;
    walk(cam, velocity * frames);
    if (pitchDelta != 0.0f || yawDelta != 0.0f) turn(cam, pitchDelta * frames, yawDelta * frames);
}

bool aimCamera(Camera& cam, const Vec3& eye, const Vec3& target) {
    const double dx = static_cast<double>(target.x) - eye.x;
    const double dy = static_cast<double>(target.y) - eye.y;
    const double dz = static_cast<double>(target.z) - eye.z;
    const double horizontal = std::sqrt(dx * dx + dz * dz);
    if (horizontal == 0.0 && dy == 0.0) return false;
    double pitch = std::atan2(-dy, horizontal);
    if (pitch > kSteepestPitch) pitch = kSteepestPitch;
    if (pitch < -kSteepestPitch) pitch = -kSteepestPitch;
    setAngles(cam, horizontal > 0.0 ? std::atan2(dx, dz) : 0.0, pitch);
    cam.eyePos = eye + kSceneOffset;
    return true;
}

void Bounds::add(const Vec3& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    if (empty) {
        low = high = p;
        empty = false;
        return;
    }
    low = Vec3(std::fmin(low.x, p.x), std::fmin(low.y, p.y), std::fmin(low.z, p.z));
    high = Vec3(std::fmax(high.x, p.x), std::fmax(high.y, p.y), std::fmax(high.z, p.z));
}

bool frameBounds(Camera& cam, const Bounds& box, double aspect) {
    if (box.empty) return false;
    const double cx = 0.5 * (static_cast<double>(box.low.x) + box.high.x);
    const double cy = 0.5 * (static_cast<double>(box.low.y) + box.high.y);
    const double cz = 0.5 * (static_cast<double>(box.low.z) + box.high.z);
    const double radius =
        0.5 * std::sqrt(std::pow(static_cast<double>(box.high.x) - box.low.x, 2) +
                        std::pow(static_cast<double>(box.high.y) - box.low.y, 2) +
                        std::pow(static_cast<double>(box.high.z) - box.low.z, 2));
    // Half the narrower opening of the view: 45 degrees vertically, and
    // atan(aspect) horizontally (the vertical field of view is 90 degrees).
    const double halfAngle = std::atan(aspect > 0.0 && aspect < 1.0 ? aspect : 1.0);
    double distance = kFrameMargin * radius / std::sin(halfAngle);
    if (distance < radius + 2.0 * kNearDistance) distance = radius + 2.0 * kNearDistance;
    const Vec3 centre(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(cz));
    const Vec3 eye(static_cast<float>(cx), static_cast<float>(cy + distance * std::sin(kFramePitch)),
                   static_cast<float>(cz - distance * std::cos(kFramePitch)));
    return aimCamera(cam, eye, centre);
}

std::string describeView(const Camera& cam) {
    const Vec3 eye = cam.eyePos - kSceneOffset;
    const Vec3& d = cam.lookDir;
    const double degrees = 180.0 / 3.14159265358979;
    const double yaw = std::atan2(static_cast<double>(d.x), static_cast<double>(d.z)) * degrees;
    const double pitch =
        std::atan2(-static_cast<double>(d.y), std::hypot(static_cast<double>(d.x), static_cast<double>(d.z))) *
        degrees;
    return "eye " + point(eye) + ", yaw " + number(yaw) + ", pitch " + number(pitch) +
           " (degrees; yaw 0 looks along +z, 90 along +x; positive pitch looks down)\n  --eye " + point(eye) +
           " --look-at " + point(eye + d * 10.0f) + "\n";
}
