#pragma once

#include "LinearImage.h"

// What lies beyond the scene: a uniform radiance, or an equirectangular
// environment image of linear radiances. Directions that leave the scene
// bring it.
//
// The image is mapped as Blender maps a world texture (an Environment
// Texture with its default mapping), in the file's +Y-up frame (Blender's
// (x, y, z) is (x, -z, y) here): its left and right edges look along -X, a
// quarter of the way across along -Z, its middle column along +X, three
// quarters across along +Z; its top row looks straight up, its bottom row
// straight down. scenes/sky's cards lit in Cycles agree.
struct Sky {
    float uniform[3] = {0.0f, 0.0f, 0.0f};  // used when there is no image
    LinearImage image;                      // empty: the uniform radiance

    bool empty() const {
        return image.rgb.empty() && !(uniform[0] > 0.0f || uniform[1] > 0.0f || uniform[2] > 0.0f);
    }
    // The radiance arriving from unit direction d (nearest texel).
    void radiance(const double d[3], double out[3]) const;
};
