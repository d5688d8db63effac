#include "TextureLayout.h"

#include <cmath>

namespace {

// A product-sum truncated toward zero, pinned to a range in which the
// integer conversion is defined.
int truncCoordinate(double v) {
    if (!(v > -536870912.0)) return v != v ? 0 : -536870912;
    if (!(v < 536870912.0)) return 536870912;
    return static_cast<int>(v);
}

int bitCount(int k) {
    int bits = 0;
    while (k > 0) {
        ++bits;
        k >>= 1;
    }
    return bits;
}

// Maps the interval [lo, hi] onto texels 0.1 x side .. 0.9 x side. A
// degenerate patch has no extent; it is mapped to a single texel column or
// row instead of dividing by zero.
void axisMapping(int side, float lo, float hi, float& scale, float& offset) {
    const float margin = static_cast<float>(side) * 0.1f;
    const double extent = static_cast<double>(hi) - static_cast<double>(lo);
    if (extent > 0.0 && std::isfinite(extent)) {
        scale = static_cast<float>((static_cast<double>(side) - 2.0 * margin) / extent);
        offset = static_cast<float>(static_cast<double>(margin) - static_cast<double>(lo) * scale);
    } else {
        scale = 0.0f;
        offset = margin;
    }
}

}  // namespace

double textureMemoryBytes(long long textSize) {
    // Other patches get at most the next power of two above textSize. In
    // double: the product overflows any integer for absurd sizes.
    const double side = 2.0 * static_cast<double>(textSize);
    return side * side * (4 + 4 + 4 * 8);
}

int textureSide(float area, float largest, int baseSide) {
    if (!(area < largest)) return baseSide;
    const float recip = static_cast<float>(1.0 / std::sqrt(static_cast<double>(largest)));
    const float s = static_cast<float>(std::sqrt(static_cast<double>(area)) * recip);
    const float product = static_cast<float>(baseSide) * s;
    const int k = static_cast<int>(product);
    int side = 1 << bitCount(k);
    if (side < 4) side = 4;
    return side;
}

void texelOf(const PatchLayout& layout, const Vec3& rotated, int& column, int& row) {
    column = truncCoordinate(static_cast<double>(rotated.x) * layout.scaleX + layout.offsetX);
    row = truncCoordinate(static_cast<double>(rotated.y) * layout.scaleY + layout.offsetY);
}

std::vector<PatchLayout> layoutTextures(const std::vector<Tri>& patches, int textSize, float largestPatchArea) {
    std::vector<PatchLayout> layouts(patches.size());
    for (size_t p = 0; p < patches.size(); ++p) {
        const Tri& patch = patches[p];
        PatchLayout& layout = layouts[p];
        zAlignAngles(patch.normal(), layout.angleX, layout.angleY);
        const float a = patch.area();
        const int w = textureSide(a, largestPatchArea, textSize);
        const int h = textureSide(a, largestPatchArea, textSize);
        layout.wide = w;
        layout.high = h;

        Tri rotated = patch.clone();
        rotated.rotateX(layout.angleX);
        rotated.rotateY(layout.angleY);
        float minX = 3.4028235e38f, minY = 3.4028235e38f;
        float maxX = -3.4028235e38f, maxY = -3.4028235e38f;
        for (const Vec3& v : rotated.vertices) {
            if (v.x > maxX) maxX = v.x;
            if (v.x < minX) minX = v.x;
            if (v.y > maxY) maxY = v.y;
            if (v.y < minY) minY = v.y;
        }
        axisMapping(w, minX, maxX, layout.scaleX, layout.offsetX);
        axisMapping(h, minY, maxY, layout.scaleY, layout.offsetY);
        for (int t = 0; t < 3; ++t) {
            int u, v;
            texelOf(layout, rotated.vertices[t], u, v);
            layout.anchorU[t] = u < 0 ? 0 : (u > w - 1 ? w - 1 : u);
            layout.anchorV[t] = v < 0 ? 0 : (v > h - 1 ? h - 1 : v);
        }
    }
    return layouts;
}
