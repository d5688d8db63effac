#pragma once

#include <string>

#include "Hemicube.h"
#include "Model.h"

// --quality: every number a solve needs, chosen from the scene itself.
enum class Quality { None, Draft, Medium, High };

struct QualityChoice {
    int hemicubeResolution = 0;   // the hemicube built in memory (when no file is given)
    float hemicubeWorldWide = 0;  // -w: a hundredth of the scene's diagonal (only the near plane)
    float maxPatchArea = 0;       // -a: elements small enough for about `targetGroups` groups
    float iterThreshold = 0;      // -i: 1/1000 of the brightest light (emission, or a lamp's at a quarter of the scene)
    float subDivideThreshold = 0; // -s: draft none; medium 1/4 and high 1/10 of the brightest light
    float gamma = 0;              // -g: 0.45, so the viewer shows the walls, not only the lights
    int textSize = 0;             // -t: the largest the texel budget allows
    int formFactorRays = 0;       // --form-factors rays:R
    int gatherRays = 0;           // --gather R
};

// The choice for a scene and a level. Draft: about 2,000 groups, 250,000
// texels, 64 rays; medium: 8,000 groups, a million texels, 256 rays; high:
// 30,000 groups, four million texels, 1024 rays. Every group count is at
// least the patch count: each triangle is a group at least.
QualityChoice chooseQuality(const Model& model, Quality quality);

// The hemicube tables of resolution n (even, 2 to Hemicube::kMaxResolution)
// computed in memory, as GlowbakeHemicube writes them to a file.
HemicubeTables makeHemicubeTables(int n);

const char* qualityName(Quality quality);
