#pragma once

#include <cstdio>
#include <string>

#include "Model.h"
#include "Progress.h"

struct SceneSurfaces;

// True when a model file name is read as the text model: a name ending in
// .mdl or .txt (any letter case), one without an extension, and one whose
// extension no scene importer knows. Every other name is an imported scene.
bool isTextModelName(const std::string& fileName);

// Loads the model named `fileName`: the text model from `file` (opened by the
// caller for reading), any other scene through the importer, which reads the
// file by name. Throws GlowbakeError naming the file on bad input. With
// `surfaces`, an imported scene's surfaces are read too (a text model has
// none: they stay empty).
Model loadModel(std::FILE* file, const std::string& fileName, const Progress& progress,
                SceneSurfaces* surfaces = nullptr);
