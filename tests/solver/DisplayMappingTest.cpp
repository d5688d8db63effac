#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "DisplayMapping.h"

TEST(DisplayMapping, AutomaticExposure) {
    ExposureMeter meter;
    // Luminance of pure red, green, blue: the Rec. 709 weights.
    meter.addElement(1.0f, 1.0f, 0.0f, 0.0f, false);  // 0.2126
    meter.addElement(3.0f, 0.0f, 1.0f, 0.0f, false);  // 0.7152
    meter.addElement(50.0f, 40.0f, 40.0f, 40.0f, true);  // the lamp does not count
    const double mean = (1.0 * 0.2126 + 3.0 * 0.7152) / 4.0;
    EXPECT_NEAR(meter.exposure(0.0), 0.18 / mean, 1e-9);
    EXPECT_NEAR(meter.exposure(1.0), 2 * 0.18 / mean, 1e-9);
    EXPECT_NEAR(meter.exposure(-2.0), 0.25 * 0.18 / mean, 1e-9);

    // Only the emitters are lit: the brightest component maps to 1.
    ExposureMeter dark;
    dark.addElement(1.0f, 0.0f, 0.0f, 0.0f, false);
    dark.addElement(1.0f, 4.0f, 8.0f, 2.0f, true);
    EXPECT_NEAR(dark.exposure(0.0), 1.0 / 8.0, 1e-12);
    // Nothing has light at all.
    EXPECT_EQ(ExposureMeter().exposure(0.0), 1.0);
}

TEST(DisplayMapping, SrgbBytesWithAnUnbiasedDither) {
    // Reference values of the sRGB transfer function.
    EXPECT_DOUBLE_EQ(srgbEncode(0.0), 0.0);
    EXPECT_NEAR(srgbEncode(1.0), 1.0, 1e-12);
    EXPECT_NEAR(srgbEncode(0.18), 0.46135612950044164, 1e-12);
    EXPECT_NEAR(srgbEncode(0.5), 0.7353569830524495, 1e-12);
    EXPECT_NEAR(srgbEncode(0.0031308), 0.0031308 * 12.92, 1e-6);  // both pieces meet

    // A flat value between two levels: every byte is one of its two neighbours
    // and their mean over the 8 x 8 dither tile is the value itself.
    const double exposure = 2.0;
    for (double linear : {0.0, 0.001, 0.09, 0.18, 0.3, 0.49, 0.5, 0.8, 3.0}) {
        SCOPED_TRACE(linear);
        LinearImage image(8, 8);
        for (float& v : image.rgb) v = static_cast<float>(linear);
        const std::vector<std::uint8_t> bytes = displayBytes(image, exposure);
        const double target = srgbEncode(std::min(linear * exposure, 1.0)) * 255.0;
        double sum = 0.0;
        for (std::uint8_t b : bytes) {
            EXPECT_GE(b, std::floor(target) - 1e-9);
            EXPECT_LE(b, std::ceil(target) + 1e-9);
            sum += b;
        }
        EXPECT_NEAR(sum / bytes.size(), target, 1.0 / 64 + 1e-9);
    }

    // A slow ramp spanning two levels over 64 texels has no band: the mean
    // byte of every 8 x 8 tile follows the ramp instead of stepping.
    LinearImage ramp(64, 8);
    const double lo = 100.5 / 255.0, hi = 102.5 / 255.0;  // display values
    for (int x = 0; x < 64; ++x) {
        const double display = lo + (hi - lo) * (x + 0.5) / 64.0;
        // Undo the transfer function so that the picture is the ramp.
        const double linear = std::pow((display + 0.055) / 1.055, 2.4);
        for (int y = 0; y < 8; ++y)
            for (int ch = 0; ch < 3; ++ch) ramp.at(x, y)[ch] = static_cast<float>(linear);
    }
    const std::vector<std::uint8_t> bytes = displayBytes(ramp, 1.0);
    for (int tile = 0; tile < 8; ++tile) {
        double sum = 0.0, target = 0.0;
        for (int y = 0; y < 8; ++y) {
            for (int x = tile * 8; x < tile * 8 + 8; ++x) {
                sum += bytes[(static_cast<size_t>(y) * 64 + x) * 3];
                target += (lo + (hi - lo) * (x + 0.5) / 64.0) * 255.0;
            }
        }
        EXPECT_NEAR(sum / 64, target / 64, 0.1) << "tile " << tile;
    }
}
