#include "DisplayMapping.h"

#include <algorithm>
#include <cmath>

namespace {

// An 8 x 8 Bayer matrix: every threshold 0..63 once, neighbours far apart.
constexpr int kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

}  // namespace

void ExposureMeter::addElement(float elementArea, float r, float g, float b, bool emitting) {
    brightest = std::max({brightest, r, g, b});
    if (emitting || !(elementArea > 0.0f)) return;
    weightedLuminance += static_cast<double>(elementArea) * (0.2126 * r + 0.7152 * g + 0.0722 * b);
    area += elementArea;
}

double ExposureMeter::exposure(double stops) const {
    double base = 1.0;
    const double meanLuminance = area > 0.0 ? weightedLuminance / area : 0.0;
    if (meanLuminance > 0.0 && std::isfinite(meanLuminance)) {
        base = 0.18 / meanLuminance;
    } else if (brightest > 0.0f && std::isfinite(brightest)) {
        base = 1.0 / brightest;
    }
    return base * std::exp2(stops);
}

double srgbEncode(double linear) {
    if (linear <= 0.0031308) return 12.92 * linear;
    return 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

std::vector<std::uint8_t> displayBytes(const LinearImage& image, double exposure) {
    std::vector<std::uint8_t> bytes(static_cast<size_t>(image.wide) * image.high * 3);
    size_t i = 0;
    for (int y = 0; y < image.high; ++y) {
        for (int x = 0; x < image.wide; ++x) {
            // A threshold strictly inside (0, 1): 0 stays 0 and 1 stays 255,
            // and on average the bytes keep the unquantised value.
            const double threshold = (kBayer[y & 7][x & 7] + 0.5) / 64.0;
            const float* texel = image.at(x, y);
            for (int ch = 0; ch < 3; ++ch) {
                double v = static_cast<double>(texel[ch]) * exposure;
                v = std::isnan(v) ? 0.0 : std::min(std::max(v, 0.0), 1.0);
                const double level = std::floor(srgbEncode(v) * 255.0 + threshold);
                bytes[i++] = static_cast<std::uint8_t>(std::min(std::max(level, 0.0), 255.0));
            }
        }
    }
    return bytes;
}
