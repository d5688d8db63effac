#pragma once

#include <string>
#include <vector>

#include "Color.h"
#include "Lamp.h"
#include "Tri.h"

// The reflectance and emission of one input patch, shared by every group
// that descends from it.
struct PatchColors {
    Color reflectance;
    Color emission;
};

// A run of consecutive patches that came from one mesh of the input, for
// writers that give the lighting back mesh by mesh.
struct ModelMesh {
    std::string name;
    std::string material;
    int firstPatch = 0;
    int patchCount = 0;
};

// The scene the solver works on: input triangles (patches) in input order,
// with their colours. A patch's index is its id everywhere.
//
// Each patch's lit side is the one from which its corners run clockwise;
// its Tri::vertexTolerance sets how close two corners must be to count as
// shared by the co-planar neighbour test.
struct Model {
    std::vector<Tri> patches;
    std::vector<PatchColors> colors;  // one per patch
    // Contiguous ranges covering every patch in order; a text model is one
    // mesh. May be left empty by callers that build a model in memory.
    std::vector<ModelMesh> meshes;
    // Lights that are not surfaces, in the solver's units (after
    // convertLampUnits); their light reaches every element and texel with
    // shadows. Empty for a text model.
    std::vector<Lamp> lamps;
    // Lights of the file that are not read, as "light 'NAME' (KIND) is not
    // supported" (an area light without a size: "... gives no usable
    // size ..."), for the program to say so.
    std::vector<std::string> ignoredLights;
};
