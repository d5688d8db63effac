#include "Tri.h"

void Tri::setVertices(const Vec3& v0, const Vec3& v1, const Vec3& v2) {
    vertices[0] = v0;
    vertices[1] = v1;
    vertices[2] = v2;
}

Vec3 Tri::crossProduct() const {
    const Vec3 v = vertices[2] - vertices[0];
    const Vec3 w = vertices[1] - vertices[0];
    return cross(v, w);
}

Vec3 Tri::normal() const {
    const Vec3 normal = crossProduct();
    const float len = length(normal);
    // A degenerate triangle has no direction; dividing by its zero length
    // would spread NaN through every caller.
    if (len == 0.0f) return Vec3();
    return normal / len;
}

float Tri::area() const { return length(crossProduct()) * 0.5f; }

bool Tri::isDegenerate() const { return length(crossProduct()) == 0.0f; }

Vec3 Tri::centroid() const { return ((vertices[0] + vertices[1]) + vertices[2]) * 0.33333334f; }

void Tri::translate(const Vec3& d) {
    for (Vec3& v : vertices) v += d;
}

void Tri::rotateX(float angle) {
    float s, c;
    sinCos(angle, s, c);
    for (Vec3& v : vertices) v.rotateX(s, c);
}

void Tri::rotateY(float angle) {
    float s, c;
    sinCos(angle, s, c);
    for (Vec3& v : vertices) v.rotateY(s, c);
}

void Tri::rotateZ(float angle) {
    float s, c;
    sinCos(angle, s, c);
    for (Vec3& v : vertices) v.rotateZ(s, c);
}
