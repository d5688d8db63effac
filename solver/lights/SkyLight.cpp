#include "SkyLight.h"

#include <limits>

#include "SamplePattern.h"

void addSkyLight(const RayEngine& engine, const Sky& sky, const double x[3], const double n[3], double offset,
                 std::uint64_t key, int rays, double sum[3]) {
    double t[3], b[3];
    samples::frameAbout(n, t, b);
    const double shiftU = samples::unitFromBits(samples::mixBits(key ^ 0x5bd1e995ULL));
    const double shiftV = samples::unitFromBits(samples::mixBits(key ^ 0x27d4eb2fULL));
    const float origin[3] = {static_cast<float>(x[0] + n[0] * offset), static_cast<float>(x[1] + n[1] * offset),
                             static_cast<float>(x[2] + n[2] * offset)};
    double acc[3] = {0, 0, 0};
    for (int i = 0; i < rays; ++i) {
        double u, v, dx, dy, dz;
        samples::hammersley(i, rays, shiftU, shiftV, u, v);
        samples::cosineDirection(u, v, dx, dy, dz);
        const double d[3] = {dx * t[0] + dy * b[0] + dz * n[0], dx * t[1] + dy * b[1] + dz * n[1],
                             dx * t[2] + dy * b[2] + dz * n[2]};
        const float dir[3] = {static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2])};
        if (!engine.segmentClear(origin, dir, 0.0f, std::numeric_limits<float>::infinity())) continue;
        double l[3];
        sky.radiance(d, l);
        for (int k = 0; k < 3; ++k) acc[k] += l[k];
    }
    if (rays > 0)
        for (int k = 0; k < 3; ++k) sum[k] += acc[k] / rays;
}
