#include "Vec3.h"

#include <cmath>

using vec3detail::sumOfProducts;

void sinCos(float angle, float& s, float& c) {
    s = static_cast<float>(std::sin(static_cast<double>(angle)));
    c = static_cast<float>(std::cos(static_cast<double>(angle)));
}

Vec3& Vec3::operator+=(const Vec3& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
}

void Vec3::rotateX(float angle) {
    float s, c;
    sinCos(angle, s, c);
    rotateX(s, c);
}

void Vec3::rotateY(float angle) {
    float s, c;
    sinCos(angle, s, c);
    rotateY(s, c);
}

void Vec3::rotateZ(float angle) {
    float s, c;
    sinCos(angle, s, c);
    rotateZ(s, c);
}

Vec3 operator+(const Vec3& a, const Vec3& b) {
    Vec3 returnVert(a.x + b.x, a.y + b.y, a.z + b.z);
    return returnVert;
}

Vec3 operator-(const Vec3& a, const Vec3& b) {
    Vec3 returnVert(a.x - b.x, a.y - b.y, a.z - b.z);
    return returnVert;
}

Vec3 operator*(const Vec3& a, float s) {
    Vec3 returnVert(s * a.x, s * a.y, s * a.z);
    return returnVert;
}

Vec3 operator/(const Vec3& a, float s) {
    const float r = 1.0f / s;
    Vec3 returnVert(a.x * r, a.y * r, a.z * r);
    return returnVert;
}

float dot(const Vec3& a, const Vec3& b) {
    return static_cast<float>(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                              static_cast<double>(a.z) * b.z);
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    Vec3 returnVert(sumOfProducts(a.y, b.z, -a.z, b.y), sumOfProducts(a.z, b.x, -a.x, b.z),
                    sumOfProducts(a.x, b.y, -a.y, b.x));
    return returnVert;
}

Vec3 midpoint(const Vec3& a, const Vec3& b) { return (a + b) * 0.5f; }

float length(const Vec3& v) {
    const float sumSq = static_cast<float>(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                                           static_cast<double>(v.z) * v.z);
    return static_cast<float>(std::sqrt(static_cast<double>(sumSq)));
}

void zAlignAngles(const Vec3& n, float& angleX, float& angleY) {
    const float halfPi = kPi * 0.5f;
    Vec3 tempNorm = n;
    if (tempNorm.z != 0.0f) {
        const float q = tempNorm.y / tempNorm.z;
        angleX = static_cast<float>(std::atan(static_cast<double>(q)));
        if (tempNorm.z < 0.0f) angleX = angleX + kPi;
    } else {
        angleX = tempNorm.y > 0.0f ? halfPi : -halfPi;
    }
    tempNorm.rotateX(angleX);
    if (tempNorm.z != 0.0f) {
        const float q = tempNorm.x / tempNorm.z;
        angleY = -static_cast<float>(std::atan(static_cast<double>(q)));
        if (tempNorm.z < 0.0f) angleY = angleY + kPi;
    } else {
        angleY = tempNorm.x > 0.0f ? -halfPi : halfPi;
    }
}
