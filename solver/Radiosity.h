#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "GrowArray.h"
#include "Hemicube.h"
#include "LightmapWriter.h"
#include "Model.h"
#include "PatchGroup.h"

// Names of the three files, for messages.
struct FileNames {
    std::string model;
    std::string hemicube;
    std::string output;
};

// The solver's top-level record: it owns everything the solver builds.
struct Radiosity {
    // Loads and prepares everything up to the solver: hemicube, model,
    // neighbour lists, initial subdivision, texture layout (which writes the
    // scene file's patch count). Throws GlowbakeError on bad input.
    Radiosity(std::FILE* modelFile, std::FILE* hemicubeFile, std::FILE* outputFile, float hemicubeWorldWide,
              float maxPatchArea, float iterThreshold, float subDivideThreshold, float gamma, int textSize,
              const FileNames& names);
    ~Radiosity();
    Radiosity(const Radiosity&) = delete;
    Radiosity& operator=(const Radiosity&) = delete;

    // Passes of projection, gathering and subdivision until nothing splits,
    // then gamma, normalisation and the scene file.
    void solve();

    // One channel by Gauss-Seidel gathering until no element changes by more
    // than iterThreshold (or the sweep limit); returns the sweeps run.
    int gatherChannel(int ch);
    // Every group's form-factor rows, on all cores, printing one progress
    // line per group in order.
    void projectAll();
    // Marks uneven groups and splits them; true when any group was split.
    bool subdivisionPass(int restart);
    void applyGamma();
    void normalize();

    int numPatches = 0;
    std::vector<Tri> patches;
    GrowArray<PatchGroup*> groups;
    std::unique_ptr<Hemicube> hemicube;
    std::unique_ptr<LightmapWriter> lightmapWriter;
    float iterThreshold = 0.0f;
    float subDivideThreshold = 0.0f;
    float gamma = 1.0f;
    float maxPatchArea = 0.0f;
    std::vector<GrowArray<int>> neighbors;

    std::vector<PatchColors> patchColors;
    float largestPatchArea = 0.0f;
};

// Groups the initial area-based subdivision makes of patches of these areas:
// a patch of area A becomes 4^k groups, k the smallest whole number with
// A / 4^(k+1) <= maxArea. Saturates at `cap` + 1.
long long predictedGroupCount(const std::vector<double>& areas, double maxArea, long long cap);
// The smallest maximum area for which the prediction stays within `cap`.
double smallestWorkableArea(const std::vector<double>& areas, long long cap);

// Splits every group whose elements are larger than maxPatchArea until none
// is; children are appended and reached by the same walk.
void splitLargeGroups(GrowArray<PatchGroup*>& groups, float maxPatchArea);
// The same, printing the group counts before and after.
void subdivideByArea(GrowArray<PatchGroup*>& groups, float maxPatchArea);
