#include "GltfFromSurfaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "GltfDocument.h"
#include "LightmapExport.h"
#include "SceneSurfaces.h"

namespace {

// Unit normal of the model's triangle a, b, c toward its lit side,
// normalise((c - a) x (b - a)); (0, 0, 1) for a degenerate triangle.
void flatNormal(const float* t, float* n) {
    const double e1[3] = {double(t[6]) - t[0], double(t[7]) - t[1], double(t[8]) - t[2]};
    const double e2[3] = {double(t[3]) - t[0], double(t[4]) - t[1], double(t[5]) - t[2]};
    const double c[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    const bool usable = length > 0.0 && std::isfinite(length);
    for (int k = 0; k < 3; ++k) n[k] = usable ? static_cast<float>(c[k] / length) : k == 2;
}

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

tinygltf::Material materialOf(tinygltf::Model& doc, const SurfaceMaterial& m) {
    tinygltf::Material material;
    material.name = m.name;
    material.pbrMetallicRoughness.baseColorFactor = {clamp01(m.baseColor[0]), clamp01(m.baseColor[1]),
                                                     clamp01(m.baseColor[2]), clamp01(m.baseColor[3])};
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 1.0;
    if (!m.image.empty()) {
        tinygltf::Image image;
        image.bufferView = appendBufferView(doc, m.image, 0, 0);
        image.mimeType = m.mimeType;
        doc.images.push_back(image);
        tinygltf::Texture texture;
        texture.source = static_cast<int>(doc.images.size()) - 1;
        doc.textures.push_back(texture);
        material.pbrMetallicRoughness.baseColorTexture.index = static_cast<int>(doc.textures.size()) - 1;
    }
    const double strength = std::max({1.0, double(m.emission[0]), double(m.emission[1]), double(m.emission[2])});
    material.emissiveFactor = {clamp01(m.emission[0] / strength), clamp01(m.emission[1] / strength),
                               clamp01(m.emission[2] / strength)};
    if (strength > 1.0) {
        tinygltf::Value::Object factor;
        factor["emissiveStrength"] = tinygltf::Value(strength);
        material.extensions["KHR_materials_emissive_strength"] = tinygltf::Value(factor);
        const std::string name = "KHR_materials_emissive_strength";
        if (std::find(doc.extensionsUsed.begin(), doc.extensionsUsed.end(), name) == doc.extensionsUsed.end())
            doc.extensionsUsed.push_back(name);
    }
    return material;
}

std::vector<std::uint8_t> floatBytes(const std::vector<float>& values) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(float));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

int floatAccessor(tinygltf::Model& doc, const std::vector<float>& values, int type, bool withBounds) {
    tinygltf::Accessor like;
    like.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    like.type = type;
    const std::size_t count = values.size() / static_cast<std::size_t>(type == TINYGLTF_TYPE_VEC3 ? 3 : 2);
    return appendAccessor(doc, like, floatBytes(values), count, true, withBounds);
}

}  // namespace

int documentOfSurfaces(tinygltf::Model& doc, const SceneSurfaces& surfaces, const ExportScene& scene,
                       const AtlasCoordinate& atlas, std::vector<int>& litMaterials) {
    doc.asset.version = "2.0";
    doc.asset.generator = "Glowbake 1.0";
    for (const SurfaceMaterial& m : surfaces.materials) doc.materials.push_back(materialOf(doc, m));
    int defaultMaterial = -1;

    doc.scenes.emplace_back();
    doc.defaultScene = 0;
    // Corners 0, 2, 1 of every patch: counter-clockwise seen from its lit side.
    const int order[3] = {0, 2, 1};
    for (const ExportMesh& range : scene.meshes) {
        tinygltf::Mesh mesh;
        mesh.name = range.name;
        // The mesh's patches by material, materials in the order they first appear.
        std::vector<int> materials;
        for (int p = range.firstPatch; p < range.firstPatch + range.patchCount; ++p)
            if (std::find(materials.begin(), materials.end(), surfaces.patchMaterial[p]) == materials.end())
                materials.push_back(surfaces.patchMaterial[p]);
        for (int material : materials) {
            std::vector<float> positions, normals, texcoords, lightmap;
            bool textured = false;
            for (int p = range.firstPatch; p < range.firstPatch + range.patchCount; ++p) {
                if (surfaces.patchMaterial[p] != material) continue;
                textured = textured || surfaces.hasTexcoords[p];
                const float* corners = &scene.corners[static_cast<std::size_t>(p) * 9];
                float flat[3];
                flatNormal(corners, flat);
                for (int c : order) {
                    const float* given = &surfaces.normals[static_cast<std::size_t>(p) * 9 + c * 3];
                    const bool useGiven = surfaces.hasNormals[p] &&
                                          given[0] * given[0] + given[1] * given[1] + given[2] * given[2] > 0.25f;
                    for (int k = 0; k < 3; ++k) {
                        positions.push_back(corners[c * 3 + k]);
                        normals.push_back(useGiven ? given[k] : flat[k]);
                    }
                    texcoords.push_back(surfaces.texcoords[static_cast<std::size_t>(p) * 6 + c * 2]);
                    texcoords.push_back(surfaces.texcoords[static_cast<std::size_t>(p) * 6 + c * 2 + 1]);
                    float u, v;
                    atlas(p, c, u, v);
                    lightmap.push_back(u);
                    lightmap.push_back(v);
                }
            }
            tinygltf::Primitive primitive;
            primitive.mode = TINYGLTF_MODE_TRIANGLES;
            primitive.attributes["POSITION"] = floatAccessor(doc, positions, TINYGLTF_TYPE_VEC3, true);
            primitive.attributes["NORMAL"] = floatAccessor(doc, normals, TINYGLTF_TYPE_VEC3, false);
            const int coordinates = floatAccessor(doc, lightmap, TINYGLTF_TYPE_VEC2, false);
            primitive.attributes["TEXCOORD_0"] =
                textured ? floatAccessor(doc, texcoords, TINYGLTF_TYPE_VEC2, false) : coordinates;
            primitive.attributes["TEXCOORD_1"] = coordinates;
            if (material < 0) {
                if (defaultMaterial < 0) {
                    tinygltf::Material plain;
                    plain.name = "default";
                    plain.pbrMetallicRoughness.metallicFactor = 0.0;
                    doc.materials.push_back(plain);
                    defaultMaterial = static_cast<int>(doc.materials.size()) - 1;
                }
                material = defaultMaterial;
            }
            primitive.material = material;
            mesh.primitives.push_back(primitive);
        }
        doc.meshes.push_back(mesh);
        tinygltf::Node node;
        node.name = range.name;
        node.mesh = static_cast<int>(doc.meshes.size()) - 1;
        doc.nodes.push_back(node);
        doc.scenes[0].nodes.push_back(static_cast<int>(doc.nodes.size()) - 1);
    }
    for (std::size_t m = 0; m < doc.materials.size(); ++m) litMaterials.push_back(static_cast<int>(m));
    return 1;
}
