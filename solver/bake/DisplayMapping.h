#pragma once

#include <cstdint>
#include <vector>

#include "LinearImage.h"

// Turns linear radiosity into a picture people can look at: radiosity x
// exposure, the sRGB transfer function, then 8 bits with an ordered dither,
// so that slow gradients do not band. Emitters simply clip.

// Gathers what the automatic exposure needs, element by element.
struct ExposureMeter {
    double weightedLuminance = 0.0;  // sum of area x Rec. 709 luminance over non-emitting elements
    double area = 0.0;               // sum of their areas
    float brightest = 0.0f;          // largest component of any element, emitters included

    // `emitting`: the element belongs to a patch with a non-zero emission.
    void addElement(float elementArea, float r, float g, float b, bool emitting);

    // The factor that maps the area-weighted mean luminance of the
    // non-emitting elements to 0.18; when none of them has light, the one that
    // maps the brightest component to 1 (1 when nothing has light). Times
    // 2^stops.
    double exposure(double stops) const;
};

// The sRGB transfer function on a linear value in 0..1.
double srgbEncode(double linear);

// 8-bit sRGB red, green, blue per texel of a linear image (row 0 first),
// after multiplying by `exposure` and clipping to 1. The dither depends only
// on the texel's place, so the same image always gives the same bytes.
std::vector<std::uint8_t> displayBytes(const LinearImage& image, double exposure);
