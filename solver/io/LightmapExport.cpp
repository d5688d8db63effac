#include "LightmapExport.h"

#include <cstdio>
#include <filesystem>
#include <map>

#include "DisplayMapping.h"
#include "GlowbakeError.h"
#include "GltfFile.h"
#include "GltfLightmapFile.h"
#include "ImageEncoding.h"
#include "LightmapAtlas.h"

namespace {

std::string extensionOf(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext;
}

std::string withExtension(const std::string& name, const std::string& ext) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + ext;
    return name.substr(0, dot) + ext;
}

std::string baseName(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool openOutput(OutputFile& file, const std::string& name, const char* option, std::string& problem) {
    if (file.open(name, std::string(option) + " file")) return true;
    problem = std::string("could not open ") + option + " file for writing: " + name;
    return false;
}

void writeBytes(OutputFile& file, const std::vector<std::uint8_t>& bytes, const char* what) {
    if (bytes.empty()) throw GlowbakeError(std::string("could not encode ") + what + " " + file.name());
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size())
        throw GlowbakeError(std::string("could not write ") + what + " " + file.name());
}

std::vector<std::uint8_t> encodeLinear(const LinearImage& image, const std::string& name) {
    return extensionOf(name) == ".exr" ? encodeExr(image) : encodeRadiance(image);
}

}  // namespace

bool ExportOutputs::open(const ExportSettings& settings, const std::string& sceneFile, std::string& problem) {
    // Two outputs of one name would replace each other at the commit.
    std::map<std::string, std::string> written;
    auto claim = [&](const std::string& name, const char* by) {
        std::error_code ec;
        const std::string key = std::filesystem::weakly_canonical(std::filesystem::absolute(name), ec).string();
        const auto [it, fresh] = written.emplace(ec ? name : key, by);
        if (!fresh) problem = std::string(by) + " would write " + name + ", which " + it->second + " writes too";
        return fresh;
    };
    if (!claim(sceneFile, "the scene file (-o)")) return false;
    if (!settings.gltfFile.empty()) {
        if (!claim(settings.gltfFile, "--gltf")) return false;
        if (extensionOf(settings.gltfFile) == ".gltf" && (!claim(withExtension(settings.gltfFile, ".bin"), "--gltf") ||
                                                          !claim(withExtension(settings.gltfFile, ".png"), "--gltf")))
            return false;
    }
    for (const std::string& name : settings.lightmapFiles)
        if (!claim(name, "--lightmap")) return false;
    if (!settings.irradianceFile.empty() && !claim(settings.irradianceFile, "--irradiance")) return false;
    const std::string& relit = settings.gltfLightmapFile;
    if (!relit.empty()) {
        if (!claim(relit, "--gltf-lightmap")) return false;
        if (extensionOf(relit) == ".gltf" && (!claim(withExtension(relit, ".bin"), "--gltf-lightmap") ||
                                              !claim(withExtension(relit, ".png"), "--gltf-lightmap")))
            return false;
    }

    if (!settings.gltfFile.empty()) {
        const std::string ext = extensionOf(settings.gltfFile);
        if (ext != ".glb" && ext != ".gltf") {
            problem = "--gltf file must end in .glb or .gltf: " + settings.gltfFile;
            return false;
        }
        if (!openOutput(gltf, settings.gltfFile, "--gltf", problem)) return false;
        if (ext == ".gltf") {
            if (!openOutput(gltfBin, withExtension(settings.gltfFile, ".bin"), "--gltf", problem)) return false;
            if (!openOutput(gltfPng, withExtension(settings.gltfFile, ".png"), "--gltf", problem)) return false;
        }
    }
    for (const std::string& name : settings.lightmapFiles) {
        const std::string ext = extensionOf(name);
        if (ext != ".exr" && ext != ".hdr" && ext != ".png") {
            problem = "--lightmap file must end in .exr, .hdr or .png: " + name;
            return false;
        }
        lightmaps.push_back(std::make_unique<OutputFile>());
        if (!openOutput(*lightmaps.back(), name, "--lightmap", problem)) return false;
    }
    if (!settings.irradianceFile.empty()) {
        const std::string ext = extensionOf(settings.irradianceFile);
        if (ext != ".exr" && ext != ".hdr") {
            problem = "--irradiance file must end in .exr or .hdr: " + settings.irradianceFile;
            return false;
        }
        if (!openOutput(irradiance, settings.irradianceFile, "--irradiance", problem)) return false;
    }
    if (!relit.empty()) {
        const std::string ext = extensionOf(relit);
        if (ext != ".glb" && ext != ".gltf") {
            problem = "--gltf-lightmap file must end in .glb or .gltf: " + relit;
            return false;
        }
        if (!openOutput(gltfLightmap, relit, "--gltf-lightmap", problem)) return false;
        if (ext == ".gltf") {
            if (!openOutput(gltfLightmapBin, withExtension(relit, ".bin"), "--gltf-lightmap", problem)) return false;
            if (!openOutput(gltfLightmapPng, withExtension(relit, ".png"), "--gltf-lightmap", problem)) return false;
        }
    }
    return true;
}

std::vector<OutputFile*> ExportOutputs::files() {
    std::vector<OutputFile*> open;
    for (OutputFile* f : {&gltf, &gltfBin, &gltfPng, &irradiance, &gltfLightmap, &gltfLightmapBin, &gltfLightmapPng})
        if (f->stream()) open.push_back(f);
    for (const std::unique_ptr<OutputFile>& f : lightmaps)
        if (f->stream()) open.push_back(f.get());
    return open;
}

void atlasTexcoord(const AtlasLayout& layout, int patch, int column, int row, float& u, float& v) {
    u = static_cast<float>(static_cast<double>(layout.chartX[patch] + column) / layout.wide);
    v = static_cast<float>(static_cast<double>(layout.chartY[patch] + row) / layout.high);
}

void writeExports(const ExportSettings& settings, const ExportScene& scene, ExportOutputs& outputs) {
    bool wantPicture = !settings.gltfFile.empty();
    for (const std::string& name : settings.lightmapFiles) wantPicture = wantPicture || extensionOf(name) == ".png";
    std::vector<std::uint8_t> png;
    if (wantPicture) {
        png = encodePng(scene.radiosity.wide, scene.radiosity.high, displayBytes(scene.radiosity, scene.exposure));
        if (png.empty()) throw GlowbakeError("could not encode the lightmap picture");
    }

    for (size_t i = 0; i < settings.lightmapFiles.size(); ++i) {
        const std::string& name = settings.lightmapFiles[i];
        writeBytes(*outputs.lightmaps[i], extensionOf(name) == ".png" ? png : encodeLinear(scene.radiosity, name),
                   "--lightmap file");
    }
    if (!settings.irradianceFile.empty())
        writeBytes(outputs.irradiance, encodeLinear(scene.irradiance, settings.irradianceFile), "--irradiance file");

    if (!settings.gltfFile.empty()) {
        GltfScene gltf;
        for (const ExportMesh& range : scene.meshes) {
            GltfMesh mesh;
            mesh.name = range.name;
            mesh.material = range.material;
            for (int p = range.firstPatch; p < range.firstPatch + range.patchCount; ++p) {
                mesh.corners.insert(mesh.corners.end(), &scene.corners[p * 9], &scene.corners[p * 9] + 9);
                for (int t = 0; t < 3; ++t) {
                    float u, v;
                    atlasTexcoord(scene.layout, p, scene.anchors[p * 6 + t * 2], scene.anchors[p * 6 + t * 2 + 1], u, v);
                    mesh.texcoords.push_back(u);
                    mesh.texcoords.push_back(v);
                }
            }
            gltf.meshes.push_back(std::move(mesh));
        }
        gltf.png = std::move(png);
        if (extensionOf(settings.gltfFile) == ".glb") {
            writeBytes(outputs.gltf, encodeGlb(gltf), "--gltf file");
        } else {
            const GltfText text = encodeGltfText(gltf, baseName(outputs.gltfBin.name()), baseName(outputs.gltfPng.name()));
            writeBytes(outputs.gltf, std::vector<std::uint8_t>(text.json.begin(), text.json.end()), "--gltf file");
            if (!text.bin.empty()) writeBytes(outputs.gltfBin, text.bin, "--gltf buffer");
            writeBytes(outputs.gltfPng, gltf.png, "--gltf picture");
        }
    }

    if (!settings.gltfLightmapFile.empty()) {
        if (!scene.lightmapSource) throw GlowbakeError("--gltf-lightmap: the input scene was not read for it");
        const bool binary = extensionOf(settings.gltfLightmapFile) == ".glb";
        const GltfLightmapFiles files =
            encodeGltfLightmap(*scene.lightmapSource, scene, binary, baseName(outputs.gltfLightmapBin.name()),
                               baseName(outputs.gltfLightmapPng.name()));
        writeBytes(outputs.gltfLightmap, files.document, "--gltf-lightmap file");
        if (!binary) {
            // A document without vertex data has an empty buffer file.
            if (!files.bin.empty()) writeBytes(outputs.gltfLightmapBin, files.bin, "--gltf-lightmap buffer");
            writeBytes(outputs.gltfLightmapPng, files.png, "--gltf-lightmap picture");
        }
    }
}

void commitAll(const std::vector<OutputFile*>& files) {
    for (OutputFile* f : files) f->finish();
    for (OutputFile* f : files) f->publish();
}

double exportLighting(const ExportSettings& settings, const Radiosity& radiosity,
                      const std::vector<PatchLayout>& layouts, const AtlasLayout& atlas,
                      const GltfLightmapSource& lightmapSource, ExportOutputs& outputs) {
    // --irradiance and --gltf-lightmap write the same irradiance atlas.
    const bool withIrradiance = !settings.irradianceFile.empty() || !settings.gltfLightmapFile.empty();
    LightmapAtlases atlases = bakeAtlases(radiosity, layouts, atlas, withIrradiance);
    ExportScene scene;
    scene.layout = atlas;
    scene.radiosity = std::move(atlases.radiosity);
    scene.irradiance = std::move(atlases.irradiance);
    scene.exposure = meterElements(radiosity).exposure(settings.exposureStops);
    scene.lightmapSource = &lightmapSource;
    for (int p = 0; p < radiosity.numPatches; ++p) {
        for (const Vec3& v : radiosity.model.patches[p].vertices)
            scene.corners.insert(scene.corners.end(), {v.x, v.y, v.z});
        for (int t = 0; t < 3; ++t)
            scene.anchors.insert(scene.anchors.end(), {layouts[p].anchorU[t], layouts[p].anchorV[t]});
    }
    for (const ModelMesh& m : radiosity.model.meshes)
        scene.meshes.push_back({m.name, m.material.empty() ? m.name : m.material, m.firstPatch, m.patchCount});
    if (scene.meshes.empty()) scene.meshes.push_back({"model", "model", 0, radiosity.numPatches});
    writeExports(settings, scene, outputs);
    return scene.exposure;
}
