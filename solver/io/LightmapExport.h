#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Atlas.h"
#include "ExportSettings.h"
#include "LinearImage.h"
#include "OutputFile.h"
#include "Radiosity.h"
#include "TextureLayout.h"

struct GltfLightmapSource;

// A named run of consecutive patches that becomes one glTF node and mesh.
struct ExportMesh {
    std::string name;
    std::string material;  // the name of its material
    int firstPatch = 0;
    int patchCount = 0;
};

// Everything the files are made of, in patch order.
struct ExportScene {
    std::vector<float> corners;  // 9 per patch: corners 0, 1, 2 as x, y, z, as in the model
    std::vector<int> anchors;    // 6 per patch: column and row of corners 0, 1, 2 in the patch's chart
    std::vector<ExportMesh> meshes;
    AtlasLayout layout;          // where each patch's chart lies in the atlases
    LinearImage radiosity;       // the atlas of linear radiosity
    LinearImage irradiance;      // the atlas of irradiance; used only when asked for
    double exposure = 1.0;       // the factor of the display mapping
    const GltfLightmapSource* lightmapSource = nullptr;  // what --gltf-lightmap gives back
};

// The temporary files of every export asked for, opened before the solve so
// that a name that cannot be written stops the run before it starts.
struct ExportOutputs {
    OutputFile gltf, gltfBin, gltfPng, irradiance;
    OutputFile gltfLightmap, gltfLightmapBin, gltfLightmapPng;
    std::vector<std::unique_ptr<OutputFile>> lightmaps;  // one per --lightmap

    // Checks the names (their extensions, and that no two outputs of the
    // run, the scene file `sceneFile` included, share one) and opens the
    // temporaries; on failure returns false with `problem` naming the option
    // and file.
    bool open(const ExportSettings& settings, const std::string& sceneFile, std::string& problem);
    // Every file that is open, for finishing and publishing together.
    std::vector<OutputFile*> files();
};

// The glTF texture coordinate of a texel corner (column, row) of chart
// `patch`: (chartX + column) / atlasWidth, (chartY + row) / atlasHeight, row 0
// of the atlas at v = 0.
void atlasTexcoord(const AtlasLayout& layout, int patch, int column, int row, float& u, float& v);

// Writes every file asked for into its temporary; throws GlowbakeError when
// a file cannot be made or written.
void writeExports(const ExportSettings& settings, const ExportScene& scene, ExportOutputs& outputs);

// Bakes the float atlases of a solved Radiosity into `atlas` (laid out from
// `layouts`), measures the exposure and writes every export asked for into
// its temporary file, --gltf-lightmap's from `lightmapSource`; returns the
// exposure of the picture.
double exportLighting(const ExportSettings& settings, const Radiosity& radiosity,
                      const std::vector<PatchLayout>& layouts, const AtlasLayout& atlas,
                      const GltfLightmapSource& lightmapSource, ExportOutputs& outputs);

// Finishes every file, then renames them all: nothing is published unless
// every file was written completely.
void commitAll(const std::vector<OutputFile*>& files);
