#pragma once

#include <vector>

#include "Tri.h"

// Where one input patch lies in its own texture. The patch is turned into a
// plane of constant z (zAlignAngles of its normal, rotation about x, then
// y) and its bounding box there is mapped onto columns and rows 0.1..0.9 of
// the texture:
//   column = trunc(x * scaleX + offsetX), row = trunc(y * scaleY + offsetY)
// computed in double from the rotated corner and rounded once to int.
struct PatchLayout {
    int wide = 0;  // texture width in texels
    int high = 0;  // texture height in texels
    float angleX = 0.0f;
    float angleY = 0.0f;
    float scaleX = 0.0f;
    float scaleY = 0.0f;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    // Texel column and row of each corner, held inside the texture.
    int anchorU[3] = {0, 0, 0};
    int anchorV[3] = {0, 0, 0};
};

// Texture side of a patch of area `area`, given the largest patch area and
// the configured side: the configured side unchanged for the largest patch,
// otherwise a power of two of at least 4 that grows with the square root of
// the area ratio.
int textureSide(float area, float largestPatchArea, int baseSide);

// The layout of every patch, in patch order. `textSize` is the texture side
// of the largest patch (-t): typical 64; the textures of all patches grow
// with its square.
std::vector<PatchLayout> layoutTextures(const std::vector<Tri>& patches, int textSize, float largestPatchArea);

// A point of the patch's plane in texel coordinates, truncated toward zero
// and pinned to +-2^29 (far-away neighbour points can map far outside).
void texelOf(const PatchLayout& layout, const Vec3& rotated, int& column, int& row);

// Texture bytes the largest of the solver's textures can need at once (the
// texture, its blur copy and the blur's sums), for a given texture size.
double textureMemoryBytes(long long textSize);
