#include "ImageEncoding.h"

#include <cstdlib>
#include <stb/stb_image_write.h>
#include <tinyexr.h>

namespace {

extern "C" void appendBytes(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* from = static_cast<const std::uint8_t*>(data);
    bytes->insert(bytes->end(), from, from + size);
}

}  // namespace

std::vector<std::uint8_t> encodePng(int wide, int high, const std::vector<std::uint8_t>& rgb) {
    std::vector<std::uint8_t> bytes;
    if (!stbi_write_png_to_func(appendBytes, &bytes, wide, high, 3, rgb.data(), wide * 3)) bytes.clear();
    return bytes;
}

std::vector<std::uint8_t> encodeRadiance(const LinearImage& image) {
    std::vector<std::uint8_t> bytes;
    if (!stbi_write_hdr_to_func(appendBytes, &bytes, image.wide, image.high, 3, image.rgb.data())) bytes.clear();
    return bytes;
}

std::vector<std::uint8_t> encodeExr(const LinearImage& image) {
    // One plane per channel, in the alphabetical order (B, G, R) that the
    // format keeps its channel list in.
    const size_t count = static_cast<size_t>(image.wide) * image.high;
    std::vector<float> planes[3];
    for (int c = 0; c < 3; ++c) {
        planes[c].resize(count);
        const int source = 2 - c;
        for (size_t i = 0; i < count; ++i) planes[c][i] = image.rgb[i * 3 + source];
    }
    unsigned char* pointers[3] = {reinterpret_cast<unsigned char*>(planes[0].data()),
                                  reinterpret_cast<unsigned char*>(planes[1].data()),
                                  reinterpret_cast<unsigned char*>(planes[2].data())};

    EXRHeader header;
    InitEXRHeader(&header);
    EXRChannelInfo channels[3] = {};
    int pixelTypes[3] = {TINYEXR_PIXELTYPE_FLOAT, TINYEXR_PIXELTYPE_FLOAT, TINYEXR_PIXELTYPE_FLOAT};
    const char* names[3] = {"B", "G", "R"};
    for (int c = 0; c < 3; ++c) {
        channels[c].name[0] = names[c][0];
        channels[c].name[1] = '\0';
    }
    header.num_channels = 3;
    header.channels = channels;
    header.pixel_types = pixelTypes;
    header.requested_pixel_types = pixelTypes;
    header.compression_type = TINYEXR_COMPRESSIONTYPE_ZIP;
    header.line_order = 0;  // increasing y

    EXRImage exr;
    InitEXRImage(&exr);
    exr.num_channels = 3;
    exr.images = pointers;
    exr.width = image.wide;
    exr.height = image.high;

    unsigned char* memory = nullptr;
    const char* error = nullptr;
    const size_t size = SaveEXRImageToMemory(&exr, &header, &memory, &error);
    std::vector<std::uint8_t> bytes;
    if (size > 0 && memory) bytes.assign(memory, memory + size);
    std::free(memory);
    if (error) FreeEXRErrorMessage(error);
    return bytes;
}
