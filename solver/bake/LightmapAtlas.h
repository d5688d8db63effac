#pragma once

#include <vector>

#include "Atlas.h"
#include "DisplayMapping.h"
#include "LinearImage.h"
#include "Radiosity.h"
#include "TextureLayout.h"

// The lighting of a solved scene as floating-point atlases: every patch's
// texture baked with the same points, triangulation, edges, fills and blur
// as the scene file's textures, but from the linear radiosities (before
// gamma and normalisation, in the model's emission units), and placed in
// one atlas.

// Each patch's chart size, in patch order.
std::vector<ChartSize> chartSizes(const std::vector<PatchLayout>& layouts);

// The largest texture size below `textSize` whose charts fit in an atlas of
// kMaxAtlasSide a side, 0 when none does.
int largestFittingTextSize(const std::vector<Tri>& patches, float largestPatchArea, int textSize);

struct LightmapAtlases {
    LinearImage radiosity;   // linear radiosity B per texel
    LinearImage irradiance;  // light arriving, (B - E) / reflectance per channel; empty unless asked for
};

// Bakes the atlases of a solved Radiosity into `layout`'s places.
LightmapAtlases bakeAtlases(const Radiosity& radiosity, const std::vector<PatchLayout>& layouts,
                            const AtlasLayout& layout, bool withIrradiance);

// The automatic exposure's measure of a solved Radiosity: every element's
// area and linear radiosity, emitters marked by their patch's emission.
ExposureMeter meterElements(const Radiosity& radiosity);
