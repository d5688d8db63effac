// --gltf-lightmap on scenes written by Blender's exporters (and a text
// model), read back by clients nobody here wrote: the Khronos validator,
// Assimp (both texture coordinate sets, the input's vertex attributes corner
// by corner), nlohmann-json (the document's own properties kept), libpng and
// OpenEXR (the lightmap against the --irradiance atlas of the same run).

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ExportReaders.h"
#include "GltfValidator.h"
#include "PngImage.h"
#include "SceneFileBytes.h"
#include "TestSupport.h"

using namespace testsupport;
using nlohmann::json;

namespace {

std::string fixture(const std::string& name) { return std::string(GLOWBAKE_SOURCE_DIR) + "/tests/fixtures/" + name; }

// A glTF's JSON and buffer 0 (the .glb's binary chunk, or the file its URI
// names beside a .gltf).
struct GltfContent {
    json doc;
    std::string bin;
};

GltfContent readGltf(const std::string& path) {
    GltfContent content;
    const std::string bytes = readFile(path);
    if (bytes.compare(0, 4, "glTF") == 0) {
        std::uint32_t jsonLength = 0, binLength = 0;
        std::memcpy(&jsonLength, bytes.data() + 12, 4);
        content.doc = json::parse(bytes.substr(20, jsonLength));
        if (bytes.size() > 28 + jsonLength) {
            std::memcpy(&binLength, bytes.data() + 20 + jsonLength, 4);
            content.bin = bytes.substr(28 + jsonLength, binLength);
        }
    } else {
        content.doc = json::parse(bytes);
        const json& buffers = content.doc.value("buffers", json::array());
        if (!buffers.empty() && buffers[0].contains("uri"))
            content.bin = readFile(
                (std::filesystem::path(path).parent_path() / buffers[0]["uri"].get<std::string>()).string());
    }
    return content;
}

// The bytes of image `index`: its buffer view, or the file it names.
std::string imageBytes(const GltfContent& g, const std::string& path, int index) {
    const json& image = g.doc["images"][index];
    if (image.contains("uri"))
        return readFile((std::filesystem::path(path).parent_path() / image["uri"].get<std::string>()).string());
    const json& view = g.doc["bufferViews"][image["bufferView"].get<int>()];
    return g.bin.substr(view.value("byteOffset", 0), view["byteLength"].get<std::size_t>());
}

// Every triangle corner of an Assimp scene, walking its nodes depth first:
// the position (node transforms applied), and the normal and first texture
// coordinates when the mesh has them.
struct Corner {
    aiVector3D position, normal, uv0, uv1;
    bool hasNormal = false, hasUv0 = false, hasUv1 = false;
};

void collectCorners(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent, std::vector<Corner>& out) {
    const aiMatrix4x4 world = parent * node->mTransformation;
    for (unsigned m = 0; m < node->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            if (mesh->mFaces[f].mNumIndices != 3) continue;
            for (int k = 0; k < 3; ++k) {
                const unsigned i = mesh->mFaces[f].mIndices[k];
                Corner c;
                c.position = world * mesh->mVertices[i];
                if ((c.hasNormal = mesh->HasNormals())) c.normal = mesh->mNormals[i];
                if ((c.hasUv0 = mesh->HasTextureCoords(0))) c.uv0 = mesh->mTextureCoords[0][i];
                if ((c.hasUv1 = mesh->HasTextureCoords(1))) c.uv1 = mesh->mTextureCoords[1][i];
                out.push_back(c);
            }
        }
    }
    for (unsigned c = 0; c < node->mNumChildren; ++c) collectCorners(scene, node->mChildren[c], world, out);
}

std::vector<Corner> cornersOf(const std::string& path) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
    std::vector<Corner> corners;
    if (scene && scene->mRootNode) collectCorners(scene, scene->mRootNode, aiMatrix4x4(), corners);
    return corners;
}

bool near(const aiVector3D& a, const aiVector3D& b, float tolerance) {
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

// `object` without the members named.
json without(json object, std::initializer_list<const char*> names) {
    for (const char* name : names) object.erase(name);
    return object;
}

double srgbToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

struct Case {
    const char* model;
    const char* output;
    bool givenBack;       // a glTF input: its own document comes back
    bool lit;             // something in it receives light
    const char* texture;  // a texture file of the input, to be found in the output; or null
    const char* area;     // -a, for a few hundred groups
};

const Case kCases[] = {
    // The furnished room: a checker texture, smooth normals, a child node,
    // one mesh drawn by two nodes.
    {"room.glb", "lit.glb", true, true, nullptr, "0.5"},
    {"cornell.gltf", "lit.gltf", true, true, nullptr, "40"},  // a .gltf and .bin; out with .bin and .png beside
    {"cornell.obj", "lit.glb", false, true, nullptr, "40"},
    {"textured_quad.obj", "lit.gltf", false, false, "quad_texture.png", "1"},
    {"table.mdl", "lit.glb", false, true, nullptr, "0.5"},
};

}  // namespace

TEST(GltfLightmap, SceneComesBackWithItsMaterialsAndTheIrradianceAsLightmap) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.model);
        ScratchDir dir;
        const std::string out = dir.file(c.output);
        const RunResult run =
            runGlowbake(dir.path.string(),
                        {"-m", fixture(c.model), "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-o", "scene.out", "-w", "0.05", "-a",
                         c.area, "-i", "0.01", "-s", "1000", "-t", "16", "--irradiance", "irradiance.exr",
                         "--gltf-lightmap", c.output});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("written: irradiance.exr " + std::string(c.output)), std::string::npos) << run.out;
        std::string report;
        EXPECT_TRUE(gltfValidatorClean({out}, report)) << report;

        const GltfContent g = readGltf(out);
        const json& doc = g.doc;

        // Every corner where the input has it, with its normal and first
        // texture coordinates, now with lightmap coordinates: its texel
        // corner in the scene file's texture of its triangle (the anchor) in
        // that triangle's chart, each triangle a chart of its own.
        const std::vector<Corner> lit = cornersOf(out);
        const std::vector<Corner> given = c.givenBack || std::string(c.model) != "table.mdl"
                                              ? cornersOf(fixture(c.model)) : lit;
        const SceneFile sceneFile = parseSceneFile(readFile(dir.file("scene.out")));
        ASSERT_FALSE(lit.empty());
        ASSERT_EQ(lit.size(), given.size());
        ASSERT_EQ(lit.size(), 3 * sceneFile.patches.size());
        FloatImage irradiance;
        ASSERT_TRUE(readExr(dir.file("irradiance.exr"), irradiance));
        std::set<std::tuple<long, long>> charts;
        std::tuple<long, long> chart;
        for (std::size_t i = 0; i < lit.size(); ++i) {
            ASSERT_TRUE(lit[i].hasUv1) << i;
            // Glowbake's corners (flattened transforms) are those of the input, up to rounding.
            EXPECT_TRUE(near(lit[i].position, given[i].position, 1e-5f)) << i;
            const SceneRecord& patch = sceneFile.patches[i / 3];
            int t = -1;
            for (int k = 0; k < 3; ++k) {
                const aiVector3D p(static_cast<float>(patch.corners[k][0]), static_cast<float>(patch.corners[k][1]),
                                   static_cast<float>(patch.corners[k][2]));
                if (near(lit[i].position, p, 1e-5f)) t = k;
            }
            ASSERT_GE(t, 0) << i;
            // Assimp counts v up from the picture's bottom row, glTF down from its first row.
            const long column = std::lround(lit[i].uv1.x * irradiance.width);
            const long row = std::lround((1.0f - lit[i].uv1.y) * irradiance.height);
            const std::tuple<long, long> at{column - patch.anchors[2 * t], row - patch.anchors[2 * t + 1]};
            if (i % 3 == 0) {
                chart = at;
                EXPECT_TRUE(charts.insert(at).second) << "triangle " << i / 3 << " shares a chart";
            }
            EXPECT_EQ(at, chart) << i;
            if (given[i].hasNormal) {
                EXPECT_TRUE(near(lit[i].normal, given[i].normal, c.givenBack ? 0 : 1e-5f)) << i;
            }
            if (given[i].hasUv0) {
                EXPECT_TRUE(lit[i].hasUv0 && near(lit[i].uv0, given[i].uv0, 1e-6f)) << i;
            }
        }

        EXPECT_NE(std::find(doc["extensionsUsed"].begin(), doc["extensionsUsed"].end(), "MOZ_lightmap"),
                  doc["extensionsUsed"].end());
        const json required = doc.value("extensionsRequired", json::array());
        EXPECT_EQ(std::find(required.begin(), required.end(), "MOZ_lightmap"), required.end());
        if (c.givenBack) {
            // The document's own properties, as they were: nodes (a mesh
            // drawn twice is a copy the second time), materials beside
            // their lightmap, textures, samplers and the images' bytes.
            const std::string input = fixture(c.model);
            const GltfContent original = readGltf(input);
            const json& before = original.doc;
            ASSERT_EQ(doc["nodes"].size(), before["nodes"].size());
            for (std::size_t n = 0; n < before["nodes"].size(); ++n)
                EXPECT_EQ(without(doc["nodes"][n], {"mesh"}), without(before["nodes"][n], {"mesh"})) << n;
            EXPECT_EQ(without(doc["scenes"][0], {"extras"}), before["scenes"][0]);
            EXPECT_EQ(doc.value("extensions", json()), before.value("extensions", json()));
            EXPECT_EQ(required, before.value("extensionsRequired", json::array()));
            // Animations the same, on data that may have moved in the buffer.
            const auto data = [](const GltfContent& content, int accessor) {  // tightly packed, as Blender writes it
                const json& a = content.doc["accessors"][accessor];
                const json& view = content.doc["bufferViews"][a["bufferView"].get<int>()];
                const std::string type = a["type"];
                const int components = type == "SCALAR" ? 1 : type == "VEC2" ? 2 : type == "VEC3" ? 3 : 4;
                const int componentType = a["componentType"];
                const int bytes = componentType == 5126 || componentType == 5125 ? 4 : componentType > 5121 ? 2 : 1;
                return content.bin.substr(view.value("byteOffset", 0) + a.value("byteOffset", 0),
                                        a["count"].get<std::size_t>() * components * bytes);
            };
            ASSERT_EQ(doc.value("animations", json::array()).size(), before.value("animations", json::array()).size());
            for (std::size_t a = 0; a < before.value("animations", json::array()).size(); ++a) {
                EXPECT_EQ(doc["animations"][a]["channels"], before["animations"][a]["channels"]);
                for (std::size_t i = 0; i < before["animations"][a]["samplers"].size(); ++i) {
                    const json& now = doc["animations"][a]["samplers"][i];
                    const json& was = before["animations"][a]["samplers"][i];
                    for (const char* key : {"input", "output"})
                        EXPECT_TRUE(data(g, now[key]) == data(original, was[key])) << "animation " << a << " " << key;
                }
            }
            ASSERT_EQ(doc["materials"].size(), before["materials"].size());
            for (std::size_t m = 0; m < before["materials"].size(); ++m) {
                json material = doc["materials"][m];
                material["extensions"].erase("MOZ_lightmap");
                if (material["extensions"].empty()) material.erase("extensions");
                EXPECT_EQ(material, before["materials"][m]) << m;
            }
            for (const char* kind : {"textures", "samplers"}) {
                const json none = json::array();
                const json& was = before.value(kind, none);
                ASSERT_GT(doc.value(kind, none).size(), was.size()) << kind;  // and the lightmap's
                for (std::size_t i = 0; i < was.size(); ++i) {
                    json now = doc[kind][i];
                    if (std::string(kind) == "samplers")  // written out at glTF's default
                        for (const char* wrap : {"wrapS", "wrapT"})
                            if (!was[i].contains(wrap) && now.value(wrap, 0) == 10497) now.erase(wrap);
                    EXPECT_EQ(now, was[i]) << kind << " " << i;
                }
            }
            for (std::size_t i = 0; i < before.value("images", json::array()).size(); ++i)
                EXPECT_TRUE(imageBytes(g, out, static_cast<int>(i)) ==
                            imageBytes(original, input, static_cast<int>(i)));
        }

        if (c.texture) {
            bool found = false;
            for (std::size_t i = 0; i < doc["images"].size(); ++i)
                found = found || imageBytes(g, out, static_cast<int>(i)) == readFile(fixture(c.texture));
            EXPECT_TRUE(found) << c.texture;
        }

        // The lightmap is the irradiance atlas: 8-bit sRGB times
        // intensity / pi, within a level of its brightest texel.
        const json* lightmap = nullptr;
        for (const json& material : doc["materials"]) {
            ASSERT_TRUE(material.contains("extensions") && material["extensions"].contains("MOZ_lightmap"));
            const json& m = material["extensions"]["MOZ_lightmap"];
            EXPECT_EQ(m["texCoord"], 1);
            if (lightmap) {
                EXPECT_EQ(m, *lightmap);
            }
            lightmap = &m;
        }
        ASSERT_TRUE(lightmap);
        const int image = doc["textures"][(*lightmap)["index"].get<int>()]["source"];
        PngImage png;
        ASSERT_TRUE(decodePng(imageBytes(g, out, image), png));
        ASSERT_EQ(png.width, irradiance.width);
        ASSERT_EQ(png.height, irradiance.height);
        const double scale = (*lightmap)["intensity"].get<double>() / std::acos(-1.0);
        float brightest = 0.0f;
        for (float v : irradiance.rgb) brightest = std::max(brightest, v);
        EXPECT_EQ(brightest > 0.0f, c.lit);
        EXPECT_NEAR(scale, brightest, 1e-6 * brightest);
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    ASSERT_NEAR(srgbToLinear(png.pixel(x, y)[ch] / 255.0) * scale, irradiance.pixel(x, y)[ch],
                                0.012 * brightest) << x << "," << y;
    }
}

// A glTF that cannot be given back is refused before the solve, naming the
// file and why, and the user's files stay as they were.
TEST(GltfLightmap, DocumentThatCannotBeGivenBackIsRefusedBeforeTheSolve) {
    struct Refusal {
        const char* what;
        std::function<void(const ScratchDir&)> make;  // writes quad.gltf and what it needs into the folder
        const char* message;
    };
    const auto copy = [](const ScratchDir& dir, const char* name) {
        std::filesystem::copy_file(fixture(name), dir.file(name));
    };
    const std::vector<Refusal> refusals = {
        {"compressed geometry",
         [&](const ScratchDir& dir) {
             json doc = json::parse(readFile(fixture("textured_quad.gltf")));
             doc["extensionsUsed"] = {"KHR_draco_mesh_compression"};
             writeFile(dir.file("quad.gltf"), doc.dump());
             copy(dir, "textured_quad.bin");
             copy(dir, "quad_texture.png");
         },
         "model file quad.gltf: it uses KHR_draco_mesh_compression (compressed geometry), which --gltf-lightmap "
         "cannot give back"},
        {"an image left behind",
         [&](const ScratchDir& dir) {
             std::filesystem::copy_file(fixture("textured_quad.gltf"), dir.file("quad.gltf"));
             copy(dir, "textured_quad.bin");
         },
         "model file quad.gltf: image 0 (quad_texture.png) cannot be read, so --gltf-lightmap cannot give it back"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        ScratchDir dir;
        r.make(dir);
        writeFile(dir.file("lit.glb"), "old");
        const auto before = std::distance(std::filesystem::directory_iterator(dir.path), {});
        const RunResult run = runGlowbake(
            dir.path.string(), {"-m", "quad.gltf", "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-o", "scene.out", "-w", "0.05",
                                "-a", "1", "-i", "0.01", "-s", "1000", "--gltf-lightmap", "lit.glb"});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("Glowbake: error: " + std::string(r.message)), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Projecting"), std::string::npos);
        EXPECT_EQ(readFile(dir.file("lit.glb")), "old");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), before);
    }
}
