#pragma once

#include "Vec3.h"

// A triangle owning its three corners v0, v1, v2.
//
// Its front is the side its normal, normalise((v2 - v0) x (v1 - v0)), points
// to: the side from which the corners run clockwise.
struct Tri {
    Vec3 vertices[3];
    // Half-width of the box in which two corners count as shared by the
    // co-planar neighbour test.
    float vertexTolerance = 2.0f;

    Tri() = default;
    Tri(const Vec3& v0, const Vec3& v1, const Vec3& v2) : vertices{v0, v1, v2} {}

    void setVertices(const Vec3& v0, const Vec3& v1, const Vec3& v2);
    Tri clone() const { return Tri(vertices[0], vertices[1], vertices[2]); }

    // The (v2 - v0) x (v1 - v0) product that the normal and area share.
    Vec3 crossProduct() const;
    // Unit normal; the zero vector for a degenerate triangle.
    Vec3 normal() const;
    float area() const;
    // True when the triangle has no area and so no direction.
    bool isDegenerate() const;
    Vec3 centroid() const;

    void translate(const Vec3& d);
    void rotateX(float angle);
    void rotateY(float angle);
    void rotateZ(float angle);
};
