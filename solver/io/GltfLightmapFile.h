#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LinearImage.h"

struct ExportScene;
struct GltfLightmapSource;

// The input scene given back as glTF with its lighting as a lightmap
// (--gltf-lightmap): the glTF document itself, or a new document made from
// any other input's surfaces, with the atlas coordinates in a second set of
// texture coordinates (TEXCOORD_1, or the next free set when the document
// has more) and on every lit material
//   "extensions": {"MOZ_lightmap": {"index": T, "texCoord": 1, "intensity": I}}
// naming the lightmap texture T, listed in extensionsUsed only: a client
// that does not know it still shows the scene.
//
// The lightmap is the irradiance atlas, (B - E) / reflectance, scaled by one
// factor so that its brightest component is 1, as 8-bit sRGB with the
// display mapping's dither. The intensity I is pi over that factor: three.js
// (and Spoke, and the other clients that read the texture as sRGB) light a
// surface by lightMap x intensity x albedo / pi, which makes it albedo x
// irradiance + emission, the radiosity Glowbake solved, in the model's own
// emission units. The automatic exposure of the run, which maps that to a
// picture as the --gltf export shows it, is kept in the default scene's
// extras as "glowbakeExposure".

// The 8-bit sRGB lightmap picture of an irradiance atlas and its intensity.
struct LightmapPicture {
    std::vector<std::uint8_t> png;
    double intensity = 0.0;  // pi x the irradiance a texel of 255 stands for
};
LightmapPicture lightmapPicture(const LinearImage& irradiance);

struct GltfLightmapFiles {
    std::vector<std::uint8_t> document;  // the .glb, or the .gltf's JSON
    std::vector<std::uint8_t> bin;       // a .gltf's buffer, named binName
    std::vector<std::uint8_t> png;       // a .gltf's lightmap picture, named pngName
};

// The file of `source` with the lighting of `scene` (its irradiance atlas,
// layout, anchors and exposure; its corners and meshes for inputs that are
// not glTF): a .glb when `binary`, otherwise a .gltf whose buffer and
// picture are the files binName and pngName beside it. Throws GlowbakeError
// when the document holds what cannot be given back.
GltfLightmapFiles encodeGltfLightmap(const GltfLightmapSource& source, const ExportScene& scene, bool binary,
                                     const std::string& binName, const std::string& pngName);
