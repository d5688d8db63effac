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

// Texels an image file of `bytes` bytes can hold at most. Every format the
// decoder reads spends at least a bit on 16384 texels (deflate's best is
// 1032 bytes from one, at 8 one-bit texels a byte; LZW, run lengths and
// JPEG's coefficients do worse), a BMP at least a bit on each (it is not
// compressed).
double texelsHeldBy(std::size_t bytes, bool bmp) { return static_cast<double>(bytes) * (bmp ? 8.0 : 16384.0); }

// The largest textures tools write (16384 a side); past it a size claim is
// a damaged header, and decoding it would cost gigabytes.
constexpr double kMaxTexels = 268435456.0;

// Why the size an image's header claims cannot be decoded, or "" when it
// can: more texels than its bytes can hold, or more than any texture has.
std::string claimedSizeProblem(int width, int height, std::size_t bytes, bool bmp) {
    const double texels = static_cast<double>(width) * static_cast<double>(height);
    const std::string claim = "it claims " + std::to_string(width) + " x " + std::to_string(height) + " texels";
    if (texels > texelsHeldBy(bytes, bmp))
        return claim + ", more than its " + std::to_string(bytes) + " bytes can hold";
    if (texels > kMaxTexels) return claim + ", more than the " + std::to_string(static_cast<long long>(kMaxTexels)) +
                                    " a texture may have";
    return "";
}

TextureMean refused(const std::string& reason) {
    TextureMean failed;
    failed.reason = reason;
    return failed;
}

bool isBmp(const unsigned char* start, std::size_t size) { return size >= 2 && start[0] == 'B' && start[1] == 'M'; }

}  // namespace

TextureMean encodedTextureMean(const unsigned char* bytes, std::size_t size) {
    int width = 0, height = 0, channels = 0;
    if (size > 0x7fffffff) {
        TextureMean failed;
        failed.reason = "the image is larger than 2 GiB";
        return failed;
    }
    if (stbi_info_from_memory(bytes, static_cast<int>(size), &width, &height, &channels)) {
        const std::string problem = claimedSizeProblem(width, height, size, isBmp(bytes, size));
        if (!problem.empty()) return refused(problem);
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
    unsigned char start[2] = {0, 0};
    const std::size_t got = std::fread(start, 1, 2, file);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    if (size >= 0 && stbi_info_from_file(file, &width, &height, &channels)) {
        const std::string problem =
            claimedSizeProblem(width, height, static_cast<std::size_t>(size), isBmp(start, got));
        if (!problem.empty()) {
            std::fclose(file);
            return refused(problem);
        }
    }
    unsigned char* pixels = stbi_load_from_file(file, &width, &height, &channels, 3);
    std::fclose(file);
    return decoded(pixels, width, height);
}

TextureMean bgraTextureMean(const unsigned char* texels, std::size_t count) {
    return meanOf(texels, count, 4, 2, 1, 0);
}
