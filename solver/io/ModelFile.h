#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Model.h"
#include "Progress.h"

// Reads a model file: a patch count, then per patch three corners (x y z),
// a reflectance (r g b) and an emission (r g b), all whitespace-separated;
// '#' starts a comment that runs to the end of its line. Every word must be
// a number as a whole, the count a whole decimal number. Reports the loading
// progress as text. Throws GlowbakeError naming the file, the line, the patch
// and the word where a number is missing, malformed or not finite. Words
// after the last patch are warned about on standard error, with their count.
//
// The count is not trusted for allocation: patches are stored as they are
// read, so a huge count in a short file costs nothing.
Model readModel(std::FILE* file, const std::string& fileName, const Progress& progress);
