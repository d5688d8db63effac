#include "Snapshot.h"

#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <cstdio>

std::string snapshotPath;

bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int r = 0; r < height; ++r)
        rows[r] = const_cast<png_bytep>(rgb.data() + static_cast<size_t>(r) * width * 3);
    bool written = false;
    // libpng reports its errors by longjmp back here; nothing with a
    // destructor is created between setjmp and the calls that may jump.
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) written = false;
    return written;
}

bool saveFrame(const std::string& path, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> bottomUp(rowBytes * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<unsigned char> topDown(bottomUp.size());
    for (int r = 0; r < height; ++r) {
        const unsigned char* source = bottomUp.data() + static_cast<size_t>(height - 1 - r) * rowBytes;
        std::copy(source, source + rowBytes, topDown.begin() + static_cast<long>(r * rowBytes));
    }
    return writePng(path, width, height, topDown);
}
