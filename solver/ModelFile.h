#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Color.h"
#include "Tri.h"

// The reflectance and emission of one input patch, shared by every group
// that descends from it.
struct PatchColors {
    Color reflectance;
    Color emission;
};

// What reading a model file leaves: the patches in file order, their shared
// colours, and the colours exactly as read for the co-planar pass.
struct Model {
    std::vector<Tri> patches;
    std::vector<std::unique_ptr<PatchColors>> colors;
    // Per patch: r, g, b, er, eg, eb as read.
    std::vector<float> r, g, b, er, eg, eb;
};

// Reads a model file: a patch count, then per patch three corners (x y z),
// a reflectance (r g b) and an emission (r g b), all whitespace-separated.
// Prints the loading progress. Throws GlowbakeError naming the file and the
// patch where a number is missing, malformed or not finite.
//
// The count is not trusted for allocation: patches are stored as they are
// read, so a huge count in a short file costs nothing.
Model readModel(std::FILE* file, const std::string& fileName);
