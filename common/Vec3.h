#pragma once

// A point, direction or RGB triple of three single-precision floats.
//
// Every stored component is a 32-bit float. Compound expressions (dot and
// cross products, sums of squares, rotations) are formed in double precision
// and rounded to float once, when the result is stored: the solver's output
// is defined bit for bit by that rule.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vec3() = default;
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    Vec3& operator+=(const Vec3& b);

    // Rotations in place about the coordinate axes through the origin,
    // right-handed; sine and cosine are rounded to float before use.
    void rotateX(float angle);
    void rotateY(float angle);
    void rotateZ(float angle);

    // The same rotations with sine and cosine already rounded to float, for
    // loops that turn many points by one angle.
    void rotateX(float s, float c);
    void rotateY(float s, float c);
    void rotateZ(float s, float c);
};

// sin and cos of a float angle, each computed in double and rounded to float.
void sinCos(float angle, float& s, float& c);

namespace vec3detail {
// a*b + c*d in double, rounded once.
inline float sumOfProducts(float a, float b, float c, float d) {
    return static_cast<float>(static_cast<double>(a) * b + static_cast<double>(c) * d);
}
}  // namespace vec3detail

inline void Vec3::rotateX(float s, float c) {
    const float oy = y, oz = z;
    y = vec3detail::sumOfProducts(c, oy, -s, oz);
    z = vec3detail::sumOfProducts(s, oy, c, oz);
}

inline void Vec3::rotateY(float s, float c) {
    const float ox = x, oz = z;
    x = vec3detail::sumOfProducts(c, ox, s, oz);
    z = vec3detail::sumOfProducts(-s, ox, c, oz);
}

inline void Vec3::rotateZ(float s, float c) {
    const float ox = x, oy = y;
    x = vec3detail::sumOfProducts(c, ox, -s, oy);
    y = vec3detail::sumOfProducts(s, ox, c, oy);
}

Vec3 operator+(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a, const Vec3& b);
Vec3 operator*(const Vec3& a, float s);
// Multiplies by the float reciprocal of s (one division, three products).
Vec3 operator/(const Vec3& a, float s);

float dot(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
Vec3 midpoint(const Vec3& a, const Vec3& b);
float length(const Vec3& v);

// Angles that turn n onto +Z: rotateX(angleX) first, then rotateY(angleY).
void zAlignAngles(const Vec3& n, float& angleX, float& angleY);

// The single-precision pi used for every angle of the system.
constexpr float kPi = 3.1415927f;
