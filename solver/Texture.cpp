#include "Texture.h"

#include <algorithm>

namespace {

// A non-negative product truncated to a byte. The product of a byte-sized
// value and a float is exact in double. Values outside 0..255 (colours
// outside 0..1) are held to the byte instead of spilling into the next one.
std::uint32_t truncByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<std::uint32_t>(v);
}

std::uint32_t byteOf(std::uint32_t packed, int shift) { return (packed >> shift) & 0xFFu; }

}  // namespace

std::uint32_t packScaled(const Color& c, float weight) {
    const std::uint32_t b = truncByte(static_cast<double>(c.b) * 255.0 * weight);
    const std::uint32_t g = truncByte(static_cast<double>(c.g) * 255.0 * weight);
    const std::uint32_t r = truncByte(static_cast<double>(c.r) * 255.0 * weight);
    const std::uint32_t a = truncByte(static_cast<double>(c.a) * 255.0);
    return b | (g << 8) | (r << 16) | (a << 24);
}

std::uint32_t scalePacked(std::uint32_t packed, float weight) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
        result |= truncByte(static_cast<double>(byteOf(packed, shift)) * weight) << shift;
    return result;
}

std::uint32_t addSaturate(std::uint32_t a, std::uint32_t b) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
        result |= std::min<std::uint32_t>(byteOf(a, shift) + byteOf(b, shift), 255u) << shift;
    return result;
}

void drawEdge(Texture& tex, int x0, int y0, const Color& c0, int x1, int y1, const Color& c1) {
    const Color* from = &c0;
    const Color* to = &c1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        std::swap(from, to);
    }
    // For a flat edge these are infinite and never used beyond the first
    // texel, which gets the first end's colour.
    const float dx = static_cast<float>(x1 - x0) / static_cast<float>(y1 - y0);
    const float dt = 1.0f / static_cast<float>(y1 - y0);
    float x = static_cast<float>(x0);
    float t = 0.0f;
    for (int y = y0; y <= y1; ++y) {
        const float oneMinusT = 1.0f - t;
        int column = static_cast<int>(x);
        column = std::min(std::max(column, 0), tex.wide - 1);
        tex.at(column, y) = addSaturate(packScaled(*from, oneMinusT), packScaled(*to, t));
        x = x + dx;
        t = t + dt;
    }
}

namespace {

// Blends the `count` texels at stride `step` from `base` exactly as a row or
// column fill: gaps between painted texels are interpolated linearly.
void fillLine(std::uint32_t* base, int count, int step) {
    auto texel = [&](int i) -> std::uint32_t& { return base[static_cast<size_t>(i) * step]; };
    int first = -1;
    for (int i = 0; i < count; ++i) {
        if (isPainted(texel(i))) {
            first = i;
            break;
        }
    }
    if (first < 0) return;
    int left = 0;
    int right = first;
    std::uint32_t cL = texel(right);
    std::uint32_t cR = cL;
    while (left < count - 1) {
        if (right > left) {
            const float k = 1.0f / static_cast<float>(right - left);
            for (int i = left; i <= right; ++i) {
                const float wL = static_cast<float>(right - i) * k;
                const float wR = static_cast<float>(i - left) * k;
                texel(i) = addSaturate(scalePacked(cL, wL), scalePacked(cR, wR));
            }
        }
        left = right;
        right = count - 1;
        for (int i = left + 1; i < count; ++i) {
            if (isPainted(texel(i))) {
                right = i;
                break;
            }
        }
        cL = cR;
        cR = isPainted(texel(right)) ? texel(right) : cL;
    }
}

}  // namespace

void fillRows(Texture& tex) {
    for (int y = 0; y < tex.high; ++y) fillLine(&tex.at(0, y), tex.wide, 1);
}

void fillColumns(Texture& tex) {
    for (int x = 0; x < tex.wide; ++x) fillLine(&tex.at(x, 0), tex.high, tex.wide);
}

void boxBlur(Texture& tex, int radius) {
    const Texture copy = tex;
    const int w = tex.wide, h = tex.high;
    // Summed-area table per byte over the copy: each window sum is four
    // lookups instead of up to (2r+1)^2 reads. Sums fit easily in 64 bits.
    std::vector<long long> sums(static_cast<size_t>(w + 1) * (h + 1) * 4, 0);
    auto sat = [&](int x, int y, int ch) -> long long& {
        return sums[(static_cast<size_t>(y) * (w + 1) + x) * 4 + ch];
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = copy.at(x, y);
            for (int ch = 0; ch < 4; ++ch) {
                sat(x + 1, y + 1, ch) = static_cast<long long>(byteOf(v, ch * 8)) + sat(x, y + 1, ch) +
                                        sat(x + 1, y, ch) - sat(x, y, ch);
            }
        }
    }
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - radius), y1 = std::min(h - 1, y + radius);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - radius), x1 = std::min(w - 1, x + radius);
            const long long count = static_cast<long long>(y1 - y0 + 1) * (x1 - x0 + 1);
            const float recip = 1.0f / static_cast<float>(count);
            std::uint32_t result = 0;
            for (int ch = 0; ch < 4; ++ch) {
                const long long sum =
                    sat(x1 + 1, y1 + 1, ch) - sat(x0, y1 + 1, ch) - sat(x1 + 1, y0, ch) + sat(x0, y0, ch);
                result |= truncByte(static_cast<double>(sum) * recip) << (ch * 8);
            }
            tex.at(x, y) = result;
        }
    }
}
