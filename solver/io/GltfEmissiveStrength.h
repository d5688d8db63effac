#pragma once

#include <string>
#include <map>
#include <vector>

// The KHR_materials_emissive_strength factor of every material of a glTF 2.0
// file (.gltf text or .glb binary), by material index; 1 where a material
// has none. Empty when the file's JSON cannot be read (the importer that
// reads the rest of the file reports that).
std::vector<float> gltfEmissiveStrengths(const std::string& path);

// The `range` of KHR_lights_punctual of every node that holds a light with
// one, by node name. Empty when the file's JSON cannot be read.
std::map<std::string, double> gltfLightRanges(const std::string& path);

// True for the names that gltfEmissiveStrengths reads: .gltf and .glb, in any
// letter case.
bool isGltfName(const std::string& path);
