#pragma once

#include <cstdio>
#include <string>

#include "Model.h"
#include "Progress.h"

// True when a model file name is read as the text model: a name ending in
// .mdl or .txt (any letter case), one without an extension, and one whose
// extension no scene importer knows. Every other name is an imported scene.
bool isTextModelName(const std::string& fileName);

// Loads the model named `fileName`: the text model from `file` (opened by the
// caller for reading), any other scene through the importer, which reads the
// file by name. Throws GlowbakeError naming the file on bad input.
Model loadModel(std::FILE* file, const std::string& fileName, const Progress& progress);
