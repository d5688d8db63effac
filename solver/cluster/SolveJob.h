#pragma once

#include <vector>

#include "Hemicube.h"
#include "Model.h"
#include "SolverSettings.h"

// Everything a process needs to take its share of a solve and of the final
// gather, as process 0 read and chose it: the model's patches, colours and
// lamps (not its names or meshes, which only the outputs use), the hemicube
// tables and the settings.
struct SolveJob {
    Model model;
    HemicubeTables tables;
    SolverSettings settings;
    int gatherRays = 0;
};

std::vector<char> packSolveJob(const SolveJob& job);
// Throws GlowbakeError when the bytes do not hold a whole job.
SolveJob unpackSolveJob(const std::vector<char>& bytes);
