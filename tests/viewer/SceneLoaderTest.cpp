#include <gtest/gtest.h>

#include <vector>

#include "SceneLoader.h"

TEST(SceneLoader, ReordersStoredTexelsToRgba) {
    // Stored as alpha, red, green, blue; the GL takes red, green, blue, alpha.
    std::vector<unsigned char> texels = {0xFF, 0x10, 0x20, 0x30, 0x80, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x00};
    reorderTexels(texels.data(), 3);
    const std::vector<unsigned char> expected = {0x10, 0x20, 0x30, 0xFF, 0x01, 0x02, 0x03, 0x80, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(texels, expected);

    // Only the given count is touched.
    std::vector<unsigned char> partial = {0xAA, 1, 2, 3, 0xBB, 4, 5, 6};
    reorderTexels(partial.data(), 1);
    EXPECT_EQ(partial, (std::vector<unsigned char>{1, 2, 3, 0xAA, 0xBB, 4, 5, 6}));
}
