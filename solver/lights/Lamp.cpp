#include "Lamp.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Lumens per watt in the photometric units Blender's exporter writes.
constexpr double kLumensPerWatt = 683.0;

bool finite3(const double* v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

}  // namespace

const char* lampKindName(LampKind kind) {
    switch (kind) {
        case LampKind::Point: return "point";
        case LampKind::Spot: return "spot";
        case LampKind::Directional: return "directional";
    }
    return "lamp";
}

void convertLampUnits(std::vector<Lamp>& lamps, LampUnits units) {
    for (Lamp& lamp : lamps) {
        // Radiometric first: W/sr for points and spots, W/m^2 for suns.
        double scale = 1.0;
        if (units == LampUnits::Standard) scale = 1.0 / kLumensPerWatt;
        if (units == LampUnits::Raw && lamp.kind != LampKind::Directional) scale = 1.0 / (4.0 * kPi);
        // A surface's radiance, which Glowbake's values are, is its
        // irradiance times its reflectance over pi: light arriving is
        // irradiance / pi.
        scale /= kPi;
        for (double& c : lamp.intensity) c *= scale;
    }
}

std::string lampProblem(const Lamp& lamp) {
    if (!finite3(lamp.intensity)) return "its intensity is not finite";
    if (lamp.intensity[0] < 0.0 || lamp.intensity[1] < 0.0 || lamp.intensity[2] < 0.0)
        return "its intensity is negative";
    if (!finite3(lamp.position)) return "its position is not finite";
    const double d = std::sqrt(lamp.direction[0] * lamp.direction[0] + lamp.direction[1] * lamp.direction[1] +
                               lamp.direction[2] * lamp.direction[2]);
    if (lamp.kind != LampKind::Point && !(std::isfinite(d) && d > 0.0)) return "it has no direction";
    if (!(std::isfinite(lamp.range) && lamp.range >= 0.0)) return "its range is negative or not finite";
    if (lamp.kind == LampKind::Spot) {
        if (!(lamp.innerCone >= 0.0 && lamp.outerCone <= kPi / 2 + 1e-9))
            return "its cone angles are not between 0 and pi/2";
        if (!(lamp.outerCone > lamp.innerCone)) return "its outer cone angle is not larger than its inner one";
    }
    return "";
}
