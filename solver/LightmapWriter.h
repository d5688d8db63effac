#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "FileIO.h"
#include "GrowArray.h"
#include "PatchGroup.h"
#include "Tri.h"

// Lays out one texture per input patch and writes the scene file.
//
// Layout: each patch is turned into a plane of constant z (zAlignAngles of
// its normal) and its bounding box is mapped onto columns and rows
// 0.1..0.9 of its texture. Baking: the element centres of the patch's own
// groups and of its co-planar neighbours' groups are mapped the same way,
// joined by a Delaunay triangulation whose edges are drawn as colour
// gradients, then the gaps are filled along rows and columns and the result
// is box-blurred.
struct LightmapWriter {
    // Writes the patch count at once, then lays out every texture.
    LightmapWriter(std::FILE* file, const std::vector<Tri>& patches, int numPatches, int textSize,
                   int textHigh, float largestPatchArea, const std::vector<GrowArray<int>>& neighbors,
                   const std::string& fileName);

    // Appends one record per patch; throws GlowbakeError when a write fails.
    void writeScene(const GrowArray<PatchGroup*>& groups);

    // Texture size of a patch of area a, given the largest area and the
    // configured size: a power of two of at least 4, or the configured size
    // unchanged for the largest patch.
    static int textureSide(float area, float largestPatchArea, int baseSide);

    std::FILE* file;
    std::string fileName;
    float largestPatchArea;
    int baseWide;
    int baseHigh;
    const std::vector<Tri>& patches;
    int numPatches;
    std::vector<float> angleX, angleY, offsetX, offsetY, scaleX, scaleY;
    std::vector<int> anchorU[3], anchorV[3];
    std::vector<int> textHigh, textWide;
    const std::vector<GrowArray<int>>& neighbors;
    FileIO fileIO;
};

// Texture bytes the largest of the solver's textures can need at once (the
// texture, its blur copy and the blur's sums), for a given texture size.
double textureMemoryBytes(long long textSize);
