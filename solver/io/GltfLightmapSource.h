#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ExportSettings.h"
#include "Model.h"
#include "SceneSurfaces.h"

namespace tinygltf {
class Model;
}

// One triangle primitive of a glTF document as one node draws it, and where
// its triangles are among the patches of the solved model.
struct GltfPrimitiveUse {
    int node = -1;
    int mesh = -1;
    int primitive = -1;
    int firstPatch = 0;  // its triangles are patches firstPatch, firstPatch + 1, ...
    // Vertex indices, three per triangle in the document's order (strips and
    // fans made triangles as glTF defines them).
    std::vector<std::uint32_t> corners;
    // Per corner: the corner of its patch that lies there (0, 1 or 2).
    std::vector<std::uint8_t> patchCorner;
};

// What --gltf-lightmap gives back, with the lightmap added.
struct GltfLightmapSource {
    std::string fileName;  // the model file
    // A glTF input: the document, and every triangle primitive of its scene
    // in the order the importer made patches of them.
    std::shared_ptr<const tinygltf::Model> document;
    std::vector<GltfPrimitiveUse> uses;
    // Any other input: its surfaces (a text model's made from its colours).
    SceneSurfaces surfaces;
};

// The surfaces loadModel is to read for --gltf-lightmap into `source`, or
// null: when the option is not given, or the input is glTF (whose document
// is read whole instead).
SceneSurfaces* surfacesToRead(const ExportSettings& settings, const std::string& modelFile,
                              GltfLightmapSource& source);

// Completes `source` once the model is loaded, when --gltf-lightmap is
// given: a glTF input's document is read and its triangles are matched with
// the patches (the importer's: the default scene's nodes depth first, a
// node's mesh before its children, primitives and triangles in order); a
// text model's surfaces are made from its colours. Throws GlowbakeError
// naming the model file when the document cannot be read, uses compressed
// geometry, or holds triangles other than those the importer read.
void readGltfLightmapSource(const ExportSettings& settings, const std::string& modelFile, const Model& model,
                            GltfLightmapSource& source);
