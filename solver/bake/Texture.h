#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Color.h"

// Baked textures and the operations that bake them: pure functions on a
// buffer of texels, with no solver state. The operations are written once
// for any texel type that supplies the arithmetic below, so the same steps
// make the scene file's packed byte texels and floating-point texels.
//
// A texel type T provides:
//   T::Value                       the stored texel
//   blank()                        a texel that holds no colour yet
//   fromColor(c, w)                a colour weighted by w (alpha unweighted)
//   scale(v, w)                    every component, alpha included, times w
//   add(a, b)                      the sum of two texels
//   painted(v)                     whether the texel holds a colour
//   kChannels, channel(v, ch)      the components summed by the blur
//   fromAverage(sums, recip)       a texel from blur sums times 1 / count

// Packed 0xAARRGGBB: every product truncates toward zero and every sum
// saturates at 255, byte by byte.
struct PackedTexel {
    using Value = std::uint32_t;
    static Value blank() { return 0u; }
    static Value fromColor(const Color& c, float weight);
    static Value scale(Value v, float weight);
    static Value add(Value a, Value b);
    static bool painted(Value v) { return (v >> 24) != 0; }
    static constexpr int kChannels = 4;
    static double channel(Value v, int ch) { return static_cast<double>((v >> (8 * ch)) & 0xFFu); }
    static Value fromAverage(const double* sums, float recip);
};

// Linear floating-point colours, unbounded, with a coverage alpha from 0 to
// 1 in place of the alpha byte.
struct FloatTexel {
    using Value = Color;
    // Not Color(): its alpha of 1 would mark every texel painted, and the
    // fills would leave the gaps between edges black.
    static Value blank() { return Color(0.0f, 0.0f, 0.0f, 0.0f); }
    static Value fromColor(const Color& c, float weight) {
        return Color(c.r * weight, c.g * weight, c.b * weight, c.a);
    }
    static Value scale(const Value& v, float weight) {
        return Color(v.r * weight, v.g * weight, v.b * weight, v.a * weight);
    }
    static Value add(const Value& a, const Value& b) {
        return Color(a.r + b.r, a.g + b.g, a.b + b.b, std::min(a.a + b.a, 1.0f));
    }
    static bool painted(const Value& v) { return v.a > 0.0f; }
    static constexpr int kChannels = 4;
    static double channel(const Value& v, int ch) { return v[ch]; }
    static Value fromAverage(const double* sums, float recip) {
        return Color(static_cast<float>(sums[0] * recip), static_cast<float>(sums[1] * recip),
                     static_cast<float>(sums[2] * recip), static_cast<float>(sums[3] * recip));
    }
};

// H rows of W texels, texel (x, y) at y * W + x; row 0 is the first row of
// a scene-file record.
template <typename T>
struct TextureOf {
    using Value = typename T::Value;
    int wide = 0;
    int high = 0;
    std::vector<Value> texels;

    TextureOf(int w, int h) : wide(w), high(h), texels(static_cast<size_t>(w) * h, T::blank()) {}
    Value& at(int x, int y) { return texels[static_cast<size_t>(y) * wide + x]; }
    const Value& at(int x, int y) const { return texels[static_cast<size_t>(y) * wide + x]; }
};

using Texture = TextureOf<PackedTexel>;
using FloatTexture = TextureOf<FloatTexel>;

inline bool isPainted(std::uint32_t texel) { return PackedTexel::painted(texel); }

// trunc(channel * 255 * weight) for r, g, b; alpha trunc(a * 255), unweighted.
inline std::uint32_t packScaled(const Color& c, float weight) { return PackedTexel::fromColor(c, weight); }
// Every byte, alpha included, becomes trunc(byte * weight).
inline std::uint32_t scalePacked(std::uint32_t packed, float weight) { return PackedTexel::scale(packed, weight); }
// Byte-wise sum capped at 255.
inline std::uint32_t addSaturate(std::uint32_t a, std::uint32_t b) { return PackedTexel::add(a, b); }

// A gradient from (x0, y0) in c0 to (x1, y1) in c1, one texel per row.
template <typename T>
void drawEdge(TextureOf<T>& tex, int x0, int y0, const Color& c0, int x1, int y1, const Color& c1) {
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
        tex.at(column, y) = T::add(T::fromColor(*from, oneMinusT), T::fromColor(*to, t));
        x = x + dx;
        t = t + dt;
    }
}

// Blends the `count` texels at stride `step` from `base` as a row or column
// fill: gaps between painted texels are interpolated linearly; the ends take
// the colour of the nearest painted texel.
template <typename T>
void fillLine(typename T::Value* base, int count, int step) {
    using Value = typename T::Value;
    auto texel = [&](int i) -> Value& { return base[static_cast<size_t>(i) * step]; };
    int first = -1;
    for (int i = 0; i < count; ++i) {
        if (T::painted(texel(i))) {
            first = i;
            break;
        }
    }
    if (first < 0) return;
    int left = 0;
    int right = first;
    Value cL = texel(right);
    Value cR = cL;
    while (left < count - 1) {
        if (right > left) {
            const float k = 1.0f / static_cast<float>(right - left);
            for (int i = left; i <= right; ++i) {
                const float wL = static_cast<float>(right - i) * k;
                const float wR = static_cast<float>(i - left) * k;
                texel(i) = T::add(T::scale(cL, wL), T::scale(cR, wR));
            }
        }
        left = right;
        right = count - 1;
        for (int i = left + 1; i < count; ++i) {
            if (T::painted(texel(i))) {
                right = i;
                break;
            }
        }
        cL = cR;
        cR = T::painted(texel(right)) ? texel(right) : cL;
    }
}

// Gaps along every row are blended between the painted texels around them;
// the ends take the colour of the nearest painted texel. Empty rows stay.
template <typename T>
void fillRows(TextureOf<T>& tex) {
    for (int y = 0; y < tex.high; ++y) fillLine<T>(&tex.at(0, y), tex.wide, 1);
}

// The same along every column.
template <typename T>
void fillColumns(TextureOf<T>& tex) {
    for (int x = 0; x < tex.wide; ++x) fillLine<T>(&tex.at(x, 0), tex.high, tex.wide);
}

// Average of each component over the (2r+1)^2 window, shrunk at the borders.
template <typename T>
void boxBlur(TextureOf<T>& tex, int radius) {
    constexpr int kC = T::kChannels;
    const TextureOf<T> copy = tex;
    const int w = tex.wide, h = tex.high;
    // Summed-area table per component over the copy: each window sum is four
    // lookups instead of up to (2r+1)^2 reads. For bytes the sums are whole
    // numbers far below 2^53, so double holds them exactly.
    std::vector<double> sums(static_cast<size_t>(w + 1) * (h + 1) * kC, 0.0);
    auto sat = [&](int x, int y, int ch) -> double& { return sums[(static_cast<size_t>(y) * (w + 1) + x) * kC + ch]; };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const typename T::Value& v = copy.at(x, y);
            for (int ch = 0; ch < kC; ++ch)
                sat(x + 1, y + 1, ch) = T::channel(v, ch) + sat(x, y + 1, ch) + sat(x + 1, y, ch) - sat(x, y, ch);
        }
    }
    double window[kC];
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - radius), y1 = std::min(h - 1, y + radius);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - radius), x1 = std::min(w - 1, x + radius);
            const long long count = static_cast<long long>(y1 - y0 + 1) * (x1 - x0 + 1);
            const float recip = 1.0f / static_cast<float>(count);
            for (int ch = 0; ch < kC; ++ch)
                window[ch] = sat(x1 + 1, y1 + 1, ch) - sat(x0, y1 + 1, ch) - sat(x1 + 1, y0, ch) + sat(x0, y0, ch);
            tex.at(x, y) = T::fromAverage(window, recip);
        }
    }
}
