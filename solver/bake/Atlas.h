#pragma once

#include <vector>

#include "LinearImage.h"

// Where every patch's texture (its chart) lies in one shared lightmap atlas.
//
// Each chart gets a ring of kAtlasRing texels of its own around it, each a
// copy of the chart's nearest edge texel, so that bilinear filtering at a
// chart's border reads only that chart's light: charts stand at least
// 2 * kAtlasRing texels apart.
constexpr int kAtlasRing = 2;
// Larger atlases are refused: many engines and viewers cannot load them.
constexpr int kMaxAtlasSide = 16384;

struct ChartSize {
    int wide = 0;
    int high = 0;
};

struct AtlasLayout {
    int wide = 0;  // atlas width in texels
    int high = 0;  // atlas height in texels
    // Per chart, the atlas column and row of its texel (0, 0).
    std::vector<int> chartX;
    std::vector<int> chartY;
};

// Packs the charts with their rings into an atlas of at most maxSide texels
// a side, as close to square as a few tries find. False when they do not fit.
bool packAtlas(const std::vector<ChartSize>& charts, int maxSide, AtlasLayout& layout);

// Copies chart `index` (wide x high linear texels, row 0 first, three floats
// each) to its place in the atlas and fills its ring from its edge texels.
void placeChart(LinearImage& atlas, const AtlasLayout& layout, int index, const ChartSize& size,
                const float* chartRgb);
