#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Model.h"
#include "Progress.h"

// Reads a model file: a patch count, then per patch three corners (x y z),
// a reflectance (r g b) and an emission (r g b), all whitespace-separated.
// Reports the loading progress as text. Throws GlowbakeError naming the file and the
// patch where a number is missing, malformed or not finite.
//
// The count is not trusted for allocation: patches are stored as they are
// read, so a huge count in a short file costs nothing.
Model readModel(std::FILE* file, const std::string& fileName, const Progress& progress);
