#pragma once

#include <string>

#include "LinearImage.h"

// An equirectangular environment for --sky: a Radiance .hdr or an OpenEXR
// .exr of linear radiances, row 0 at the top. Throws GlowbakeError
// "sky file NAME: ..." when the file cannot be read, is not such an image,
// or holds a value that is negative or not finite.
LinearImage readSkyImage(const std::string& fileName);

// True for names readSkyImage takes: .hdr and .exr in any letter case.
bool isSkyImageName(const std::string& fileName);
