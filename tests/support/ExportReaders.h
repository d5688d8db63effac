#pragma once

// Readers nobody here wrote, for checking exported images: OpenEXR for .exr
// and stb_image for Radiance .hdr. Link with OpenEXR::OpenEXR and stb.

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <stb/stb_image.h>

#include <string>
#include <vector>


namespace testsupport {

// Linear RGB floats, row 0 first.
struct FloatImage {
    int width = 0;
    int height = 0;
    std::vector<float> rgb;
    // Outside the image (or of an image that could not be read) a pixel is
    // black, so a test fails on its checks instead of reading out of bounds.
    const float* pixel(int column, int row) const {
        static const float outside[3] = {0, 0, 0};
        if (column < 0 || row < 0 || column >= width || row >= height) return outside;
        return rgb.data() + 3 * (static_cast<size_t>(row) * width + column);
    }
};

inline bool readExr(const std::string& path, FloatImage& image) {
    try {
        Imf::InputFile file(path.c_str());
        const Imath::Box2i window = file.header().dataWindow();
        image.width = window.max.x - window.min.x + 1;
        image.height = window.max.y - window.min.y + 1;
        if (file.header().lineOrder() != Imf::INCREASING_Y) return false;
        image.rgb.assign(static_cast<size_t>(image.width) * image.height * 3, -1.0f);
        Imf::FrameBuffer frame;
        const char* names[3] = {"R", "G", "B"};
        for (int c = 0; c < 3; ++c) {
            if (!file.header().channels().findChannel(names[c])) return false;
            char* base = reinterpret_cast<char*>(image.rgb.data() + c) -
                         (static_cast<ptrdiff_t>(window.min.x) + static_cast<ptrdiff_t>(window.min.y) * image.width) * 12;
            frame.insert(names[c], Imf::Slice(Imf::FLOAT, base, 12, 12 * static_cast<size_t>(image.width)));
        }
        file.setFrameBuffer(frame);
        file.readPixels(window.min.y, window.max.y);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

inline bool readHdr(const std::string& path, FloatImage& image) {
    int channels = 0;
    float* data = stbi_loadf(path.c_str(), &image.width, &image.height, &channels, 3);
    if (!data) return false;
    image.rgb.assign(data, data + static_cast<size_t>(image.width) * image.height * 3);
    stbi_image_free(data);
    return true;
}

}  // namespace testsupport
