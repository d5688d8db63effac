#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <cmath>
#include <string>
#include <vector>

#include "DisplayMapping.h"
#include "ExportReaders.h"
#include "LightmapExport.h"
#include "PngImage.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

// Three patches in two meshes; every chart is one flat colour, so every
// reader's texels can be checked against it.
struct Fixture {
    ExportScene scene;
    std::vector<ChartSize> charts = {{8, 8}, {4, 4}, {16, 16}};
    std::vector<std::vector<float>> colors = {{0.1f, 0.2f, 0.3f}, {0.05f, 0.4f, 0.02f}, {12.0f, 10.0f, 8.0f}};

    Fixture() {
        // Lit side up (+y): seen from above, the corners run clockwise.
        scene.corners = {0, 0, 0, 0, 0, 4, 4, 0, 0,   4, 0, 0, 0, 0, 4, 4, 0, 4,   1, 3, 1, 1, 3, 2, 2, 3, 1};
        scene.corners[19] = 3;
        // The lamp faces down: its corners run clockwise seen from below.
        scene.corners = {0, 0, 0, 0, 0, 4, 4, 0, 0,   4, 0, 0, 0, 0, 4, 4, 0, 4,   1, 3, 1, 2, 3, 1, 1, 3, 2};
        scene.anchors = {0, 0, 0, 7, 7, 0,   3, 0, 0, 3, 3, 3,   1, 1, 14, 1, 1, 14};
        scene.meshes = {{"floor \"tiles\"", 0, 2}, {"lamp", 2, 1}};
        if (!packAtlas(charts, kMaxAtlasSide, scene.layout)) throw std::runtime_error("pack");
        scene.radiosity = LinearImage(scene.layout.wide, scene.layout.high);
        scene.irradiance = LinearImage(scene.layout.wide, scene.layout.high);
        for (int p = 0; p < 3; ++p) {
            const size_t n = static_cast<size_t>(charts[p].wide) * charts[p].high;
            std::vector<float> chart, arriving;
            for (size_t i = 0; i < n; ++i) {
                for (int c = 0; c < 3; ++c) {
                    chart.push_back(colors[p][c]);
                    arriving.push_back(colors[p][c] * 0.5f);
                }
            }
            placeChart(scene.radiosity, scene.layout, p, charts[p], chart.data());
            placeChart(scene.irradiance, scene.layout, p, charts[p], arriving.data());
        }
        scene.exposure = 1.5;
    }

    // Texture coordinate of corner t of patch p, from the chart's place.
    void expectedUv(int p, int t, float& u, float& v) const {
        u = static_cast<float>(scene.layout.chartX[p] + scene.anchors[p * 6 + t * 2]) / scene.layout.wide;
        v = static_cast<float>(scene.layout.chartY[p] + scene.anchors[p * 6 + t * 2 + 1]) / scene.layout.high;
    }
};

void writeAll(const ExportSettings& settings, const ExportScene& scene) {
    ExportOutputs outputs;
    std::string problem;
    ASSERT_TRUE(outputs.open(settings, problem)) << problem;
    writeExports(settings, scene, outputs);
    commitAll(outputs.files());
}

// Assimp's view of a written glTF against the fixture: meshes, triangles,
// corners, front faces, both texture coordinate sets and the material.
void checkWithAssimp(const std::string& path, const Fixture& f, const std::string& texturePath) {
    SCOPED_TRACE(path);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    ASSERT_TRUE(scene) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 2u);
    int patch = 0;
    for (unsigned m = 0; m < 2; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        EXPECT_EQ(std::string(mesh->mName.C_Str()), f.scene.meshes[m].name);
        ASSERT_EQ(mesh->mNumFaces, static_cast<unsigned>(f.scene.meshes[m].patchCount));
        ASSERT_TRUE(mesh->HasTextureCoords(0));
        ASSERT_TRUE(mesh->HasTextureCoords(1));
        for (unsigned face = 0; face < mesh->mNumFaces; ++face, ++patch) {
            ASSERT_EQ(mesh->mFaces[face].mNumIndices, 3u);
            const unsigned* idx = mesh->mFaces[face].mIndices;
            const float* model = &f.scene.corners[patch * 9];
            // The model's corner each glTF vertex is, found by position.
            int corner[3];
            for (int k = 0; k < 3; ++k) {
                const aiVector3D& p = mesh->mVertices[idx[k]];
                corner[k] = -1;
                for (int t = 0; t < 3; ++t)
                    if (p.x == model[t * 3] && p.y == model[t * 3 + 1] && p.z == model[t * 3 + 2]) corner[k] = t;
                ASSERT_GE(corner[k], 0);
                float u, v;
                f.expectedUv(patch, corner[k], u, v);
                for (int set = 0; set < 2; ++set) {
                    // Assimp turns glTF's v (down from the image's top row)
                    // into its own convention, v up from the bottom row.
                    EXPECT_FLOAT_EQ(mesh->mTextureCoords[set][idx[k]].x, u);
                    EXPECT_FLOAT_EQ(mesh->mTextureCoords[set][idx[k]].y, 1.0f - v);
                }
            }
            // Counter-clockwise front: (b - a) x (c - a) of glTF's order
            // points where the model's normal (v2 - v0) x (v1 - v0) does.
            const aiVector3D a = mesh->mVertices[idx[0]], b = mesh->mVertices[idx[1]], c = mesh->mVertices[idx[2]];
            const aiVector3D ccw = (b - a) ^ (c - a);
            const aiVector3D v0(model[0], model[1], model[2]), v1(model[3], model[4], model[5]),
                v2(model[6], model[7], model[8]);
            const aiVector3D lit = (v2 - v0) ^ (v1 - v0);
            EXPECT_GT(ccw * lit, 0.0f) << "patch " << patch;
        }
        const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
        int shading = 0;
        EXPECT_EQ(material->Get(AI_MATKEY_SHADING_MODEL, shading), aiReturn_SUCCESS);
        EXPECT_EQ(shading, aiShadingMode_Unlit);
        aiString texture;
        ASSERT_EQ(material->GetTexture(aiTextureType_DIFFUSE, 0, &texture), aiReturn_SUCCESS);
        EXPECT_EQ(std::string(texture.C_Str()), texturePath);
    }
}

}  // namespace

TEST(ExportFiles, ReadBackByIndependentReaders) {
    const Fixture f;
    ScratchDir dir;
    ExportSettings glb;
    glb.gltfFile = dir.file("lit.glb");
    glb.lightmapFile = dir.file("lit.png");
    glb.irradianceFile = dir.file("arriving.exr");
    writeAll(glb, f.scene);
    ExportSettings text;
    text.gltfFile = dir.file("lit text.gltf");
    text.lightmapFile = dir.file("lit.exr");
    text.irradianceFile = dir.file("arriving.hdr");
    writeAll(text, f.scene);
    ExportSettings radiance;
    radiance.gltfFile = dir.file("lit.gltf");
    radiance.lightmapFile = dir.file("lit.hdr");
    writeAll(radiance, f.scene);

    // The name with a space checks the escaped URIs of the files beside it
    // (Assimp 5.2 does not decode escapes, so it reads the other one).
    std::string report;
    EXPECT_TRUE(gltfValidatorClean({dir.file("lit.glb"), dir.file("lit text.gltf"), dir.file("lit.gltf")}, report))
        << report;
    EXPECT_NE(report.find("lit text.gltf: 0 errors, 0 warnings"), std::string::npos) << report;

    checkWithAssimp(dir.file("lit.glb"), f, "*0");
    checkWithAssimp(dir.file("lit.gltf"), f, "lit.png");
    {
        // The .glb carries the same picture as the .png written beside it.
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(dir.file("lit.glb"), 0);
        ASSERT_TRUE(scene);
        ASSERT_EQ(scene->mNumTextures, 1u);
        const aiTexture* t = scene->mTextures[0];
        EXPECT_EQ(t->mHeight, 0u);
        EXPECT_TRUE(t->CheckFormat("png"));
        const std::string embedded(reinterpret_cast<const char*>(t->pcData), t->mWidth);
        EXPECT_EQ(embedded, readFile(dir.file("lit.png")));
        EXPECT_EQ(readFile(dir.file("lit text.png")), readFile(dir.file("lit.png")));
    }

    // Every chart texel and ring texel read back where the layout put it.
    PngImage png;
    FloatImage exr, hdr, arrivingExr, arrivingHdr;
    ASSERT_TRUE(readPng(dir.file("lit.png"), png));
    ASSERT_TRUE(readExr(dir.file("lit.exr"), exr));
    ASSERT_TRUE(readHdr(dir.file("lit.hdr"), hdr));
    ASSERT_TRUE(readExr(dir.file("arriving.exr"), arrivingExr));
    ASSERT_TRUE(readHdr(dir.file("arriving.hdr"), arrivingHdr));
    for (const auto* size : {&png.width, &exr.width, &hdr.width, &arrivingExr.width, &arrivingHdr.width})
        EXPECT_EQ(*size, f.scene.layout.wide);
    for (const auto* size : {&png.height, &exr.height, &hdr.height, &arrivingExr.height, &arrivingHdr.height})
        EXPECT_EQ(*size, f.scene.layout.high);
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        const int x0 = f.scene.layout.chartX[p] - kAtlasRing, y0 = f.scene.layout.chartY[p] - kAtlasRing;
        const int x1 = f.scene.layout.chartX[p] + f.charts[p].wide + kAtlasRing;
        const int y1 = f.scene.layout.chartY[p] + f.charts[p].high + kAtlasRing;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const float want = f.colors[p][c];
                    ASSERT_EQ(exr.pixel(x, y)[c], want) << x << "," << y;
                    ASSERT_EQ(arrivingExr.pixel(x, y)[c], want * 0.5f);
                    // RGBE keeps 8 bits of mantissa under a shared exponent.
                    const float scale = *std::max_element(f.colors[p].begin(), f.colors[p].end());
                    ASSERT_NEAR(hdr.pixel(x, y)[c], want, scale / 128);
                    ASSERT_NEAR(arrivingHdr.pixel(x, y)[c], want * 0.5f, scale / 256);
                    // sRGB of the exposed value, clipped: the lamp is white.
                    const double exposed = std::min(1.0, want * f.scene.exposure);
                    const double level = exposed <= 0.0031308 ? 12.92 * exposed
                                                              : 1.055 * std::pow(exposed, 1 / 2.4) - 0.055;
                    ASSERT_NEAR(png.pixel(x, y)[c], level * 255, 1.0);
                }
            }
        }
    }
}

TEST(ExportFiles, BadNamesAreRefusedAndNothingIsPublishedEarly) {
    ScratchDir dir;
    struct Case {
        ExportSettings settings;
        const char* mentions;
    };
    auto make = [&](const char* gltf, const char* lightmap, const char* irradiance) {
        ExportSettings s;
        s.gltfFile = gltf;
        s.lightmapFile = lightmap;
        s.irradianceFile = irradiance;
        return s;
    };
    const std::vector<Case> cases = {
        {make("lit.obj", "", ""), "--gltf"},
        {make("", "lit.jpg", ""), "--lightmap"},
        {make("", "", "arriving.png"), "--irradiance"},
        {make("", "", dir.file("no/such/folder/a.exr").c_str()), "no/such/folder/a.exr"},
        {make(dir.path.string().c_str(), "", ""), "--gltf"},
    };
    for (const Case& c : cases) {
        ExportOutputs outputs;
        std::string problem;
        EXPECT_FALSE(outputs.open(c.settings, problem));
        EXPECT_NE(problem.find(c.mentions), std::string::npos) << problem;
    }

    // Files are written in full before any of them replaces the user's.
    writeFile(dir.file("keep.glb"), "old");
    const Fixture f;
    ExportSettings settings;
    settings.gltfFile = dir.file("keep.glb");
    settings.lightmapFile = dir.file("keep.exr");
    {
        ExportOutputs outputs;
        std::string problem;
        ASSERT_TRUE(outputs.open(settings, problem));
        writeExports(settings, f.scene, outputs);
        // The run fails here: the outputs are dropped unpublished.
    }
    EXPECT_EQ(readFile(dir.file("keep.glb")), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.file("keep.exr")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}
