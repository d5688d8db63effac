#pragma once

#include "Sky.h"

// The numbers that steer a solve (the program's -w -a -i -s -g -t). The
// thresholds are absolute, in the units of the emission: scale them with the
// brightest emission of the scene.
struct SolverSettings {
    // -w: width of the hemicube's top face in world units. It only places
    // the near clipping plane (0.0005 x w in front of each element); keep it
    // small against the scene. Typical 1 to 2 for a room 30 units wide.
    float hemicubeWorldWide = 1.0f;
    // -a: every input triangle is split at its edge midpoints until its
    // elements are no larger than this area. Smaller is finer and slower:
    // the projection grows roughly with the square of the group count.
    float maxPatchArea = 4.0f;
    // -i: a colour channel has converged when no element changes by more
    // than this in a sweep. Typical 0.001 to 0.01 of the brightest emission.
    float iterThreshold = 0.005f;
    // -s: after a pass, groups whose elements differ by more than this in any
    // channel are split and the solve restarts. Typical 0.05 to 0.3 of the
    // brightest emission; smaller refines more, each pass costs a projection.
    float subDivideThreshold = 0.1f;
    // -g: exponent applied to the radiosities before they are normalised so
    // that the brightest component is 1; 1 leaves them linear. Typical 0.3
    // to 1.
    float gamma = 1.0f;
    // -t: texture side of the largest patch; smaller patches get a power of
    // two of at least 4. Typical 64; texture memory grows with its square.
    int textSize = 64;
    // --form-factors rays[:R]: each element's row from R rays (and its
    // factors to emitters from points on them) instead of a hemicube view.
    // 0: the hemicube. Typical 256; a row's cost grows linearly with R and
    // with the logarithm of the scene, its error falls as 1 / sqrt(R).
    int formFactorRays = 0;
    // --sky R G B or --sky FILE: the radiance of everything beyond the
    // scene, in the units of the emission colours; directions that leave
    // the scene bring it. Empty (the default): none.
    Sky sky;
    bool hasSky() const { return !sky.empty(); }
};

// Rays per element that measure how much of the sky it sees.
constexpr int kSkyRays = 256;
