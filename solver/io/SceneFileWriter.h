#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Progress.h"
#include "Radiosity.h"
#include "TextureLayout.h"

// Bakes every patch's texture from a solved Radiosity's final values and
// writes the scene file: the patch count, then one record per patch in
// patch order (corners, texture size, corner anchors, texels). Textures are
// baked and written one at a time, so memory holds one texture at most.
// Reports the baking progress; throws GlowbakeError naming `fileName` when a
// write fails.
void writeSceneFile(std::FILE* file, const std::string& fileName, const Radiosity& radiosity,
                    const std::vector<PatchLayout>& layouts, const Progress& progress);
