#pragma once

#include <functional>
#include <vector>

#include <tiny_gltf.h>

struct GltfLightmapSource;

// The lightmap's texture coordinate at corner `corner` (0, 1, 2) of patch
// `patch`, in glTF's convention.
using AtlasCoordinate = std::function<void(int patch, int corner, float& u, float& v)>;

// The input glTF document with a set of lightmap coordinates on every
// triangle primitive the scene draws: `doc` is the source's document with
// everything in one buffer, and is changed in place.
//
// Each primitive's vertices are split where its triangles' corners have
// different atlas coordinates (in Glowbake's atlas every triangle is a chart
// of its own) and every attribute, morph targets' included, is carried to
// the new vertices unchanged; strips and fans become triangle lists. The
// first node that draws a mesh gets the mesh; every further node gets a copy
// of it, since each place in the scene has light of its own.
//
// The set is the first free one over all those primitives (TEXCOORD_1 when
// they have TEXCOORD_0 at most); a primitive with fewer sets gets the atlas
// coordinates in the missing ones too, so that its sets stay consecutive.
// Primitives without a material get a default one. Returns the set;
// `litMaterials` receives every material the lit primitives use.
int relightDocument(tinygltf::Model& doc, const GltfLightmapSource& source, const AtlasCoordinate& atlas,
                    std::vector<int>& litMaterials);
