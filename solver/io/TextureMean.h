#pragma once

#include <cstddef>
#include <string>

#include "Color.h"

// The mean colour of an sRGB-encoded image (PNG, JPEG, BMP, TGA and the other
// formats stb_image decodes), each texel converted to linear light before
// averaging. Alpha is ignored. `ok` is false when the image cannot be
// decoded, and without decoding when its header claims more texels than its
// bytes can hold or than 16384 x 16384; `reason` then says why.
struct TextureMean {
    bool ok = false;
    Color mean;
    std::string reason;
};

// An image held in memory in one of the encoded formats.
TextureMean encodedTextureMean(const unsigned char* bytes, std::size_t size);
// An image file.
TextureMean textureFileMean(const std::string& path);
// Raw texels, 8 bits a channel in the order blue, green, red, alpha.
TextureMean bgraTextureMean(const unsigned char* texels, std::size_t count);

// The sRGB transfer function undone: 0..1 encoded to 0..1 linear.
double srgbToLinear(double encoded);
