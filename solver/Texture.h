#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Color.h"

// A baked texture: H rows of W packed colours 0xAARRGGBB, texel (x, y) at
// y * W + x. A texel is painted when its alpha byte is not 0. These are pure
// operations on the buffer, with no solver state.
struct Texture {
    int wide = 0;
    int high = 0;
    std::vector<std::uint32_t> texels;

    Texture(int w, int h) : wide(w), high(h), texels(static_cast<size_t>(w) * h, 0u) {}
    std::uint32_t& at(int x, int y) { return texels[static_cast<size_t>(y) * wide + x]; }
    std::uint32_t at(int x, int y) const { return texels[static_cast<size_t>(y) * wide + x]; }
};

inline bool isPainted(std::uint32_t texel) { return (texel >> 24) != 0; }

// trunc(channel * 255 * weight) for r, g, b; alpha trunc(a * 255), unweighted.
std::uint32_t packScaled(const Color& c, float weight);
// Every byte, alpha included, becomes trunc(byte * weight).
std::uint32_t scalePacked(std::uint32_t packed, float weight);
// Byte-wise sum capped at 255.
std::uint32_t addSaturate(std::uint32_t a, std::uint32_t b);

// A gradient from (x0, y0) in c0 to (x1, y1) in c1, one texel per row.
void drawEdge(Texture& tex, int x0, int y0, const Color& c0, int x1, int y1, const Color& c1);
// Gaps along every row are blended between the painted texels around them;
// the ends take the colour of the nearest painted texel. Empty rows stay.
void fillRows(Texture& tex);
// The same along every column.
void fillColumns(Texture& tex);
// Average of each byte over the (2r+1)^2 window, shrunk at the borders.
void boxBlur(Texture& tex, int radius);
