#include "Texture.h"

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

std::uint32_t PackedTexel::fromColor(const Color& c, float weight) {
    const std::uint32_t b = truncByte(static_cast<double>(c.b) * 255.0 * weight);
    const std::uint32_t g = truncByte(static_cast<double>(c.g) * 255.0 * weight);
    const std::uint32_t r = truncByte(static_cast<double>(c.r) * 255.0 * weight);
    const std::uint32_t a = truncByte(static_cast<double>(c.a) * 255.0);
    return b | (g << 8) | (r << 16) | (a << 24);
}

std::uint32_t PackedTexel::scale(std::uint32_t packed, float weight) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
        result |= truncByte(static_cast<double>(byteOf(packed, shift)) * weight) << shift;
    return result;
}

std::uint32_t PackedTexel::add(std::uint32_t a, std::uint32_t b) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
        result |= std::min<std::uint32_t>(byteOf(a, shift) + byteOf(b, shift), 255u) << shift;
    return result;
}

std::uint32_t PackedTexel::fromAverage(const double* sums, float recip) {
    std::uint32_t result = 0;
    for (int ch = 0; ch < kChannels; ++ch) result |= truncByte(sums[ch] * recip) << (ch * 8);
    return result;
}
