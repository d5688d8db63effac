#include "GltfLightmapFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "DisplayMapping.h"
#include "GlowbakeError.h"
#include "GltfDocument.h"
#include "GltfFile.h"
#include "GltfFromSurfaces.h"
#include "GltfLightmapSource.h"
#include "GltfRelight.h"
#include "ImageEncoding.h"
#include "LightmapExport.h"

namespace {

constexpr int kLinear = 9729;
constexpr int kClampToEdge = 33071;

void useExtension(tinygltf::Model& doc, const std::string& name) {
    if (std::find(doc.extensionsUsed.begin(), doc.extensionsUsed.end(), name) == doc.extensionsUsed.end())
        doc.extensionsUsed.push_back(name);
}

// The lightmap texture (its picture in the buffer, or named by `pngUri`) on
// every lit material, and the exposure in the default scene's extras.
void attachLightmap(tinygltf::Model& doc, const std::vector<int>& litMaterials, int set,
                    const LightmapPicture& picture, const std::string& pngUri, double exposure) {
    tinygltf::Sampler sampler;
    sampler.magFilter = kLinear;
    sampler.minFilter = kLinear;
    sampler.wrapS = kClampToEdge;
    sampler.wrapT = kClampToEdge;
    doc.samplers.push_back(sampler);
    tinygltf::Image image;
    image.name = "Glowbake lightmap";
    if (pngUri.empty()) {
        image.bufferView = appendBufferView(doc, picture.png, 0, 0);
        image.mimeType = "image/png";
    } else {
        image.uri = pngUri;
    }
    doc.images.push_back(image);
    tinygltf::Texture texture;
    texture.name = "Glowbake lightmap";
    texture.sampler = static_cast<int>(doc.samplers.size()) - 1;
    texture.source = static_cast<int>(doc.images.size()) - 1;
    doc.textures.push_back(texture);

    tinygltf::Value::Object lightmap;
    lightmap["index"] = tinygltf::Value(static_cast<int>(doc.textures.size()) - 1);
    lightmap["texCoord"] = tinygltf::Value(set);
    lightmap["intensity"] = tinygltf::Value(picture.intensity);
    for (int m : litMaterials) doc.materials[m].extensions["MOZ_lightmap"] = tinygltf::Value(lightmap);
    if (!litMaterials.empty()) useExtension(doc, "MOZ_lightmap");

    if (doc.scenes.empty()) return;
    const int scene =
        doc.defaultScene >= 0 && doc.defaultScene < static_cast<int>(doc.scenes.size()) ? doc.defaultScene : 0;
    tinygltf::Value& extras = doc.scenes[scene].extras;
    if (extras.Type() != tinygltf::NULL_TYPE && !extras.IsObject()) return;  // the file's own, left as it is
    tinygltf::Value::Object fields;
    if (extras.IsObject()) fields = extras.Get<tinygltf::Value::Object>();
    fields["glowbakeExposure"] = tinygltf::Value(exposure);
    extras = tinygltf::Value(std::move(fields));
}

}  // namespace

LightmapPicture lightmapPicture(const LinearImage& irradiance) {
    float brightest = 0.0f;
    for (float v : irradiance.rgb)
        if (std::isfinite(v)) brightest = std::max(brightest, v);
    LightmapPicture picture;
    picture.png = encodePng(irradiance.wide, irradiance.high,
                            displayBytes(irradiance, brightest > 0.0f ? 1.0 / brightest : 1.0));
    if (picture.png.empty()) throw GlowbakeError("could not encode the lightmap of --gltf-lightmap");
    picture.intensity = std::acos(-1.0) * brightest;  // pi, in double
    return picture;
}

GltfLightmapFiles encodeGltfLightmap(const GltfLightmapSource& source, const ExportScene& scene, bool binary,
                                     const std::string& binName, const std::string& pngName) {
    const AtlasCoordinate atlas = [&scene](int patch, int corner, float& u, float& v) {
        const std::size_t at = static_cast<std::size_t>(patch) * 6 + static_cast<std::size_t>(corner) * 2;
        atlasTexcoord(scene.layout, patch, scene.anchors[at], scene.anchors[at + 1], u, v);
    };
    tinygltf::Model doc;
    std::vector<int> litMaterials;
    int set = 1;
    if (source.document) {
        doc = *source.document;
        gatherIntoOneBuffer(doc, source.fileName);
        set = relightDocument(doc, source, atlas, litMaterials);
        dropUnusedData(doc);
    } else {
        set = documentOfSurfaces(doc, source.surfaces, scene, atlas, litMaterials);
    }
    GltfLightmapFiles files;
    const LightmapPicture picture = lightmapPicture(scene.irradiance);
    attachLightmap(doc, litMaterials, set, picture, binary ? "" : gltfUri(pngName), scene.exposure);
    if (binary) {
        files.document = encodeGlbDocument(doc);
    } else {
        const std::string json = encodeGltfDocument(doc, gltfUri(binName), files.bin);
        files.document.assign(json.begin(), json.end());
        files.png = picture.png;
    }
    return files;
}
