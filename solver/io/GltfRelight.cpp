#include "GltfRelight.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "GlowbakeError.h"
#include "GltfDocument.h"
#include "GltfLightmapSource.h"

namespace {

// The number of consecutive TEXCOORD_n sets from TEXCOORD_0.
int texcoordSets(const tinygltf::Primitive& p) {
    int n = 0;
    while (p.attributes.count("TEXCOORD_" + std::to_string(n))) ++n;
    return n;
}

// The vertices of one primitive once split: for each new vertex, the
// original vertex it copies and its atlas coordinates; the triangles'
// indices into them.
struct SplitVertices {
    std::vector<std::uint32_t> from;
    std::vector<float> atlas;  // u, v per new vertex
    std::vector<std::uint32_t> indices;
};

SplitVertices splitVertices(const GltfPrimitiveUse& use, const AtlasCoordinate& atlas) {
    SplitVertices split;
    std::map<std::tuple<std::uint32_t, float, float>, std::uint32_t> made;
    for (std::size_t i = 0; i < use.corners.size(); ++i) {
        float u = 0.0f, v = 0.0f;
        atlas(use.firstPatch + static_cast<int>(i / 3), use.patchCorner[i], u, v);
        const auto key = std::make_tuple(use.corners[i], u, v);
        auto found = made.find(key);
        if (found == made.end()) {
            found = made.emplace(key, static_cast<std::uint32_t>(split.from.size())).first;
            split.from.push_back(use.corners[i]);
            split.atlas.push_back(u);
            split.atlas.push_back(v);
        }
        split.indices.push_back(found->second);
    }
    return split;
}

// Accessor `index` of `original` carried to the split vertices, appended to
// `doc`.
int carryAttribute(tinygltf::Model& doc, const tinygltf::Model& original, int index, const SplitVertices& split,
                   bool withBounds, const std::string& where) {
    const std::vector<std::uint8_t> elements = accessorElements(original, index, where);
    const tinygltf::Accessor& a = original.accessors[index];
    const std::size_t size = elementBytes(a);
    std::vector<std::uint8_t> carried(split.from.size() * size);
    for (std::size_t i = 0; i < split.from.size(); ++i) {
        if (split.from[i] >= a.count) throw GlowbakeError(where + ": accessor " + std::to_string(index) +
                                                          " has fewer elements than the primitive has vertices");
        std::memcpy(&carried[i * size], &elements[split.from[i] * size], size);
    }
    return appendAccessor(doc, a, carried, split.from.size(), true, withBounds);
}

int atlasAccessor(tinygltf::Model& doc, const SplitVertices& split) {
    tinygltf::Accessor like;
    like.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    like.type = TINYGLTF_TYPE_VEC2;
    std::vector<std::uint8_t> bytes(split.atlas.size() * sizeof(float));
    std::memcpy(bytes.data(), split.atlas.data(), bytes.size());
    return appendAccessor(doc, like, bytes, split.from.size(), true, false);
}

int indexAccessor(tinygltf::Model& doc, const SplitVertices& split) {
    // The largest value of a component type is not an index glTF allows.
    const bool shortIndices = split.from.size() < 65535;
    tinygltf::Accessor like;
    like.type = TINYGLTF_TYPE_SCALAR;
    like.componentType = shortIndices ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t i : split.indices) {
        for (int b = 0; b < (shortIndices ? 2 : 4); ++b) bytes.push_back(static_cast<std::uint8_t>(i >> (8 * b)));
    }
    return appendAccessor(doc, like, bytes, split.indices.size(), false, false);
}

}  // namespace

int relightDocument(tinygltf::Model& doc, const GltfLightmapSource& source, const AtlasCoordinate& atlas,
                    std::vector<int>& litMaterials) {
    const tinygltf::Model& original = *source.document;
    int set = 1;
    for (const GltfPrimitiveUse& use : source.uses)
        set = std::max(set, texcoordSets(original.meshes[use.mesh].primitives[use.primitive]));

    std::map<int, int> meshOfNode;
    std::vector<char> meshTaken(original.meshes.size(), 0);
    int defaultMaterial = -1;
    for (const GltfPrimitiveUse& use : source.uses) {
        auto drawn = meshOfNode.find(use.node);
        if (drawn == meshOfNode.end()) {
            int mesh = use.mesh;
            if (meshTaken[mesh]) {
                doc.meshes.push_back(original.meshes[use.mesh]);
                mesh = static_cast<int>(doc.meshes.size()) - 1;
                doc.nodes[use.node].mesh = mesh;
            }
            meshTaken[use.mesh] = 1;
            drawn = meshOfNode.emplace(use.node, mesh).first;
        }
        const tinygltf::Primitive& from = original.meshes[use.mesh].primitives[use.primitive];
        tinygltf::Primitive& to = doc.meshes[drawn->second].primitives[use.primitive];
        const std::string where = "model file " + source.fileName + ": mesh " + std::to_string(use.mesh) + " (" +
                                  original.meshes[use.mesh].name + "), primitive " + std::to_string(use.primitive);

        const SplitVertices split = splitVertices(use, atlas);
        for (const auto& [name, accessor] : from.attributes)
            to.attributes[name] = carryAttribute(doc, original, accessor, split, name == "POSITION", where);
        for (std::size_t t = 0; t < from.targets.size(); ++t) {
            for (const auto& [name, accessor] : from.targets[t])
                to.targets[t][name] = carryAttribute(doc, original, accessor, split, name == "POSITION",
                                                     where + ", morph target " + std::to_string(t));
        }
        const int coordinates = atlasAccessor(doc, split);
        for (int n = texcoordSets(from); n <= set; ++n) to.attributes["TEXCOORD_" + std::to_string(n)] = coordinates;
        to.indices = indexAccessor(doc, split);
        to.mode = TINYGLTF_MODE_TRIANGLES;

        if (to.material < 0 || to.material >= static_cast<int>(doc.materials.size())) {
            if (defaultMaterial < 0) {
                doc.materials.emplace_back();  // glTF's default material
                defaultMaterial = static_cast<int>(doc.materials.size()) - 1;
            }
            to.material = defaultMaterial;
        }
        litMaterials.push_back(to.material);
    }
    std::sort(litMaterials.begin(), litMaterials.end());
    litMaterials.erase(std::unique(litMaterials.begin(), litMaterials.end()), litMaterials.end());
    return set;
}
