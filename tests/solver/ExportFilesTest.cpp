#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <cmath>
#include <string>
#include <vector>

#include "DisplayMapping.h"
#include "ExportReaders.h"
#include "GltfValidator.h"
#include "LightmapExport.h"
#include "PngImage.h"
#include "SceneFileBytes.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

// The golden lamp_floor model: a floor of two triangles (reflectance 0.6)
// under a small lamp that reflects nothing, facing down, so that the lamp's
// radiosity is its emission exactly, the brightest value of the scene.
void writeLampFloor(const ScratchDir& dir) {
    std::filesystem::copy_file(std::string(GLOWBAKE_SOURCE_DIR) + "/tests/golden/lamp_floor.mdl", dir.file("lamp.mdl"));
}
const float kLampEmission[3] = {1.0f, 0.9f, 0.8f};

std::vector<std::string> lampFloorArgs(const std::string& output) {
    return {"-m", "lamp.mdl", "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-o", output, "-w", "0.05", "-a", "0.5",
            "-i", "0.0001", "-s", "0.02", "-t", "16"};
}

// The number after "exposure " on the line the run adds to its output.
double printedExposure(const std::string& out) {
    const size_t at = out.find("\nexposure ");
    return at == std::string::npos ? -1.0 : std::atof(out.c_str() + at + 10);
}

// A written export that is never committed: a failing run.
ExportScene smallScene() {
    ExportScene scene;
    scene.corners = {0, 0, 0, 0, 0, 4, 4, 0, 0};
    scene.anchors = {0, 0, 0, 3, 3, 0};
    scene.meshes = {{"m", "m", 0, 1}};
    packAtlas({{4, 4}}, kMaxAtlasSide, scene.layout);
    scene.radiosity = LinearImage(scene.layout.wide, scene.layout.high);
    return scene;
}

}  // namespace

// Files are written in full before any of them replaces the user's: a run
// that fails after writing drops them all unpublished.
TEST(ExportOutputs, NothingIsPublishedBeforeTheCommit) {
    ScratchDir dir;
    writeFile(dir.file("keep.glb"), "old");
    ExportSettings settings;
    settings.gltfFile = dir.file("keep.glb");
    settings.lightmapFiles = {dir.file("keep.exr")};
    {
        ExportOutputs outputs;
        std::string problem;
        ASSERT_TRUE(outputs.open(settings, dir.file("keep.out"), problem)) << problem;
        writeExports(settings, smallScene(), outputs);
        // The run fails here: the outputs are dropped unpublished.
    }
    EXPECT_EQ(readFile(dir.file("keep.glb")), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.file("keep.exr")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}

// The program with every added option, read back by readers nobody here
// wrote, against the scene file of the same run and the model's own values.
TEST(ExportFiles, SolvedSceneReadBackByIndependentReaders) {
    ScratchDir dir;
    writeLampFloor(dir);
    const RunResult plain = runGlowbake(dir.path.string(), lampFloorArgs("plain.out"));
    ASSERT_EQ(plain.status, 0) << plain.err;

    // Long options before, between and after the others; a name with a space.
    std::vector<std::string> args = lampFloorArgs("lit.out");
    args.insert(args.begin(), {"--gltf", "lit.glb"});
    args.insert(args.begin() + 6, {"--lightmap", "lit.exr"});
    args.insert(args.end(), {"--irradiance", "arriving.hdr", "--exposure", "1"});
    const RunResult lit = runGlowbake(dir.path.string(), args);
    ASSERT_EQ(lit.status, 0) << lit.err;
    args = lampFloorArgs("text.out");
    args.insert(args.end(), {"--gltf", "lit text.gltf", "--lightmap", "lit.png", "--lightmap", "text.exr"});
    const RunResult text = runGlowbake(dir.path.string(), args);
    ASSERT_EQ(text.status, 0) << text.err;
    // The same words from the token file.
    std::string words;
    for (const std::string& a : lampFloorArgs("ini.out")) words += a + "\n";
    writeFile(dir.file("Glowbake.ini"), words + "--lightmap ini.exr --gltf ini.gltf\n");
    const RunResult ini = runGlowbake(dir.path.string(), {});
    ASSERT_EQ(ini.status, 0) << ini.err;

    // The scene file is untouched by the exports; standard output gains one line.
    const std::string sceneBytes = readFile(dir.file("plain.out"));
    EXPECT_EQ(readFile(dir.file("lit.out")), sceneBytes);
    EXPECT_EQ(readFile(dir.file("text.out")), sceneBytes);
    const size_t line = lit.out.find("\nexposure ");
    ASSERT_NE(line, std::string::npos) << lit.out;
    const size_t lineEnd = lit.out.find('\n', line + 1);
    EXPECT_EQ(withoutElapsed(lit.out.substr(0, line + 1) + lit.out.substr(lineEnd + 1)), withoutElapsed(plain.out));
    EXPECT_NE(lit.out.find("lit.glb lit.exr arriving.hdr", line), std::string::npos) << lit.out;
    EXPECT_EQ(plain.out.find("exposure"), std::string::npos);
    // One stop more is twice the exposure.
    EXPECT_NEAR(printedExposure(lit.out), 2 * printedExposure(text.out), 1e-5 * printedExposure(lit.out));
    EXPECT_TRUE(readFile(dir.file("ini.exr")) == readFile(dir.file("lit.exr")));
    EXPECT_TRUE(readFile(dir.file("text.exr")) == readFile(dir.file("lit.exr")));

    std::string report;
    EXPECT_TRUE(gltfValidatorClean({dir.file("lit.glb"), dir.file("lit text.gltf"), dir.file("ini.gltf")}, report))
        << report;
    EXPECT_NE(report.find("lit text.gltf: 0 errors, 0 warnings"), std::string::npos) << report;

    // Assimp: one mesh of three triangles, corners as in the model, front
    // faces counter-clockwise, both texture coordinate sets, the picture.
    const SceneFile sceneFile = parseSceneFile(sceneBytes);
    ASSERT_TRUE(sceneFile.complete);
    const std::vector<SceneRecord>& records = sceneFile.patches;
    ASSERT_EQ(records.size(), 3u);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(dir.file("lit.glb"), 0);
    ASSERT_TRUE(scene) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    const aiMesh* mesh = scene->mMeshes[0];
    ASSERT_EQ(mesh->mNumFaces, 3u);
    ASSERT_TRUE(mesh->HasTextureCoords(0) && mesh->HasTextureCoords(1));
    FloatImage exr, arriving;
    ASSERT_TRUE(readExr(dir.file("lit.exr"), exr));
    ASSERT_TRUE(readHdr(dir.file("arriving.hdr"), arriving));
    EXPECT_EQ(arriving.width, exr.width);
    EXPECT_EQ(arriving.height, exr.height);
    int chartX[3] = {-1, -1, -1}, chartY[3] = {-1, -1, -1};
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        ASSERT_EQ(mesh->mFaces[f].mNumIndices, 3u);
        const unsigned* idx = mesh->mFaces[f].mIndices;
        const SceneRecord& r = records[f];
        auto corner = [&](int i) {
            return aiVector3D(static_cast<float>(r.corners[i][0]), static_cast<float>(r.corners[i][1]),
                              static_cast<float>(r.corners[i][2]));
        };
        const aiVector3D v0 = corner(0), v1 = corner(1), v2 = corner(2);
        const aiVector3D a = mesh->mVertices[idx[0]], b = mesh->mVertices[idx[1]], c = mesh->mVertices[idx[2]];
        EXPECT_GT(((b - a) ^ (c - a)) * ((v2 - v0) ^ (v1 - v0)), 0.0f) << "face " << f;
        for (int k = 0; k < 3; ++k) {
            const aiVector3D& p = mesh->mVertices[idx[k]];
            int t = -1;
            for (int i = 0; i < 3; ++i)
                if (p == corner(i)) t = i;
            ASSERT_GE(t, 0);
            // Atlas column = chart column + anchor; Assimp counts v up from
            // the picture's bottom row, glTF down from its first row.
            const aiVector3D uv = mesh->mTextureCoords[0][idx[k]];
            EXPECT_EQ(mesh->mTextureCoords[1][idx[k]], uv);
            // No half-texel offset: a corner sits on a texel's corner.
            EXPECT_NEAR(uv.x * exr.width, std::round(uv.x * exr.width), 1e-3);
            EXPECT_NEAR(uv.y * exr.height, std::round(uv.y * exr.height), 1e-3);
            const int x = static_cast<int>(std::lround(uv.x * exr.width)) - r.anchors[2 * t];
            const int y = static_cast<int>(std::lround((1.0f - uv.y) * exr.height)) - r.anchors[2 * t + 1];
            if (k > 0) {
                EXPECT_EQ(x, chartX[f]);
                EXPECT_EQ(y, chartY[f]);
            }
            chartX[f] = x;
            chartY[f] = y;
        }
    }
    // The .glb's picture (one stop up) and the .png beside the .gltf.
    ASSERT_EQ(scene->mNumTextures, 1u);
    // The text glTF, read by Assimp too (5.2 does not decode the escaped
    // space of "lit text"), holds the same triangles and names its picture.
    Assimp::Importer textImporter;
    const aiScene* textScene = textImporter.ReadFile(dir.file("ini.gltf"), 0);
    ASSERT_TRUE(textScene) << textImporter.GetErrorString();
    ASSERT_EQ(textScene->mNumMeshes, 1u);
    const aiMesh* textMesh = textScene->mMeshes[0];
    ASSERT_EQ(textMesh->mNumVertices, mesh->mNumVertices);
    ASSERT_EQ(textMesh->mNumFaces, 3u);
    for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
        EXPECT_EQ(textMesh->mVertices[i], mesh->mVertices[i]);
        EXPECT_EQ(textMesh->mTextureCoords[0][i], mesh->mTextureCoords[0][i]);
        EXPECT_EQ(textMesh->mTextureCoords[1][i], mesh->mTextureCoords[1][i]);
    }
    aiString texturePath;
    ASSERT_EQ(textScene->mMaterials[textMesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texturePath),
              aiReturn_SUCCESS);
    EXPECT_EQ(std::string(texturePath.C_Str()), "ini.png");
    EXPECT_TRUE(readFile(dir.file("ini.png")) == readFile(dir.file("lit.png")));
    PngImage glbPicture;
    ASSERT_TRUE(decodePng(std::string(reinterpret_cast<const char*>(scene->mTextures[0]->pcData),
                                      scene->mTextures[0]->mWidth),
                          glbPicture));
    EXPECT_TRUE(readFile(dir.file("lit text.png")) == readFile(dir.file("lit.png")));

    // Texel by texel: the lamp is its emission and receives nothing; the
    // floor's radiosity is 0.6 of what arrives, and the scene file's bytes
    // (gamma 1, the lamp's red of 1 as the brightest value) lie at most 7
    // levels below it (the byte bake truncates four times); the picture is
    // the sRGB of the exposed radiosity, dithered by less than a level.
    PngImage png;
    ASSERT_TRUE(readPng(dir.file("lit.png"), png));
    const double exposure = printedExposure(text.out);
    // The sRGB of the exposed radiosity, clipped at 1.
    auto displayLevel = [](double linear, double exposure) {
        const double exposed = std::min(1.0, linear * exposure);
        return 255.0 * (exposed <= 0.0031308 ? 12.92 * exposed : 1.055 * std::pow(exposed, 1 / 2.4) - 0.055);
    };
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        const SceneRecord& r = records[p];
        for (int y = 0; y < r.height; ++y) {
            for (int x = 0; x < r.width; ++x) {
                const float* b = exr.pixel(chartX[p] + x, chartY[p] + y);
                const float* e = arriving.pixel(chartX[p] + x, chartY[p] + y);
                const unsigned char* shown = png.pixel(chartX[p] + x, chartY[p] + y);
                const unsigned char* shownInGlb = glbPicture.pixel(chartX[p] + x, chartY[p] + y);
                const float brightest = std::max({b[0], b[1], b[2]});
                for (int ch = 0; ch < 3; ++ch) {
                    if (p == 2) {
                        ASSERT_NEAR(b[ch], kLampEmission[ch], 1e-5f);
                        ASSERT_EQ(e[ch], 0.0f);
                    } else {
                        ASSERT_NEAR(e[ch] * 0.6f, b[ch], brightest / 128 + 1e-6f) << x << "," << y;
                    }
                    const int byte = r.channel(static_cast<size_t>(y) * r.width + x, ch);
                    ASSERT_GE(b[ch] * 255.0 - byte, -0.01) << x << "," << y;
                    ASSERT_LT(b[ch] * 255.0 - byte, 7.0) << x << "," << y;
                    ASSERT_NEAR(shown[ch], displayLevel(b[ch], exposure), 1.01) << x << "," << y;
                    ASSERT_NEAR(shownInGlb[ch], displayLevel(b[ch], 2 * exposure), 1.01) << x << "," << y;
                }
            }
        }
    }
}

// Mistakes with the added options: a message naming the option or file,
// status 1, and nothing created or changed.
TEST(ExportFiles, ProgramRefusesBadExportsBeforeSolving) {
    ScratchDir dir;
    writeLampFloor(dir);
    // Forty equal triangles: at -t t each chart is t + 4 texels a side with
    // its ring, and 16384 / 7 fits 7 x 7 = 49 of them but 6 x 6 = 36 does not.
    // So t + 4 <= 2340.57: -t 2336 is the largest that fits.
    std::string many = "40\n";
    for (int i = 0; i < 40; ++i)
        many += std::to_string(2 * i) + " 0 0  " + std::to_string(2 * i) + " 1 0  " + std::to_string(2 * i + 1) +
                " 0 0  0.5 0.5 0.5  " + (i == 0 ? "1 1 1\n" : "0 0 0\n");
    writeFile(dir.file("many.mdl"), many);
    writeFile(dir.file("keep.out"), "old");
    struct Case {
        std::vector<std::string> extra;
        std::string message;  // on standard error or, for usage errors, standard output
    };
    const std::vector<Case> cases = {
        {{"--gltf", "lit.obj"}, "--gltf file must end in .glb or .gltf: lit.obj"},
        {{"--lightmap", "lit.jpg"}, "--lightmap file must end in .exr, .hdr or .png: lit.jpg"},
        {{"--irradiance", "lit.png"}, "--irradiance file must end in .exr or .hdr: lit.png"},
        {{"--lightmap", "no/such/folder/lit.exr"}, "could not open --lightmap file for writing: no/such/folder/lit.exr"},
        {{"--exposure", "bright"}, "--exposure takes a number of stops from -100 to 100, not:  bright"},
        {{"--gltf"}, "missing value for option:  --gltf"},
        {{"--gather", "many"}, "--gather takes a whole number of rays from 0 to 65536, not:  many"},
        {{"--gather", "-1"}, "--gather takes a whole number of rays from 0 to 65536, not:  -1"},
        {{"--gather", "65537"}, "--gather takes a whole number of rays from 0 to 65536, not:  65537"},
        {{"--form-factors", "rays:0"}, "--form-factors takes hemicube, rays or rays:R with R from 1 to 65536, not:  rays:0"},
        {{"--quality", "best"}, "--quality takes draft, medium or high, not:  best"},
        {{"--lamp-units", "lux"}, "--lamp-units takes standard, unitless or raw, not:  lux"},
        {{"--sky", "1", "sky.hdr", "1"}, "option --sky: \"sky.hdr\" is not a finite radiance of 0 or more"},
        {{"--sky", "sky.png"}, "option --sky: \"sky.png\" is not a number nor an .hdr or .exr file"},
        {{"--sky", "no-sky.hdr"}, "Glowbake: error: sky file no-sky.hdr: "},
        {{"--gltf", "lit.gltf", "--lightmap", "./lit.png"}, "--lightmap would write ./lit.png, which --gltf writes too"},
        {{"--irradiance", "keep.out"}, "--irradiance would write keep.out, which the scene file (-o) writes too"},
        {{"--gltf-lightmap", "lit.obj"}, "--gltf-lightmap file must end in .glb or .gltf: lit.obj"},
        {{"--lightmap", "lit.png", "--gltf-lightmap", "lit.gltf"},
         "--gltf-lightmap would write lit.png, which --lightmap writes too"},
        {{"--gltf", "lit.glb", "-m", "many.mdl", "-a", "100", "-t", "2337"},
         "the lightmap atlas for texture_size 2337 would exceed 16384 texels a side; -t 2336 fits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = lampFloorArgs("keep.out");
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const RunResult r = runGlowbake(dir.path.string(), args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE((r.err + r.out).find(c.message), std::string::npos) << r.out << r.err;
        EXPECT_EQ(r.out.find("Projecting"), std::string::npos);
        EXPECT_EQ(readFile(dir.file("keep.out")), "old");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 3);
    }

    const RunResult help = runGlowbake(dir.path.string(), {"--help"});
    EXPECT_EQ(help.status, 0);
    const size_t usage = help.out.find("usage:\nGlowbake\n");
    const size_t added = help.out.find("(if no parameters specified, parameters are read from Glowbake.ini file)\n\n");
    ASSERT_NE(usage, std::string::npos);
    ASSERT_NE(added, std::string::npos);
    for (const char* option : {"--gltf FILE", "--lightmap FILE", "--irradiance FILE", "--gltf-lightmap FILE",
                               "--exposure EV", "--gather R", "--form-factors M", "--lamp-units U", "--quality Q",
                               "--sky R G B", "--help"})
        EXPECT_NE(help.out.find(option, added), std::string::npos) << option;
}
