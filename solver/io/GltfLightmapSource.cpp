#include "GltfLightmapSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "GlowbakeError.h"
#include "GltfDocument.h"
#include "GltfEmissiveStrength.h"

namespace {

// An affine transform, row-major, the last column the translation.
struct Affine {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    Affine then(const Affine& local) const {
        Affine out;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                double v = c == 3 ? m[r][3] : 0.0;
                for (int k = 0; k < 3; ++k) v += m[r][k] * local.m[k][c];
                out.m[r][c] = v;
            }
        }
        return out;
    }
};

// A node's own transform: its matrix (column-major), or translation x
// rotation x scale.
Affine localTransform(const tinygltf::Node& node) {
    Affine a;
    if (node.matrix.size() == 16) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) a.m[r][c] = node.matrix[c * 4 + r];
        return a;
    }
    double s[3] = {1, 1, 1}, q[4] = {0, 0, 0, 1};
    if (node.scale.size() == 3) std::copy(node.scale.begin(), node.scale.end(), s);
    if (node.rotation.size() == 4) std::copy(node.rotation.begin(), node.rotation.end(), q);
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double rotation[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                                   {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                                   {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) a.m[r][c] = rotation[r][c] * s[c];
        a.m[r][3] = node.translation.size() == 3 ? node.translation[r] : 0.0;
    }
    return a;
}

// The vertex indices of a triangle primitive, three per triangle.
std::vector<std::uint32_t> triangleCorners(const tinygltf::Model& doc, const tinygltf::Primitive& primitive,
                                           std::size_t vertexCount, const std::string& where) {
    std::vector<std::uint32_t> list;
    if (primitive.indices >= 0) {
        const std::vector<std::uint8_t> bytes = accessorElements(doc, primitive.indices, where + ", indices");
        const tinygltf::Accessor& a = doc.accessors[static_cast<std::size_t>(primitive.indices)];
        const std::size_t size = elementBytes(a);
        if (a.type != TINYGLTF_TYPE_SCALAR ||
            (a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
             a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
             a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
            throw GlowbakeError(where + ": its indices are not unsigned whole numbers");
        for (std::size_t i = 0; i < a.count; ++i) {
            std::uint32_t v = 0;
            std::memcpy(&v, &bytes[i * size], size);  // little-endian, as glTF stores it
            list.push_back(v);
        }
    } else {
        for (std::size_t i = 0; i < vertexCount; ++i) list.push_back(static_cast<std::uint32_t>(i));
    }
    for (std::uint32_t v : list)
        if (v >= vertexCount) throw GlowbakeError(where + ": an index is past the last vertex");
    std::vector<std::uint32_t> corners;
    const std::size_t n = list.size();
    const int mode = primitive.mode < 0 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
    if (mode == TINYGLTF_MODE_TRIANGLES) {
        corners.assign(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(n / 3 * 3));
    } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
        for (std::size_t i = 0; i + 2 < n; ++i) {
            const std::size_t odd = i % 2;
            corners.insert(corners.end(), {list[i], list[i + 1 + odd], list[i + 2 - odd]});
        }
    } else if (mode == TINYGLTF_MODE_TRIANGLE_FAN) {
        for (std::size_t i = 1; i + 1 < n; ++i) corners.insert(corners.end(), {list[i], list[i + 1], list[0]});
    }
    return corners;
}

bool isTriangles(const tinygltf::Primitive& p) {
    return p.mode < 0 || p.mode == TINYGLTF_MODE_TRIANGLES || p.mode == TINYGLTF_MODE_TRIANGLE_STRIP ||
           p.mode == TINYGLTF_MODE_TRIANGLE_FAN;
}

// Walks the default scene as the importer does and matches every triangle
// with the patch the importer made of it.
struct SceneMatcher {
    const tinygltf::Model& doc;
    const Model& model;
    const std::string& fileName;
    std::vector<GltfPrimitiveUse>& uses;
    std::vector<char> visited;
    std::size_t nextPatch = 0;
    double tolerance = 0.0;

    [[noreturn]] void mismatch(const std::string& where) const {
        throw GlowbakeError("model file " + fileName + ": " + where +
                            " is not the triangle the importer read there, so its lightmap cannot be placed; "
                            "--gltf-lightmap cannot give this file back");
    }

    void matchPrimitive(int node, int mesh, int p, const Affine& world) {
        const tinygltf::Primitive& primitive = doc.meshes[mesh].primitives[p];
        const std::string where =
            "mesh " + std::to_string(mesh) + " (" + doc.meshes[mesh].name + "), primitive " + std::to_string(p);
        const std::string inFile = "model file " + fileName + ": " + where;
        const auto position = primitive.attributes.find("POSITION");
        if (position == primitive.attributes.end()) throw GlowbakeError(inFile + " has no POSITION");
        const std::vector<std::uint8_t> bytes = accessorElements(doc, position->second, inFile);
        const tinygltf::Accessor& a = doc.accessors[position->second];
        if (a.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT || a.type != TINYGLTF_TYPE_VEC3)
            throw GlowbakeError(inFile +
                                ": its POSITION is not three floats (quantized positions cannot be given back)");
        GltfPrimitiveUse use;
        use.node = node;
        use.mesh = mesh;
        use.primitive = p;
        use.firstPatch = static_cast<int>(nextPatch);
        use.corners = triangleCorners(doc, primitive, a.count, inFile);
        use.patchCorner.resize(use.corners.size());
        for (std::size_t t = 0; t * 3 < use.corners.size(); ++t) {
            const std::string triangle = where + ", triangle " + std::to_string(t) + " under node " +
                                         std::to_string(node) + " (" + doc.nodes[node].name + ")";
            if (nextPatch >= model.patches.size()) mismatch(triangle);
            const Tri& patch = model.patches[nextPatch++];
            for (int k = 0; k < 3; ++k) {
                float local[3];
                std::memcpy(local, &bytes[static_cast<std::size_t>(use.corners[t * 3 + k]) * 12], 12);
                double p3[3];
                for (int r = 0; r < 3; ++r) {
                    p3[r] = world.m[r][0] * local[0] + world.m[r][1] * local[1] + world.m[r][2] * local[2] +
                            world.m[r][3];
                }
                int best = 0;
                double bestDistance = HUGE_VAL;
                for (int c = 0; c < 3; ++c) {
                    const Vec3& v = patch.vertices[c];
                    const double d = std::fabs(v.x - p3[0]) + std::fabs(v.y - p3[1]) + std::fabs(v.z - p3[2]);
                    if (d < bestDistance) bestDistance = d, best = c;
                }
                const double scale = std::fabs(p3[0]) + std::fabs(p3[1]) + std::fabs(p3[2]);
                if (!(bestDistance <= tolerance + 1e-6 * scale)) mismatch(triangle);
                use.patchCorner[t * 3 + k] = static_cast<std::uint8_t>(best);
            }
        }
        uses.push_back(std::move(use));
    }

    void walk(int node, const Affine& parent, int depth) {
        if (node < 0 || node >= static_cast<int>(doc.nodes.size()))
            throw GlowbakeError("model file " + fileName + ": the scene names node " + std::to_string(node) +
                                ", which does not exist");
        if (visited[node] || depth > 1000)
            throw GlowbakeError("model file " + fileName + ": node " + std::to_string(node) +
                                " is reached twice in the scene's node tree");
        visited[node] = 1;
        const tinygltf::Node& n = doc.nodes[node];
        const Affine world = parent.then(localTransform(n));
        if (n.mesh >= 0) {
            if (n.mesh >= static_cast<int>(doc.meshes.size()))
                throw GlowbakeError("model file " + fileName + ": node " + std::to_string(node) +
                                    " names a mesh that does not exist");
            const std::vector<tinygltf::Primitive>& primitives = doc.meshes[n.mesh].primitives;
            for (std::size_t p = 0; p < primitives.size(); ++p)
                if (isTriangles(primitives[p])) matchPrimitive(node, n.mesh, static_cast<int>(p), world);
        }
        for (int child : n.children) walk(child, world, depth + 1);
    }
};

double diagonalOf(const Model& model) {
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Tri& t : model.patches) {
        for (const Vec3& v : t.vertices) {
            const double p[3] = {v.x, v.y, v.z};
            for (int k = 0; k < 3; ++k) low[k] = std::min(low[k], p[k]), high[k] = std::max(high[k], p[k]);
        }
    }
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) sum += (high[k] - low[k]) * (high[k] - low[k]);
    return model.patches.empty() ? 0.0 : std::sqrt(sum);
}

}  // namespace

SceneSurfaces* surfacesToRead(const ExportSettings& settings, const std::string& modelFile,
                              GltfLightmapSource& source) {
    if (settings.gltfLightmapFile.empty() || isGltfName(modelFile)) return nullptr;
    return &source.surfaces;
}

void readGltfLightmapSource(const ExportSettings& settings, const std::string& modelFile, const Model& model,
                            GltfLightmapSource& source) {
    if (settings.gltfLightmapFile.empty()) return;
    source.fileName = modelFile;
    if (!isGltfName(modelFile)) {
        if (source.surfaces.patchMaterial.size() != model.patches.size()) source.surfaces = surfacesOfColors(model);
        return;
    }
    auto doc = std::make_shared<tinygltf::Model>(readGltfDocument(modelFile));
    for (const char* compressed : {"KHR_draco_mesh_compression", "EXT_meshopt_compression"}) {
        if (std::find(doc->extensionsUsed.begin(), doc->extensionsUsed.end(), compressed) != doc->extensionsUsed.end())
            throw GlowbakeError("model file " + modelFile + ": it uses " + compressed +
                                " (compressed geometry), which --gltf-lightmap cannot give back; export the scene "
                                "without compression");
    }
    if (doc->scenes.empty()) throw GlowbakeError("model file " + modelFile + ": the glTF document has no scene");
    const int scene = doc->defaultScene >= 0 && doc->defaultScene < static_cast<int>(doc->scenes.size())
                          ? doc->defaultScene : 0;
    SceneMatcher matcher{*doc, model, modelFile, source.uses, std::vector<char>(doc->nodes.size(), 0)};
    matcher.tolerance = 1e-5 * diagonalOf(model);
    for (int node : doc->scenes[scene].nodes) matcher.walk(node, Affine(), 0);
    if (matcher.nextPatch != model.patches.size())
        throw GlowbakeError("model file " + modelFile + ": the importer read " + std::to_string(model.patches.size()) +
                            " triangles, the glTF document's scene holds " + std::to_string(matcher.nextPatch) +
                            "; --gltf-lightmap cannot give this file back");
    source.document = std::move(doc);
}
