#pragma once

#include <string>
#include <vector>

// A light that is not a surface: a point, a spot or a distant (sun) lamp,
// as glTF's KHR_lights_punctual and other formats describe them.
enum class LampKind { Point, Spot, Directional };

struct Lamp {
    LampKind kind = LampKind::Point;
    std::string name;
    double position[3] = {0, 0, 0};   // point and spot: where it is
    double direction[3] = {0, 0, -1}; // spot and directional: the way the light travels (unit)
    // Point and spot: the light arriving at a surface facing the lamp at
    // distance d is intensity / d^2; directional: the light arriving at a
    // surface facing it. "Light arriving" is in the solver's units, the
    // (B - E) / reflectance of an element, so it is irradiance / pi. The
    // importer gives the file's numbers; convertLampUnits makes these.
    double intensity[3] = {0, 0, 0};
    double range = 0.0;      // point and spot: beyond it no light; 0: unlimited
    double innerCone = 0.0;  // spot: half-angles in radians, 0 <= inner < outer <= pi/2
    double outerCone = 0.78539816339744830962;
};

const char* lampKindName(LampKind kind);

// How a file's lamp intensities are to be read. Blender's glTF exporter
// writes point and spot lamps as watts / (4 pi) x 683 (candela) and suns as
// W/m^2 x 683 (lux) by default (`Standard`); its "unitless" mode leaves out
// the 683 (`Unitless`); its "raw" mode writes Blender's own numbers, watts
// and W/m^2 (`Raw`). Files of other formats carry no units: read them as
// unitless.
enum class LampUnits { Standard, Unitless, Raw };

// Turns the file's intensities into the solver's, as Cycles renders the
// same lamps beside emissive surfaces of Glowbake's emission values.
void convertLampUnits(std::vector<Lamp>& lamps, LampUnits units);

// Why a lamp cannot be used (a negative or not finite intensity, a spot
// whose outer cone is narrower than its inner one, ...), or empty.
std::string lampProblem(const Lamp& lamp);
