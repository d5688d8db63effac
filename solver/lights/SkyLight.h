#pragma once

#include <cstdint>

#include "RayEngine.h"

// The share of a point's cosine-weighted hemisphere (unit normal n) from
// which rays leave the scene: the light arriving from a uniform sky of
// radiance L is L times it. `rays` stratified directions, turned by `key`,
// from x lifted `offset` off its surface.
double skyShare(const RayEngine& engine, const double x[3], const double n[3], double offset, std::uint64_t key,
                int rays);
