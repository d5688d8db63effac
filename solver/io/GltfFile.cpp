#include "GltfFile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "GlowbakeError.h"

namespace {

constexpr int kFloat = 5126;         // componentType FLOAT
constexpr int kArrayBuffer = 34962;  // bufferView target for vertex attributes
constexpr int kLinear = 9729;
constexpr int kClampToEdge = 33071;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

std::string quoted(const std::string& s) {
    std::string q = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            q += '\\';
            q += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            q += escape;
        } else {
            q += static_cast<char>(c);
        }
    }
    return q + "\"";
}

struct BinaryBuffer {
    std::vector<std::uint8_t> bytes;
    std::string views;  // JSON objects of the buffer views, comma-separated
    int viewCount = 0;

    // Appends data at a 4-byte boundary as a new buffer view; returns its index.
    int addView(const void* data, size_t size, int stride, bool vertexData) {
        while (bytes.size() % 4 != 0) bytes.push_back(0);
        const size_t offset = bytes.size();
        const auto* from = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), from, from + size);
        if (viewCount > 0) views += ",";
        views += "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                 ",\"byteLength\":" + std::to_string(size);
        if (stride > 0) views += ",\"byteStride\":" + std::to_string(stride);
        if (vertexData) views += ",\"target\":" + std::to_string(kArrayBuffer);
        views += "}";
        return viewCount++;
    }
    void pad() {
        while (bytes.size() % 4 != 0) bytes.push_back(0);
    }
};

// Unit normal of the model's triangle a, b, c: normalise((c - a) x (b - a)),
// pointing to its lit side; (0, 0, 1) for a degenerate triangle.
void flatNormal(const float* t, float* n) {
    const double e1[3] = {static_cast<double>(t[6]) - t[0], static_cast<double>(t[7]) - t[1],
                          static_cast<double>(t[8]) - t[2]};
    const double e2[3] = {static_cast<double>(t[3]) - t[0], static_cast<double>(t[4]) - t[1],
                          static_cast<double>(t[5]) - t[2]};
    const double x = e1[1] * e2[2] - e1[2] * e2[1];
    const double y = e1[2] * e2[0] - e1[0] * e2[2];
    const double z = e1[0] * e2[1] - e1[1] * e2[0];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(length)) {
        n[0] = 0.0f;
        n[1] = 0.0f;
        n[2] = 1.0f;
        return;
    }
    n[0] = static_cast<float>(x / length);
    n[1] = static_cast<float>(y / length);
    n[2] = static_cast<float>(z / length);
}

// The JSON of the scene with its vertex data appended to `buffer`;
// `imageSource` is the image's JSON body (a buffer view or a URI);
// `bufferUri` is empty for a .glb.
std::string sceneJson(const GltfScene& scene, BinaryBuffer& buffer, const std::string& bufferUri,
                      const std::string& pngUri) {
    std::string nodes, meshes, materials, accessors, nodeList;
    int accessorCount = 0;
    int meshIndex = 0;
    auto addAccessor = [&](int view, size_t count, const char* type, const std::string& bounds) {
        if (accessorCount > 0) accessors += ",";
        accessors += "{\"bufferView\":" + std::to_string(view) + ",\"componentType\":" + std::to_string(kFloat) +
                     ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + bounds + "}";
        return accessorCount++;
    };
    for (const GltfMesh& mesh : scene.meshes) {
        const size_t triangles = mesh.corners.size() / 9;
        if (triangles == 0) continue;
        // Corners 0, 2, 1 of every triangle: counter-clockwise seen from the lit side.
        const int order[3] = {0, 2, 1};
        std::vector<float> positions, normals, uvs;
        positions.reserve(triangles * 9);
        normals.reserve(triangles * 9);
        uvs.reserve(triangles * 6);
        float lo[3] = {mesh.corners[0], mesh.corners[1], mesh.corners[2]};
        float hi[3] = {lo[0], lo[1], lo[2]};
        for (size_t t = 0; t < triangles; ++t) {
            const float* tri = &mesh.corners[t * 9];
            float n[3];
            flatNormal(tri, n);
            for (int k : order) {
                for (int a = 0; a < 3; ++a) {
                    const float v = tri[k * 3 + a];
                    positions.push_back(v);
                    normals.push_back(n[a]);
                    if (v < lo[a]) lo[a] = v;
                    if (v > hi[a]) hi[a] = v;
                }
                uvs.push_back(mesh.texcoords[t * 6 + k * 2]);
                uvs.push_back(mesh.texcoords[t * 6 + k * 2 + 1]);
            }
        }
        const size_t vertices = triangles * 3;
        const int positionView = buffer.addView(positions.data(), positions.size() * 4, 12, true);
        const int normalView = buffer.addView(normals.data(), normals.size() * 4, 12, true);
        const int uvView = buffer.addView(uvs.data(), uvs.size() * 4, 8, true);
        const std::string bounds = ",\"min\":[" + number(lo[0]) + "," + number(lo[1]) + "," + number(lo[2]) +
                                   "],\"max\":[" + number(hi[0]) + "," + number(hi[1]) + "," + number(hi[2]) + "]";
        const int position = addAccessor(positionView, vertices, "VEC3", bounds);
        const int normal = addAccessor(normalView, vertices, "VEC3", "");
        const int uv0 = addAccessor(uvView, vertices, "VEC2", "");
        const int uv1 = addAccessor(uvView, vertices, "VEC2", "");

        const std::string index = std::to_string(meshIndex);
        const std::string separator = meshIndex > 0 ? "," : "";
        nodeList += separator + index;
        nodes += separator + "{\"name\":" + quoted(mesh.name) + ",\"mesh\":" + index + "}";
        meshes += separator + "{\"name\":" + quoted(mesh.name) + ",\"primitives\":[{\"attributes\":{\"POSITION\":" +
                  std::to_string(position) + ",\"NORMAL\":" + std::to_string(normal) +
                  ",\"TEXCOORD_0\":" + std::to_string(uv0) + ",\"TEXCOORD_1\":" + std::to_string(uv1) +
                  "},\"material\":" + index + ",\"mode\":4}]}";
        materials += separator + "{\"name\":" + quoted(mesh.material) +
                     ",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0,\"texCoord\":0},"
                     "\"metallicFactor\":0,\"roughnessFactor\":1},"
                     "\"extensions\":{\"KHR_materials_unlit\":{}}}";
        ++meshIndex;
    }

    std::string json = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Glowbake 1.0\"}";
    // A model without triangles: an empty scene, nothing else to refer to.
    if (meshIndex == 0) return json + ",\"scene\":0,\"scenes\":[{}]}";

    std::string image;
    if (pngUri.empty()) {
        const int view = buffer.addView(scene.png.data(), scene.png.size(), 0, false);
        image = "{\"bufferView\":" + std::to_string(view) + ",\"mimeType\":\"image/png\"}";
    } else {
        image = "{\"uri\":" + quoted(gltfUri(pngUri)) + "}";
    }
    buffer.pad();

    json += ",\"extensionsUsed\":[\"KHR_materials_unlit\"]";
    json += ",\"scene\":0,\"scenes\":[{\"nodes\":[" + nodeList + "]}]";
    json += ",\"nodes\":[" + nodes + "]";
    json += ",\"meshes\":[" + meshes + "]";
    json += ",\"materials\":[" + materials + "]";
    json += ",\"textures\":[{\"sampler\":0,\"source\":0}]";
    json += ",\"samplers\":[{\"magFilter\":" + std::to_string(kLinear) + ",\"minFilter\":" + std::to_string(kLinear) +
            ",\"wrapS\":" + std::to_string(kClampToEdge) + ",\"wrapT\":" + std::to_string(kClampToEdge) + "}]";
    json += ",\"images\":[" + image + "]";
    json += ",\"buffers\":[{\"byteLength\":" + std::to_string(buffer.bytes.size());
    if (!bufferUri.empty()) json += ",\"uri\":" + quoted(gltfUri(bufferUri));
    json += "}]";
    json += ",\"bufferViews\":[" + buffer.views + "]";
    json += ",\"accessors\":[" + accessors + "]";
    return json + "}";
}

}  // namespace

std::vector<std::uint8_t> encodeGlb(const GltfScene& scene) {
    BinaryBuffer buffer;
    std::string json = sceneJson(scene, buffer, "", "");
    return glbContainer(std::move(json), std::move(buffer.bytes));
}

GltfText encodeGltfText(const GltfScene& scene, const std::string& binName, const std::string& pngName) {
    BinaryBuffer buffer;
    GltfText text;
    text.json = sceneJson(scene, buffer, binName, pngName);
    text.bin = std::move(buffer.bytes);
    return text;
}

// A relative URI for a file name: everything but unreserved characters
// percent-encoded.
std::string gltfUri(const std::string& name) {
    std::string uri;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            uri += escape;
        }
    }
    return uri;
}

namespace {

void putLittle32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> glbContainer(std::string json, std::vector<std::uint8_t> bin) {
    while (json.size() % 4 != 0) json += ' ';
    while (bin.size() % 4 != 0) bin.push_back(0);
    const std::size_t total = 12 + 8 + json.size() + (bin.empty() ? 0 : 8 + bin.size());
    if (total > std::numeric_limits<std::uint32_t>::max())
        throw GlowbakeError("the .glb would be 4 GiB or larger, more than the format can hold");
    std::vector<std::uint8_t> glb;
    glb.reserve(total);
    putLittle32(glb, 0x46546C67u);  // "glTF"
    putLittle32(glb, 2);
    putLittle32(glb, static_cast<std::uint32_t>(total));
    putLittle32(glb, static_cast<std::uint32_t>(json.size()));
    putLittle32(glb, 0x4E4F534Au);  // "JSON"
    glb.insert(glb.end(), json.begin(), json.end());
    if (!bin.empty()) {
        putLittle32(glb, static_cast<std::uint32_t>(bin.size()));
        putLittle32(glb, 0x004E4942u);  // "BIN"
        glb.insert(glb.end(), bin.begin(), bin.end());
    }
    return glb;
}
