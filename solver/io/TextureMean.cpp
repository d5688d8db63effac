#include "TextureMean.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <stb_image.h>

double srgbToLinear(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

namespace {

// Texel bytes at `stride` apart, red, green and blue at the given offsets.
TextureMean meanOf(const unsigned char* texels, std::size_t count, int stride, int r, int g, int b) {
    TextureMean result;
    if (count == 0) {
        result.reason = "the image has no texels";
        return result;
    }
    double linear[256];
    for (int v = 0; v < 256; ++v) linear[v] = srgbToLinear(v / 255.0);
    double sum[3] = {0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* t = texels + i * stride;
        sum[0] += linear[t[r]];
        sum[1] += linear[t[g]];
        sum[2] += linear[t[b]];
    }
    const double n = static_cast<double>(count);
    result.mean = Color(static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                        static_cast<float>(sum[2] / n), 1.0f);
    result.ok = true;
    return result;
}

TextureMean decoded(unsigned char* pixels, int width, int height) {
    if (!pixels) {
        TextureMean failed;
        const char* why = stbi_failure_reason();
        failed.reason = why ? why : "cannot be decoded";
        return failed;
    }
    TextureMean result =
        meanOf(pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 3, 0, 1, 2);
    stbi_image_free(pixels);
    return result;
}

}  // namespace

TextureMean encodedTextureMean(const unsigned char* bytes, std::size_t size) {
    int width = 0, height = 0, channels = 0;
    if (size > 0x7fffffff) {
        TextureMean failed;
        failed.reason = "the image is larger than 2 GiB";
        return failed;
    }
    unsigned char* pixels =
        stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 3);
    return decoded(pixels, width, height);
}

TextureMean textureFileMean(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        TextureMean failed;
        failed.reason = std::strerror(errno);
        return failed;
    }
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load_from_file(file, &width, &height, &channels, 3);
    std::fclose(file);
    return decoded(pixels, width, height);
}

TextureMean bgraTextureMean(const unsigned char* texels, std::size_t count) {
    return meanOf(texels, count, 4, 2, 1, 0);
}
