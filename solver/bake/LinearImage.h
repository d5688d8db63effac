#pragma once

#include <cstddef>
#include <vector>

// An image of linear red, green and blue floats: `high` rows of `wide`
// texels, row 0 first, texel (x, y) at rgb[3 * (y * wide + x)].
struct LinearImage {
    int wide = 0;
    int high = 0;
    std::vector<float> rgb;

    LinearImage() = default;
    LinearImage(int w, int h) : wide(w), high(h), rgb(static_cast<size_t>(w) * h * 3, 0.0f) {}
    float* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * wide + x) * 3]; }
    const float* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * wide + x) * 3]; }
};
