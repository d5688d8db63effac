#include "QualityPreset.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "TextureLayout.h"

namespace {

struct Level {
    int hemicube;
    double groups;
    double texels;
    int rays;
    double subdivide;  // fraction of the brightest light; 0: no restarts
};

Level levelOf(Quality q) {
    switch (q) {
        case Quality::Draft: return {64, 2000, 250000, 64, 0.0};
        case Quality::High: return {256, 30000, 4000000, 1024, 0.1};
        default: return {128, 8000, 1000000, 256, 0.25};
    }
}

}  // namespace

const char* qualityName(Quality quality) {
    switch (quality) {
        case Quality::Draft: return "draft";
        case Quality::Medium: return "medium";
        case Quality::High: return "high";
        case Quality::None: break;
    }
    return "none";
}

HemicubeTables makeHemicubeTables(int n) {
    HemicubeTables tables;
    tables.resolution = n;
    const int half = n / 2;
    const double d = 2.0 / n, pi = 3.14159265358979323846;
    for (int r = 0; r < half; ++r) {
        const double y = -1.0 + (r + 0.5) * d;
        for (int c = 0; c < half; ++c) {
            const double x = -1.0 + (c + 0.5) * d, q = x * x + y * y + 1.0;
            tables.topQuadrant.push_back(static_cast<float>(d * d / (pi * q * q)));
        }
    }
    for (int r = 0; r < half; ++r) {
        const double z = (r + 0.5) * d;
        for (int c = 0; c < half; ++c) {
            const double x = -1.0 + (c + 0.5) * d, q = x * x + z * z + 1.0;
            tables.sideQuadrant.push_back(static_cast<float>(z * d * d / (pi * q * q)));
        }
    }
    return tables;
}

QualityChoice chooseQuality(const Model& model, Quality quality) {
    const Level level = levelOf(quality);
    QualityChoice c;
    c.hemicubeResolution = level.hemicube;
    c.formFactorRays = level.rays;
    c.gatherRays = level.rays;
    c.gamma = 0.45f;

    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    double totalArea = 0.0;
    float largest = 0.0f;
    std::vector<double> areas;
    for (const Tri& t : model.patches) {
        for (const Vec3& v : t.vertices) {
            const double p[3] = {v.x, v.y, v.z};
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
        }
        const float a = t.area();
        areas.push_back(a);
        totalArea += a;
        largest = std::max(largest, a);
    }
    const double diagonal = std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                      (hi[2] - lo[2]) * (hi[2] - lo[2]));
    c.hemicubeWorldWide = static_cast<float>(std::max(1e-6, 0.01 * diagonal));
    // Groups beyond one per patch go where the area is: elements of a
    // quarter of the area a group would have if the groups were equal.
    const double groups = std::max(level.groups, static_cast<double>(model.patches.size()));
    c.maxPatchArea = static_cast<float>(std::max(1e-12, totalArea / (4.0 * groups)));

    double brightest = 0.0;
    for (const PatchColors& pc : model.colors)
        for (float e : {pc.emission.r, pc.emission.g, pc.emission.b}) brightest = std::max<double>(brightest, e);
    const double quarter = 0.25 * diagonal;
    for (const Lamp& lamp : model.lamps) {
        for (double e : lamp.intensity) {
            const double arriving = lamp.kind == LampKind::Directional ? e : e / std::max(1e-12, quarter * quarter);
            brightest = std::max(brightest, arriving);
        }
    }
    if (!(brightest > 0.0)) brightest = 1.0;
    c.iterThreshold = static_cast<float>(1e-3 * brightest);
    c.subDivideThreshold = static_cast<float>(level.subdivide > 0.0 ? level.subdivide * brightest : 1e30);

    // The largest -t whose textures stay within the texel budget.
    auto texels = [&](int side) {
        double sum = 0.0;
        for (double a : areas) {
            const int s = textureSide(static_cast<float>(a), largest, side);
            sum += static_cast<double>(s) * s;
        }
        return sum;
    };
    int lowSide = 4, highSide = 4096;
    if (texels(lowSide) > level.texels) highSide = lowSide;
    while (highSide - lowSide > 1) {
        const int mid = (lowSide + highSide) / 2;
        (texels(mid) <= level.texels ? lowSide : highSide) = mid;
    }
    c.textSize = lowSide;
    return c;
}
