#pragma once

#include <cstdint>
#include <vector>

#include "ElementLocator.h"
#include "Model.h"
#include "PatchGroup.h"
#include "RayEngine.h"

// Form-factor rows by ray casting: each element's row from a fixed set of
// cosine-distributed rays, and its factors towards emitting elements from a
// fixed pattern of points with a visibility ray each.
//
// The hemisphere is accounted for once: a ray that lands on an emitting
// patch is not counted (the emitter part holds those factors, computed
// exactly but for visibility), every other ray adds 1/R to the element it
// hits, a ray that meets the back of a patch adds nothing (an element seen
// from behind sends no light), and a ray that leaves the scene is a leak.
// When the scene has more than kMaxExplicitEmitterElements emitting
// elements, emitters are found by the rays like every other element.

// Rays per element when `--form-factors rays` gives none.
constexpr int kDefaultFormFactorRays = 256;
// Above this many emitting elements, rays find them as they find others.
constexpr int kMaxExplicitEmitterElements = 256;

// What the rays of one pass met. The solver resets it at each pass.
struct RayRowStats {
    long long rays = 0;        // every ray cast, hemisphere and visibility
    long long leaks = 0;       // hemisphere rays that left the scene
    long long reused = 0;      // hemisphere rays resolved again from a stored hit, not cast
    long long hemisphere = 0;  // hemisphere rays, cast or resolved again
    int firstLeakGroup = -1;   // the lowest group (of the pass's array) with a ray that left, or -1
    int firstLeakPatch = -1;   // that group's patch
};

// One pass's scene for the rays: the element lookup over the pass's groups
// and the emitting elements. Holds references to the engine, the model and
// the groups, which must outlive it and not change while it is used.
struct RayFormFactors {
    RayFormFactors(const RayEngine& engine, const Model& model, const GroupArray& groups, int rays);

    // The four rows of group `g`, from the whole group array; safe to call
    // for different groups on different threads. Adds to `stats`. A group
    // whose hits are stored from an earlier pass (it was not split) has its
    // hemisphere rays resolved again from them; the rows are bit for bit
    // those a new cast would give, since the rays are the same.
    void computeRows(PatchGroup& group, RayRowStats& stats) const;

    struct EmitterElement {
        int index = 0;  // 4 * group + element
        int patch = 0;
        double corners[3][3] = {};
        double normal[3] = {};
        double points[16][3] = {};  // the centroids of its 16 midpoint sub-triangles (two levels)
    };

private:
    const RayEngine& engine;
    const Model& model;
    const GroupArray& groups;
    int rays;
    ElementLocator locator;
    std::vector<EmitterElement> emitterElements;
    std::vector<char> patchEmits;
    std::vector<double> normals;  // 3 per patch
    double epsilon = 1e-6;
};

// A stable key of an element: its patch, its group's path of splits and its
// place in the group; the same whatever the order of the work.
std::uint64_t elementKey(const PatchGroup& group, int element);
