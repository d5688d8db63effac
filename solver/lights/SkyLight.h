#pragma once

#include <cstdint>

#include "RayEngine.h"
#include "Sky.h"

// The light arriving at a point (unit normal n) from the sky: the mean of
// the sky's radiance over `rays` stratified cosine-distributed directions,
// turned by `key`, that leave the scene from x lifted `offset` off its
// surface (a direction that meets a patch brings none). Added to `sum`.
void addSkyLight(const RayEngine& engine, const Sky& sky, const double x[3], const double n[3], double offset,
                 std::uint64_t key, int rays, double sum[3]);
