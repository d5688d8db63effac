#pragma once

#include <vector>

#include "Lamp.h"
#include "RayEngine.h"

// The light lamps send to a point of a surface, with shadows: what arrives
// from each lamp whose ray to the point is clear, in the solver's units.
struct LampLight {
    // Holds references to `lamps` and `engine`, which must outlive it.
    // `epsilon`: how far off its surface a point's shadow rays start.
    LampLight(const std::vector<Lamp>& lamps, const RayEngine& engine, double epsilon);

    // Adds the light of every lamp arriving at point x with unit normal n
    // (the lit side) to `sum`; returns the shadow rays cast.
    int add(const double x[3], const double n[3], double sum[3]) const;

    bool empty() const { return lamps.empty(); }

private:
    const std::vector<Lamp>& lamps;
    const RayEngine& engine;
    double epsilon;
};

// How much of a spot's light goes in a direction whose cosine to the spot's
// axis is `cosAngle`: 1 inside the inner cone, 0 outside the outer, and
// between them the square of a linear ramp in the cosine, as glTF's
// KHR_lights_punctual has it.
double spotFalloff(const Lamp& spot, double cosAngle);
// The window of a lamp's range at distance d: (1 - (d / range)^4) clamped to
// 0..1, as KHR_lights_punctual has it; 1 without a range.
double rangeWindow(const Lamp& lamp, double d);
