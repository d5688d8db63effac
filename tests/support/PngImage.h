#pragma once

// Reads a PNG written by the viewer's snapshot as RGB triples, top row first.
// Link with libpng (PNG::PNG).

#include <png.h>

#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    // A pixel outside the picture, or of one that could not be read, is
    // black: a test that goes on after a failed read fails on its checks
    // instead of reading through a null pointer.
    const unsigned char* pixel(int column, int row) const {
        static const unsigned char outside[3] = {0, 0, 0};
        if (column < 0 || row < 0 || column >= width || row >= height) return outside;
        return rgb.data() + 3 * (static_cast<size_t>(row) * width + column);
    }
};

// False, and `image` left empty, if the file is missing or not a PNG.
inline bool readPng(const std::string& path, PngImage& image) {
    image = PngImage();
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    png.format = PNG_FORMAT_RGB;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        png_image_free(&png);
        image = PngImage();
        return false;
    }
    return true;
}

}  // namespace testsupport
