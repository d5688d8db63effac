#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Model.h"

// What a scene's surfaces look like beyond the colours the solver uses: the
// materials as the file gives them (a base colour factor and texture, an
// emission), and each patch's corner normals and texture coordinates. The
// glTF lightmap export of a scene that is not glTF is made from these.

struct SurfaceMaterial {
    std::string name;
    float baseColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // linear factor (MTL Kd, glTF baseColorFactor)
    float emission[3] = {0.0f, 0.0f, 0.0f};         // linear emitted colour, its strength included
    std::vector<std::uint8_t> image;  // the base-colour texture as a PNG or JPEG file; empty: none
    std::string mimeType;             // "image/png" or "image/jpeg" when there is an image
};

struct SceneSurfaces {
    std::vector<SurfaceMaterial> materials;
    // Per patch: its material, whether it has normals and texture
    // coordinates of its own (flat normals and none otherwise).
    std::vector<int> patchMaterial;
    std::vector<std::uint8_t> hasNormals;
    std::vector<std::uint8_t> hasTexcoords;
    // 9 floats per patch: the unit normal at corners 0, 1, 2 in the model's
    // coordinates (node transforms applied); 0 where it has none.
    std::vector<float> normals;
    // 6 floats per patch: u, v of corners 0, 1, 2 in glTF's convention (v = 0
    // at the image's top row); 0 where it has none.
    std::vector<float> texcoords;
};

// The surfaces of a text model: one material per distinct pair of
// reflectance and emission (the reflectance as base colour), flat normals,
// no texture coordinates.
SceneSurfaces surfacesOfColors(const Model& model);

// Appends one patch's corner data: `normals` (9 floats) and `texcoords`
// (6 floats) may be null for none.
void addPatchSurface(SceneSurfaces& surfaces, int material, const float* normals, const float* texcoords);
