#pragma once

#include <string>
#include <vector>

// The lighting exported beside the scene file: a glTF of the lit scene, the
// atlas as HDR or as a picture, the irradiance atlas, and the input scene
// with the irradiance as its lightmap.
struct ExportSettings {
    std::string gltfFile;        // --gltf: a .glb, or a .gltf with its .bin and .png beside it; empty: none
    // --lightmap, as often as given: .exr/.hdr linear radiosity, .png the picture.
    std::vector<std::string> lightmapFiles;
    std::string irradianceFile;  // --irradiance: .exr/.hdr light arriving per texel; empty: none
    // --gltf-lightmap: the input scene given back as glTF (.glb, or .gltf with its .bin and .png) with a
    // second set of texture coordinates and the irradiance lightmap on every material; empty: none
    std::string gltfLightmapFile;
    float exposureStops = 0.0f;  // --exposure: stops added to the automatic exposure; 0 keeps it
    bool given = false;          // any of these options appeared: the run reports its exposure

    bool any() const {
        return !gltfFile.empty() || !lightmapFiles.empty() || !irradianceFile.empty() || !gltfLightmapFile.empty();
    }
};
