#pragma once

#include <string>

#include "Model.h"
#include "Progress.h"

struct SceneSurfaces;

// Reads a scene in any format Assimp imports (OBJ with its MTL, glTF 2.0,
// PLY, FBX, COLLADA, STL, ...) into a model.
//
// Every mesh of the scene, with its node transforms applied, becomes a run
// of patches in node order (depth first) and face order; polygons are split
// into triangles, points and lines are left out with one warning. Corners are
// reordered so that a triangle's lit side is the format's front side (the
// side from which its corners run counter-clockwise, or clockwise under a
// mirroring transform). Coordinates are kept as they are.
//
// A patch's reflectance is its material's diffuse or base colour, times the
// linear mean of its base-colour texture when it has one; its emission is the
// emissive colour times the emissive strength (glTF's
// KHR_materials_emissive_strength included). Every patch's vertexTolerance is
// 1e-4 of the scene's bounding-box diagonal.
//
// Area lights that come with a size (Assimp's .blend reader gives them)
// become emitting rectangles after the meshes: a mesh of two triangles named
// after the light, reflectance 0, lit side the side the light faces,
// emission its radiance as Cycles renders it (AreaLight.h); one without a
// size is left out with a note in the model's ignoredLights.
//
// Reports the same loading progress as the text model reader once the scene
// is read; warnings (left-out primitives, a texture that cannot be read) go
// to standard error. Throws GlowbakeError "model file NAME: ..." when the
// file cannot be imported (screenSceneFile's refusals included), holds no
// triangle, or holds a coordinate or colour that is not finite; throws
// std::bad_alloc when the importer runs out of memory.
//
// With `surfaces`, also fills in the materials as the file gives them and
// every patch's corner normals and texture coordinates.
//
// Runs the importer in this process: a file that crashes the importer
// crashes the caller. The program imports through importSceneGuarded.
Model importScene(const std::string& fileName, const Progress& progress, SceneSurfaces* surfaces = nullptr);

// The loading progress importScene reports for the model it has read.
void reportImportedScene(const Model& model, const Progress& progress);

// The co-planar neighbour corner tolerance of imported patches, as a
// fraction of the scene's bounding-box diagonal: shared corners written by an
// exporter agree far closer than this, distinct parallel surfaces are far
// farther apart.
constexpr double kImportedToleranceFraction = 1e-4;
