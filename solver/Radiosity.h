#pragma once

#include <memory>
#include <vector>

#include "Cluster.h"
#include "GrowArray.h"
#include "Hemicube.h"
#include "Model.h"
#include "PatchGroup.h"
#include "Progress.h"
#include "RayEngine.h"
#include "RayFormFactors.h"
#include "SolverSettings.h"
#include "Texture.h"
#include "WorkRanges.h"

// The solver's top-level record: it owns everything the solver builds. It
// works on values in memory only: the model, the hemicube tables and the
// settings come in, and after solve() the results are in `groups` (and
// `linearRadiosity`) for a caller to read, bake or write.
struct Radiosity {
    // Prepares everything up to the solver: hemicube, one group per patch,
    // co-planar neighbour lists, the initial area-based subdivision. Reports
    // progress through `progress`, which must outlive the record. Throws
    // GlowbakeError when the neighbour lists or the subdivision would exceed
    // their limits, or a patch's area is not finite.
    Radiosity(Model model, const HemicubeTables& hemicubeTables, const SolverSettings& settings,
              const Progress& progress);
    Radiosity(const Radiosity&) = delete;
    Radiosity& operator=(const Radiosity&) = delete;

    // Passes of projection, gathering and subdivision until nothing splits,
    // then gamma and normalisation. Afterwards each group's `radiosity`
    // holds the final values (as the scene file uses them) and
    // `linearRadiosity` the values before gamma and normalisation.
    void solve();

    // One channel by Gauss-Seidel gathering until no element changes by more
    // than iterThreshold (or the sweep limit); returns the sweeps run.
    int gatherChannel(int ch);
    // Every group's form-factor rows, on all cores, reporting one progress
    // line per group in order: by hemicube, or by rays when the settings ask.
    // Spread over a cluster, each process computes its share and process 0
    // ends with every row (the others with none: process 0 sweeps).
    void projectAll();
    // Spread: process 0's solved element values to every other process, so
    // that each subdivides the groups as process 0 does.
    void shareSolvedValues();
    // The shares of the groups, as they are now, for the cluster's
    // processes (by the estimated cost of their rows).
    WorkShares groupShares() const;
    // Marks uneven groups and splits them; true when any group was split.
    bool subdivisionPass(int restart);
    void applyGamma();
    void normalize();

    Model model;
    int numPatches = 0;
    SolverSettings settings;
    const Progress& progress;
    Hemicube hemicube;
    GroupArray groups;
    std::vector<GrowArray<int>> neighbors;
    float largestPatchArea = 0.0f;
    int pass = 0;  // the subdivision restart being solved

    // The processes the work is spread over (set before solve(); alone by
    // default). Every process runs the same solve on the same data; the
    // rows, the lamps' and sky's light and the final gather are computed in
    // shares and sent to process 0, which sweeps and sends every other
    // process the solved values, from which each subdivides alike.
    Cluster cluster;
    // Spread: the bytes all processes sent each other in each pass.
    std::vector<long long> clusterBytes;

    // After solve(): the element radiosities before gamma and normalisation,
    // 4 per group in group order (group g's element k at 4 g + k), with
    // values that were not finite set to 0; and the factor normalisation
    // multiplied by (1 / the brightest component after gamma; 0 when nothing
    // emits). A final value is pow(linear, gamma) * normalizationScale, up to
    // rounding.
    std::vector<Color> linearRadiosity;
    double normalizationScale = 0.0;

    // After a final gather, when one was run: per patch (its texture's size),
    // the light arriving at each texel, (B - E) / reflectance, in the
    // emission's units. The textures and atlases are then made from it
    // instead of from the elements. Empty otherwise.
    std::vector<FloatTexture> gatheredIncident;

    // With ray form factors: the engine over the patches (built at the
    // first pass) and what the rays of every pass met.
    std::unique_ptr<RayEngine> rayEngine;
    RayRowStats rayRowStats;
    long long rayRowsCast = 0;           // every pass's rays cast for rows
    long long rayRowsReused = 0;         // every pass's rays resolved again from stored hits
    long long restartHemisphereRays = 0; // the hemisphere rays of the passes after the first

    // With lamps or a sky: the light they send to each element's centre in
    // the pass being solved, 4 per group in group order (what an element
    // receives, times its reflectance, adds to its emission in the
    // gathering). Empty without them.
    std::vector<Color> outsideLight;
    // The lamps' and the sky's light at every element's centre, for the
    // groups as they are: lamps with a shadow ray each, the sky by
    // kSkyRays cosine-distributed rays of which those that leave the scene
    // bring its radiance.
    void lightElementsFromOutside();
};

// Groups the initial area-based subdivision makes of patches of these areas:
// a patch of area A becomes 4^k groups, k the smallest whole number with
// A / 4^(k+1) <= maxArea. Saturates at `cap` + 1.
long long predictedGroupCount(const std::vector<double>& areas, double maxArea, long long cap);
// The smallest maximum area for which the prediction stays within `cap`.
double smallestWorkableArea(const std::vector<double>& areas, long long cap);

// What the initial area-based subdivision could not do.
struct AreaSplit {
    // Groups left larger than the maximum area because their children would
    // not be smaller (far from the origin, edge midpoints round onto corners).
    int unsplittable = 0;
    int firstUnsplittablePatch = -1;
};

// Splits every group whose elements are larger than maxPatchArea until none
// is; children are appended and reached by the same walk, and the array ends
// in creation order. A group whose children would not be smaller stays as it
// is. Throws GlowbakeError when the groups would exceed `cap` (none: -1).
// Linear in the number of groups made.
AreaSplit splitLargeGroups(GroupArray& groups, float maxPatchArea, long long cap = -1);
// The same, reporting the group counts before and after and a warning for
// the groups it could not split.
void subdivideByArea(GroupArray& groups, float maxPatchArea, const Progress& progress, long long cap = -1);
