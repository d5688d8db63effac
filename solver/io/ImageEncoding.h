#pragma once

#include <cstdint>
#include <vector>

#include "LinearImage.h"

// Image files made in memory, row 0 of the image as the first row of the
// file: the top row of a PNG, the first scanline of a Radiance file (-Y
// order), y = 0 of an OpenEXR file (increasing-y line order). Each returns an
// empty vector when the library could not encode the image.

// 8-bit RGB PNG of `rgb` (wide x high x 3 bytes).
std::vector<std::uint8_t> encodePng(int wide, int high, const std::vector<std::uint8_t>& rgb);
// Radiance RGBE (.hdr) of a linear image.
std::vector<std::uint8_t> encodeRadiance(const LinearImage& image);
// OpenEXR with 32-bit float R, G, B channels, ZIP-compressed scanlines.
std::vector<std::uint8_t> encodeExr(const LinearImage& image);
