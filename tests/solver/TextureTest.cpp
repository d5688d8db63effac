#include <gtest/gtest.h>

#include <cstdint>

#include "TextureLayout.h"
#include "Texture.h"

// The byte bake itself (edges, row and column fills, the box blur) is held
// byte for byte by the golden scenes, whose every patch goes through all of
// it (the scene file tests bake textures of one to three texels). Left here
// is what those runs cannot reach: texture sizes of other textSizes, and
// colours outside 0..1.

TEST(Texture, SizesFollowTheAreaRule) {
    // textSize 64, largest area 4: s = sqrt(a) / 2, w = trunc(64 s), then the
    // power of two strictly above w, at least 4.
    EXPECT_EQ(textureSide(1.0f, 4.0f, 64), 64);      // s 0.5, w 32
    EXPECT_EQ(textureSide(0.04f, 4.0f, 64), 8);      // s 0.1, w 6
    EXPECT_EQ(textureSide(0.0004f, 4.0f, 64), 4);    // w 0 gives 1, raised to 4
    EXPECT_EQ(textureSide(0.25f, 4.0f, 64), 32);     // s 0.25, w 16 gives 32
    EXPECT_EQ(textureSide(3.9f, 4.0f, 64), 64);      // w 63
    // The largest patch (and any of equal area) keeps textSize as it is.
    EXPECT_EQ(textureSide(4.0f, 4.0f, 64), 64);
    EXPECT_EQ(textureSide(4.0f, 4.0f, 48), 48);
    EXPECT_EQ(textureSide(4.0f, 4.0f, 3), 3);
    EXPECT_EQ(textureSide(4.0f, 4.0f, 1), 1);
    EXPECT_EQ(textureSide(1.0f, 4.0f, 48), 32);      // w 24
}

TEST(Texture, PackedColourArithmetic) {
    EXPECT_EQ(packScaled(Color(1.0f, 0.0f, 0.5f, 1.0f), 1.0f), 0xFFFF007Fu);
    EXPECT_EQ(packScaled(Color(1.0f, 0.5f, 0.2f, 1.0f), 0.5f), 0xFF7F3F19u);  // 127.5, 63.75, 25.5
    EXPECT_EQ(packScaled(Color(1.0f, 1.0f, 1.0f, 1.0f), 0.0f), 0xFF000000u);  // alpha is not weighted
    // Out-of-range colours are held to the byte instead of spilling over.
    EXPECT_EQ(packScaled(Color(1.5f, -0.5f, 0.5f, 1.0f), 1.0f), 0xFFFF007Fu);
    EXPECT_EQ(scalePacked(0xFF804020u, 0.5f), 0x7F402010u);
    EXPECT_EQ(scalePacked(0x80808080u, 2.5f), 0xFFFFFFFFu);
    EXPECT_EQ(scalePacked(0xFFFFFFFFu, 0.0f), 0u);
    EXPECT_EQ(addSaturate(0x01020304u, 0x10203040u), 0x11223344u);
    EXPECT_EQ(addSaturate(0xF0F0F0F0u, 0x20202020u), 0xFFFFFFFFu);
    EXPECT_EQ(addSaturate(0xFF000000u, 0xFF0000FFu), 0xFF0000FFu);
}
