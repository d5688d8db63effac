#include "TextureImage.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include <stb_image.h>

#include "ImageEncoding.h"

namespace {

TextureImage png(int wide, int high, const std::vector<std::uint8_t>& rgb) {
    TextureImage image;
    image.bytes = encodePng(wide, high, rgb);
    if (!image.bytes.empty()) image.mimeType = "image/png";
    return image;
}

}  // namespace

TextureImage textureImageOf(const unsigned char* bytes, std::size_t size) {
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    TextureImage image;
    if (size >= 8 && std::memcmp(bytes, pngSignature, 8) == 0) image.mimeType = "image/png";
    if (size >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff) image.mimeType = "image/jpeg";
    if (!image.mimeType.empty()) {
        image.bytes.assign(bytes, bytes + size);
        return image;
    }
    if (size > 0x7fffffff) return image;
    int wide = 0, high = 0, channels = 0;
    unsigned char* texels = stbi_load_from_memory(bytes, static_cast<int>(size), &wide, &high, &channels, 3);
    if (!texels) return image;
    const std::vector<std::uint8_t> rgb(texels, texels + static_cast<std::size_t>(wide) * high * 3);
    stbi_image_free(texels);
    return png(wide, high, rgb);
}

TextureImage textureImageOfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return TextureImage();
    return textureImageOf(bytes.data(), bytes.size());
}

TextureImage textureImageOfBgra(const unsigned char* texels, int wide, int high) {
    std::vector<std::uint8_t> rgb;
    const std::size_t count = static_cast<std::size_t>(wide) * high;
    rgb.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        rgb.push_back(texels[4 * i + 2]);
        rgb.push_back(texels[4 * i + 1]);
        rgb.push_back(texels[4 * i]);
    }
    return png(wide, high, rgb);
}
