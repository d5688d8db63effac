// --gltf-lightmap on any bytes as a .glb: the scene imported, its document
// read and matched with the patches, and given back with a lightmap laid
// out as the program lays it out.
#include <algorithm>
#include <cstdint>

#include "FuzzInput.h"
#include "GlowbakeError.h"
#include "GltfLightmapFile.h"
#include "GltfLightmapSource.h"
#include "LightmapAtlas.h"
#include "LightmapExport.h"
#include "SceneImport.h"
#include "TextureLayout.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::writeFile("scene.glb", data, size);
    try {
        const Model model = importScene(path, Progress());
        ExportSettings settings;
        settings.gltfLightmapFile = "lit.glb";
        GltfLightmapSource source;
        readGltfLightmapSource(settings, path, model, source);

        float largest = 0.0f;
        for (const Tri& t : model.patches) largest = std::max(largest, t.area());
        const std::vector<PatchLayout> layouts = layoutTextures(model.patches, 4, largest);
        ExportScene scene;
        if (!packAtlas(chartSizes(layouts), kMaxAtlasSide, scene.layout)) return 0;
        for (std::size_t p = 0; p < model.patches.size(); ++p) {
            for (const Vec3& v : model.patches[p].vertices) scene.corners.insert(scene.corners.end(), {v.x, v.y, v.z});
            for (int t = 0; t < 3; ++t)
                scene.anchors.insert(scene.anchors.end(), {layouts[p].anchorU[t], layouts[p].anchorV[t]});
        }
        scene.irradiance = LinearImage(scene.layout.wide, scene.layout.high);
        std::vector<float>& light = scene.irradiance.rgb;
        for (std::size_t i = 0; i < light.size(); ++i) light[i] = static_cast<float>(i % 7);
        encodeGltfLightmap(source, scene, true, "", "");
    } catch (const GlowbakeError&) {
    }
    return 0;
}
