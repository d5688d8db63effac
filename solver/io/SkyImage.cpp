#include "SkyImage.h"

#include <cmath>
#include <cstdlib>

#include <stb_image.h>
#include <tinyexr.h>

#include "GlowbakeError.h"
#include "PathParts.h"

bool isSkyImageName(const std::string& fileName) {
    const std::string ext = lowerExtension(fileName);
    return ext == ".hdr" || ext == ".exr";
}

LinearImage readSkyImage(const std::string& fileName) {
    auto refuse = [&](const std::string& why) { return GlowbakeError("sky file " + fileName + ": " + why); };
    LinearImage image;
    if (lowerExtension(fileName) == ".exr") {
        float* rgba = nullptr;
        int wide = 0, high = 0;
        const char* problem = nullptr;
        if (LoadEXR(&rgba, &wide, &high, fileName.c_str(), &problem) != TINYEXR_SUCCESS) {
            const std::string why = problem ? problem : "not an OpenEXR image";
            if (problem) FreeEXRErrorMessage(problem);
            throw refuse(why);
        }
        image = LinearImage(wide, high);
        for (size_t i = 0; i < static_cast<size_t>(wide) * high; ++i)
            for (int k = 0; k < 3; ++k) image.rgb[3 * i + k] = rgba[4 * i + k];
        std::free(rgba);
    } else {
        int wide = 0, high = 0, channels = 0;
        float* rgb = stbi_loadf(fileName.c_str(), &wide, &high, &channels, 3);
        if (!rgb) throw refuse(stbi_failure_reason() ? stbi_failure_reason() : "not a Radiance image");
        image = LinearImage(wide, high);
        image.rgb.assign(rgb, rgb + static_cast<size_t>(wide) * high * 3);
        stbi_image_free(rgb);
    }
    if (image.wide < 1 || image.high < 1) throw refuse("the image is empty");
    for (float v : image.rgb)
        if (!std::isfinite(v) || v < 0.0f) throw refuse("it holds a radiance that is negative or not finite");
    return image;
}
