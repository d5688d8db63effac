#include "LampLight.h"

#include <algorithm>
#include <cmath>
#include <limits>

LampLight::LampLight(const std::vector<Lamp>& l, const RayEngine& e, double eps) : lamps(l), engine(e), epsilon(eps) {}

double spotFalloff(const Lamp& spot, double cosAngle) {
    const double cosOuter = std::cos(spot.outerCone), cosInner = std::cos(spot.innerCone);
    const double scale = 1.0 / std::max(0.001, cosInner - cosOuter);
    const double t = std::clamp((cosAngle - cosOuter) * scale, 0.0, 1.0);
    return t * t;
}

double rangeWindow(const Lamp& lamp, double d) {
    if (!(lamp.range > 0.0)) return 1.0;
    const double q = d / lamp.range;
    return std::clamp(1.0 - q * q * q * q, 0.0, 1.0);
}

int LampLight::add(const double x[3], const double n[3], double sum[3]) const {
    int rays = 0;
    const float origin[3] = {static_cast<float>(x[0] + n[0] * epsilon), static_cast<float>(x[1] + n[1] * epsilon),
                             static_cast<float>(x[2] + n[2] * epsilon)};
    for (const Lamp& lamp : lamps) {
        double toLamp[3], distance = std::numeric_limits<double>::infinity(), weight = 1.0;
        if (lamp.kind == LampKind::Directional) {
            for (int k = 0; k < 3; ++k) toLamp[k] = -lamp.direction[k];
        } else {
            for (int k = 0; k < 3; ++k) toLamp[k] = lamp.position[k] - x[k];
            distance = std::sqrt(toLamp[0] * toLamp[0] + toLamp[1] * toLamp[1] + toLamp[2] * toLamp[2]);
            if (!(distance > 0.0)) continue;
            for (double& c : toLamp) c /= distance;
            weight = rangeWindow(lamp, distance) / (distance * distance);
            if (lamp.kind == LampKind::Spot) {
                const double c = -(toLamp[0] * lamp.direction[0] + toLamp[1] * lamp.direction[1] +
                                   toLamp[2] * lamp.direction[2]);
                weight *= spotFalloff(lamp, c);
            }
        }
        const double cosine = toLamp[0] * n[0] + toLamp[1] * n[1] + toLamp[2] * n[2];
        if (!(cosine > 0.0) || !(weight > 0.0)) continue;
        const float dir[3] = {static_cast<float>(toLamp[0]), static_cast<float>(toLamp[1]),
                              static_cast<float>(toLamp[2])};
        const float far = std::isfinite(distance) ? static_cast<float>(distance - epsilon)
                                                  : std::numeric_limits<float>::infinity();
        ++rays;
        if (!engine.segmentClear(origin, dir, 0.0f, far)) continue;
        for (int k = 0; k < 3; ++k) sum[k] += lamp.intensity[k] * weight * cosine;
    }
    return rays;
}
