#pragma once
// The solver as the benchmark programs start it: the model and hemicube file
// read as the program reads them, the model split to MAX_AREA, progress
// silent. Throws GlowbakeError when a file cannot be opened or read.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "GlowbakeError.h"
#include "HemicubeFile.h"
#include "ModelFile.h"
#include "Radiosity.h"

inline Radiosity benchSolver(const char* modelPath, const char* hemicubePath, const char* worldWidth,
                             const char* maxArea) {
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> model(std::fopen(modelPath, "r")), cube(std::fopen(hemicubePath, "rb"));
    if (!model || !cube)
        throw GlowbakeError(std::string("cannot open ") + modelPath + " or " + hemicubePath);
    // The solver keeps a reference to its progress record.
    static const Progress silent;
    SolverSettings settings;
    settings.hemicubeWorldWide = static_cast<float>(std::atof(worldWidth));
    settings.maxPatchArea = static_cast<float>(std::atof(maxArea));
    return Radiosity(readModel(model.get(), modelPath, silent), readHemicubeFile(cube.get(), hemicubePath), settings,
                     silent);
}
