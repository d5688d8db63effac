#pragma once

#include <string>

#include "Color.h"
#include "Tri.h"

// An area lamp as Blender and Cycles have it: a flat rectangle (a
// parallelogram once transformed) that emits from the one side it faces,
// uniformly, and reflects nothing. The solver takes it as an emitting
// surface of two triangles.
struct AreaLight {
    std::string name;
    double corners[4][3] = {};                // in order around the rectangle, in the model's coordinates
    double direction[3] = {0.0, 0.0, -1.0};  // the side it lights (any length, off the plane)
    double power[3] = {0.0, 0.0, 0.0};       // its colour times its power in watts
};

// The rectangle's area; 0 when its corners do not span one.
double areaLightArea(const AreaLight& light);

// The radiance of its lit side: Cycles renders an area lamp of power P watts
// and area A with radiance P / (4 A) per unit of colour (not P / (pi A), the
// radiance of a Lambertian surface emitting P in all).
Color areaLightRadiance(const AreaLight& light);

// True when its corners, finite as floats, span a rectangle of some area
// (one whose inverse is finite), one side of which its direction picks out.
bool areaLightHasSize(const AreaLight& light);

// Why its power cannot be used (negative or not finite, or so large that
// its radiance is not a finite float), or empty.
std::string areaLightProblem(const AreaLight& light);

// Its two triangles, each with its lit side (Tri's front) the side the light
// faces.
void areaLightTriangles(const AreaLight& light, Tri out[2]);
