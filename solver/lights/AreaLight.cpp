#include "AreaLight.h"

#include <cmath>

namespace {

void sub(const double* a, const double* b, double* out) {
    for (int k = 0; k < 3; ++k) out[k] = a[k] - b[k];
}

void cross(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

double dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The plane's normal (c1 - c0) x (c3 - c0), unnormalised.
void planeNormal(const AreaLight& light, double n[3]) {
    double u[3], v[3];
    sub(light.corners[1], light.corners[0], u);
    sub(light.corners[3], light.corners[0], v);
    cross(u, v, n);
}

Vec3 vec(const double* p) {
    return Vec3(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
}

}  // namespace

double areaLightArea(const AreaLight& light) {
    double n[3];
    planeNormal(light, n);
    const double area = std::sqrt(dot(n, n));
    return std::isfinite(area) ? area : 0.0;
}

Color areaLightRadiance(const AreaLight& light) {
    const double scale = 1.0 / (4.0 * areaLightArea(light));
    return Color(static_cast<float>(light.power[0] * scale), static_cast<float>(light.power[1] * scale),
                 static_cast<float>(light.power[2] * scale), 1.0f);
}

bool areaLightHasSize(const AreaLight& light) {
    for (const auto& corner : light.corners)
        for (const double v : corner)
            if (!std::isfinite(static_cast<float>(v))) return false;
    const double area = areaLightArea(light);
    if (!(area > 0.0 && std::isfinite(1.0 / area))) return false;
    double n[3];
    planeNormal(light, n);
    const double facing = dot(n, light.direction);
    const double lengths = std::sqrt(dot(n, n) * dot(light.direction, light.direction));
    return std::isfinite(facing) && std::fabs(facing) > 1e-9 * lengths;
}

std::string areaLightProblem(const AreaLight& light) {
    for (const double c : light.power) {
        if (!std::isfinite(c)) return "its power is not finite";
        if (c < 0.0) return "its power is negative";
    }
    const Color radiance = areaLightRadiance(light);
    if (areaLightArea(light) > 0.0 && !(std::isfinite(radiance.r) && std::isfinite(radiance.g) && std::isfinite(radiance.b)))
        return "its radiance is not a finite number";
    return "";
}

void areaLightTriangles(const AreaLight& light, Tri out[2]) {
    const double* c = &light.corners[0][0];
    const int halves[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < 2; ++t) {
        const double* a = c + 3 * halves[t][0];
        const double* b = c + 3 * halves[t][1];
        const double* d = c + 3 * halves[t][2];
        // Tri's front is the side of (v2 - v0) x (v1 - v0).
        double e1[3], e2[3], front[3];
        sub(b, a, e1);
        sub(d, a, e2);
        cross(e2, e1, front);
        if (dot(front, light.direction) >= 0.0)
            out[t].setVertices(vec(a), vec(b), vec(d));
        else
            out[t].setVertices(vec(a), vec(d), vec(b));
    }
}
