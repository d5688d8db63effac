#include <gtest/gtest.h>

#include <cstdint>

#include "TextureLayout.h"
#include "Texture.h"

namespace {

int byteOf(std::uint32_t v, int shift) { return static_cast<int>((v >> shift) & 0xFF); }

int painted(const Texture& t) {
    int n = 0;
    for (std::uint32_t v : t.texels) n += isPainted(v);
    return n;
}

}  // namespace

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

TEST(Texture, EdgesPaintOneTexelPerRow) {
    const Color red(1, 0, 0, 1), blue(0, 0, 1, 1);
    for (int reversed = 0; reversed < 2; ++reversed) {
        Texture t(8, 8);
        if (reversed) {
            drawEdge(t, 5, 5, blue, 1, 1, red);
        } else {
            drawEdge(t, 1, 1, red, 5, 5, blue);
        }
        EXPECT_EQ(painted(t), 5);
        EXPECT_EQ(t.at(1, 1), 0xFFFF0000u);
        EXPECT_EQ(t.at(2, 2), 0xFFBF003Fu);  // t = 0.25: 191.25 and 63.75
        EXPECT_EQ(t.at(3, 3), 0xFF7F007Fu);  // t = 0.5
        EXPECT_EQ(t.at(5, 5), 0xFF0000FFu);
    }
    // A steep edge: x advances 0.5 a row and truncates.
    Texture steep(8, 8);
    drawEdge(steep, 0, 0, red, 2, 4, red);
    EXPECT_EQ(painted(steep), 5);
    for (int y = 0; y <= 4; ++y) EXPECT_TRUE(isPainted(steep.at(y / 2, y))) << y;
    // Both ends in one row: only the first end's texel, in its colour.
    Texture flat(8, 8);
    drawEdge(flat, 3, 2, red, 6, 2, blue);
    EXPECT_EQ(painted(flat), 1);
    EXPECT_EQ(flat.at(3, 2), 0xFFFF0000u);
    Texture point(1, 1);
    drawEdge(point, 0, 0, blue, 0, 0, blue);
    EXPECT_EQ(point.at(0, 0), 0xFF0000FFu);
}

TEST(Texture, FillsSpreadALoneTexel) {
    const std::uint32_t c = 0xFFC86432u;  // alpha 255, 200, 100, 50
    for (int x0 : {0, 4, 7}) {
        Texture t(8, 8);
        t.at(x0, 3) = c;
        fillRows(t);
        EXPECT_EQ(painted(t), 8) << x0;
        EXPECT_EQ(t.at(x0, 3), c);
        for (int x = 0; x < 8; ++x) {
            // Each byte is the texel's, or one less from the two truncated
            // weighted terms.
            for (int shift = 0; shift < 32; shift += 8) {
                EXPECT_LE(byteOf(t.at(x, 3), shift), byteOf(c, shift));
                EXPECT_GE(byteOf(t.at(x, 3), shift), byteOf(c, shift) - 1) << x0 << " " << x;
            }
        }
        fillColumns(t);
        EXPECT_EQ(painted(t), 64);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                EXPECT_GE(byteOf(t.at(x, y), 16), 198);
                EXPECT_LE(byteOf(t.at(x, y), 16), 200);
            }
        }
    }
    // Two texels in a row: the gap between them is blended linearly.
    Texture two(9, 1);
    two.at(0, 0) = 0xFF000000u;
    two.at(8, 0) = 0xFFFF0000u | 0x80u;
    fillRows(two);
    // Alpha is weighted too: 127 + 127 and 191 + 63 make 254.
    EXPECT_EQ(two.at(4, 0), 0xFE7F0040u);  // weights 0.5 and 0.5
    EXPECT_EQ(two.at(2, 0), 0xFE3F0020u);  // weights 0.75 and 0.25
    EXPECT_EQ(two.at(8, 0), 0xFFFF0080u);
    // Nothing painted: the fills and the filter leave every texel at 0.
    Texture empty(16, 16);
    fillRows(empty);
    fillColumns(empty);
    boxBlur(empty, 10);
    for (std::uint32_t v : empty.texels) EXPECT_EQ(v, 0u);
}

TEST(Texture, BoxBlurShrinksAtTheBorders) {
    // One row of 25: a texel of 110 in column 0 is averaged over 11 texels at
    // column 0, 21 at column 10 and not reached from column 11 on.
    Texture row(25, 1);
    row.at(0, 0) = 0x6E6E6E6Eu;
    boxBlur(row, 10);
    EXPECT_EQ(row.at(0, 0), 0x0A0A0A0Au);    // 110 / 11 = 10
    EXPECT_EQ(row.at(10, 0), 0x05050505u);   // 110 / 21 = 5.2
    EXPECT_EQ(row.at(11, 0), 0u);
    EXPECT_EQ(row.at(24, 0), 0u);
    // A corner texel of 250 in a 25 x 25 texture.
    Texture square(25, 25);
    square.at(0, 0) = 0xFAFAFAFAu;
    boxBlur(square, 10);
    EXPECT_EQ(square.at(0, 0), 0x02020202u);    // 250 / 121 = 2.07
    EXPECT_EQ(square.at(1, 1), 0x01010101u);    // 250 / 144 = 1.74
    EXPECT_EQ(square.at(10, 0), 0x01010101u);   // 250 / 231 = 1.08
    EXPECT_EQ(square.at(10, 10), 0u);           // 250 / 441 = 0.57
    EXPECT_EQ(square.at(11, 0), 0u);
    // A uniform texture stays uniform up to the truncation of the average.
    Texture uniform(30, 30);
    for (std::uint32_t& v : uniform.texels) v = 0xFF804020u;
    boxBlur(uniform, 10);
    for (std::uint32_t v : uniform.texels) {
        EXPECT_GE(byteOf(v, 24), 254);
        EXPECT_GE(byteOf(v, 16), 127);
        EXPECT_LE(byteOf(v, 16), 128);
    }
}
