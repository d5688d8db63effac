#pragma once

#include <cmath>
#include <cstdint>

// Fixed sample patterns. Every number here is a pure function of its
// arguments (a key of the surface or element, a sample index, a dimension),
// never of a generator shared between threads, so any thread that computes
// a texel or a row draws the same numbers for it.

namespace samples {

// A 64-bit finaliser: every input bit affects every output bit.
inline std::uint64_t mixBits(std::uint64_t v) {
    v ^= v >> 31;
    v *= 0x7fb5d329728ea185ULL;
    v ^= v >> 27;
    v *= 0x81dadef4bc2dd44dULL;
    v ^= v >> 33;
    return v;
}

// A number in [0, 1) from the top bits of a hash.
inline double unitFromBits(std::uint64_t v) { return static_cast<double>(v >> 11) * 0x1.0p-53; }

// The base-2 radical inverse of i: its bits mirrored behind the binary point.
inline double radicalInverse2(std::uint32_t i) {
    i = (i << 16) | (i >> 16);
    i = ((i & 0x00ff00ffu) << 8) | ((i & 0xff00ff00u) >> 8);
    i = ((i & 0x0f0f0f0fu) << 4) | ((i & 0xf0f0f0f0u) >> 4);
    i = ((i & 0x33333333u) << 2) | ((i & 0xccccccccu) >> 2);
    i = ((i & 0x55555555u) << 1) | ((i & 0xaaaaaaaau) >> 1);
    return static_cast<double>(i) * 0x1.0p-32;
}

// The radical inverse of i in a small prime base (3, 5, ...): its digits
// mirrored behind the point.
inline double radicalInverse(std::uint32_t base, std::uint32_t i) {
    const double inverse = 1.0 / base;
    double scale = inverse, value = 0.0;
    while (i > 0) {
        value += (i % base) * scale;
        i /= base;
        scale *= inverse;
    }
    return value;
}

// A point of a triangle from a point of the unit square, area-uniform:
// weights of corners 1 and 2.
inline void trianglePoint(double u, double v, double& b1, double& b2) {
    const double su = std::sqrt(u);
    b1 = su * (1.0 - v);
    b2 = su * v;
}

// Point i of the n-point Hammersley set, shifted on the unit torus by
// (shiftU, shiftV): stratified in both dimensions for any shift.
inline void hammersley(int i, int n, double shiftU, double shiftV, double& u, double& v) {
    u = (static_cast<double>(i) + 0.5) / n + shiftU;
    v = radicalInverse2(static_cast<std::uint32_t>(i)) + shiftV;
    u -= std::floor(u);
    v -= std::floor(v);
}

// A cosine-distributed direction about +z from a point of the unit square,
// through the concentric map of the square onto the disk (which keeps the
// strata of the square as strata of the disk), lifted onto the hemisphere.
inline void cosineDirection(double u, double v, double& x, double& y, double& z) {
    const double a = 2.0 * u - 1.0, b = 2.0 * v - 1.0;
    double r = 0.0, phi = 0.0;
    constexpr double kQuarterPi = 0.78539816339744830962;
    if (a == 0.0 && b == 0.0) {
        r = 0.0;
    } else if (std::fabs(a) > std::fabs(b)) {
        r = a;
        phi = kQuarterPi * (b / a);
    } else {
        r = b;
        phi = 2.0 * kQuarterPi - kQuarterPi * (a / b);
    }
    x = r * std::cos(phi);
    y = r * std::sin(phi);
    z = std::sqrt(std::fmax(0.0, 1.0 - x * x - y * y));
}

// Two unit vectors completing a unit normal to a right-handed frame,
// continuous in the normal except across nz = 0 from below (Duff et al.).
inline void frameAbout(const double n[3], double t[3], double b[3]) {
    const double sign = std::copysign(1.0, n[2]);
    const double a = -1.0 / (sign + n[2]);
    const double c = n[0] * n[1] * a;
    t[0] = 1.0 + sign * n[0] * n[0] * a;
    t[1] = sign * c;
    t[2] = -sign * n[0];
    b[0] = c;
    b[1] = sign + n[1] * n[1] * a;
    b[2] = -n[1];
}

}  // namespace samples
