#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A texture as an image a glTF file can hold: PNG and JPEG files as they
// are, every other format stb_image decodes (BMP, TGA, ...) decoded and
// written as an RGB PNG. Read only images whose mean could be taken
// (TextureMean), so that their size claims have been checked.
struct TextureImage {
    std::vector<std::uint8_t> bytes;  // empty when the image cannot be decoded or encoded
    std::string mimeType;             // "image/png" or "image/jpeg"
};

// An image file's bytes held in memory.
TextureImage textureImageOf(const unsigned char* bytes, std::size_t size);
// An image file.
TextureImage textureImageOfFile(const std::string& path);
// Raw texels, 8 bits a channel in the order blue, green, red, alpha.
TextureImage textureImageOfBgra(const unsigned char* texels, int wide, int high);
