#pragma once

#include <vector>

#include <tiny_gltf.h>

#include "GltfRelight.h"

struct ExportScene;
struct SceneSurfaces;

// A new glTF document of a scene that was not glTF, from its surfaces: one
// node and mesh per mesh of the model (its corners already placed by the
// node transforms), one primitive per material, three vertices a triangle
// with their normals (flat where the file has none), TEXCOORD_0 where the
// file has texture coordinates and the lightmap's in TEXCOORD_1. Each
// material is a metal-free, fully rough PBR material of the file's base
// colour factor (clamped to 0..1) and texture, and its emission (the
// factor scaled into 0..1, the rest as KHR_materials_emissive_strength).
// `litMaterials` receives every material; returns the lightmap's set, 1.
int documentOfSurfaces(tinygltf::Model& doc, const SceneSurfaces& surfaces, const ExportScene& scene,
                       const AtlasCoordinate& atlas, std::vector<int>& litMaterials);
