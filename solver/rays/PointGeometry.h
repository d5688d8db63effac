#pragma once

#include <cmath>

#include "Vec3.h"

// Double-precision points and the factors from a point to a surface, for
// the ray-based code: the final gather and the ray form factors.

namespace pointgeo {

constexpr double kPi = 3.14159265358979323846;

struct D3 {
    double x = 0.0, y = 0.0, z = 0.0;
};
inline D3 toD3(const Vec3& v) { return {v.x, v.y, v.z}; }
inline D3 operator-(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 operator+(const D3& a, const D3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3 operator*(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline D3 cross(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The lit-side unit normal of triangle (v0, v1, v2): the side from which
// the corners run clockwise. Zero for a degenerate triangle.
inline D3 litNormal(const D3& v0, const D3& v1, const D3& v2) {
    const D3 c = cross(v2 - v0, v1 - v0);
    const double len = std::sqrt(dot(c, c));
    return len > 0.0 ? c * (1.0 / len) : D3{};
}

// The form factor from a differential area at x (unit normal n) to the
// triangle `corners`, unoccluded, by Lambert's contour integral over the
// part of the triangle above x's plane: exact however near the triangle is.
inline double polygonFactor(const D3& x, const D3& n, const D3 (&corners)[3]) {
    D3 poly[4];
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        const D3& a = corners[i];
        const D3& b = corners[(i + 1) % 3];
        const double da = dot(n, a - x), db = dot(n, b - x);
        if (da >= 0.0) poly[count++] = a;
        if ((da >= 0.0) != (db >= 0.0)) poly[count++] = a + (b - a) * (da / (da - db));
    }
    if (count < 3) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        const D3 ra = poly[i] - x, rb = poly[(i + 1) % count] - x;
        const D3 c = cross(ra, rb);
        const double len = std::sqrt(dot(c, c));
        if (!(len > 0.0)) continue;
        const double angle = std::atan2(len, dot(ra, rb));
        sum += angle * dot(c, n) / len;
    }
    return std::fabs(sum) / (2.0 * kPi);
}

}  // namespace pointgeo
