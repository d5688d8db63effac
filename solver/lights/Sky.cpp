#include "Sky.h"

#include <algorithm>
#include <cmath>

void Sky::radiance(const double d[3], double out[3]) const {
    if (image.rgb.empty()) {
        for (int k = 0; k < 3; ++k) out[k] = uniform[k];
        return;
    }
    constexpr double kPi = 3.14159265358979323846;
    // In Blender's frame: x = d.x, y = -d.z, z = d.y.
    const double bx = d[0], by = -d[2], bz = d[1];
    const double u = 0.5 - std::atan2(by, bx) / (2.0 * kPi);
    const double v = 0.5 + std::asin(std::clamp(bz, -1.0, 1.0)) / kPi;  // 1 straight up
    const int column = std::clamp(static_cast<int>(u * image.wide), 0, image.wide - 1);
    const int row = std::clamp(static_cast<int>((1.0 - v) * image.high), 0, image.high - 1);
    const float* texel = image.at(column, row);
    for (int k = 0; k < 3; ++k) out[k] = texel[k];
}
