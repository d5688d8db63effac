#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The lit scene as glTF 2.0: one node and mesh per mesh, each triangle with
// three vertices of its own, flat normals and its lightmap coordinates in
// both TEXCOORD_0 and TEXCOORD_1 (engines that look for a lightmap in the
// second set find it there). Every mesh has its own unlit material
// (KHR_materials_unlit) showing the one atlas picture, filtered linearly
// and clamped at its edges. Coordinates are written as given.

struct GltfMesh {
    std::string name;
    std::string material;  // the name of its material
    // Nine floats per triangle, corners in the model's order: seen from the
    // lit side they run clockwise. The writer reverses them, because glTF's
    // front faces are counter-clockwise.
    std::vector<float> corners;
    // Six floats per triangle: u, v of each corner, in the same order.
    std::vector<float> texcoords;
};

struct GltfScene {
    std::vector<GltfMesh> meshes;
    std::vector<std::uint8_t> png;  // the display-referred atlas
};

// A binary glTF (.glb): the picture is stored in a buffer view.
std::vector<std::uint8_t> encodeGlb(const GltfScene& scene);

// A text glTF (.gltf) that names its buffer and picture as files beside it.
struct GltfText {
    std::string json;
    std::vector<std::uint8_t> bin;  // the buffer; empty (and not named) when there are no meshes
};
GltfText encodeGltfText(const GltfScene& scene, const std::string& binName, const std::string& pngName);

// A relative URI for a file name: everything but unreserved characters
// percent-encoded.
std::string gltfUri(const std::string& name);

// The binary glTF container of a JSON text and a binary buffer (none when
// empty), each chunk padded to 4 bytes (the JSON with spaces, the buffer
// with zeros). Throws GlowbakeError when it would reach 4 GiB.
std::vector<std::uint8_t> glbContainer(std::string json, std::vector<std::uint8_t> bin);
