#pragma once

#include <cstdint>
#include <memory>
#include <vector>
#include <vector>

#include "Color.h"
#include "FormFactorRow.h"
#include "GrowArray.h"
#include "Hemicube.h"
#include "Tri.h"

struct FormFactorWorkspace;
struct PatchGroup;

// The solver's working list. It owns its groups; a group's position in it
// indexes the form-factor rows, so it does not change between a pass's
// projection and the sweeps that read the rows.
using GroupArray = GrowArray<std::unique_ptr<PatchGroup>>;

// Where one of an element's form-factor rays first met a patch: the patch
// (-1: it left the scene; -2: it met a patch's back) and the barycentric
// weights of corners 1 and 2 there. Kept so that a restart resolves the ray
// again, to the elements as they are split then, without casting it.
struct StoredRayHit {
    int patch;
    float u;
    float v;
};

// A triangle split once at its edge midpoints into four elements, each with
// its own emission, radiosity and form-factor row: the unit of the solver's
// working list.
//
//   element 0: v0, m01, m20     element 2: v2, m20, m12
//   element 1: v1, m12, m01     element 3: m01, m12, m20
struct PatchGroup {
    bool initialized = false;
    bool hasFormFactors = false;
    int parentPatchId = -1;
    Tri elements[4];
    // Elements without area (and so without direction), found once.
    bool elementDegenerate[4] = {false, false, false, false};
    const Color* reflectance = nullptr;  // shared by every group of the patch
    const Color* emission[4] = {nullptr, nullptr, nullptr, nullptr};
    Color radiosity[4];
    // Row e: form factors from element e to element k of the group at array
    // position g, at index 4 * g + k.
    FormFactorRow formFactors[4];
    int formFactorGroupCount = 0;
    const Hemicube* hemicube = nullptr;
    bool subdivide = false;
    // Where the group lies in its patch: the element taken at each split
    // since the patch's first group, two bits a split, the latest in the
    // lowest bits. The patch's first group has depth 0.
    std::uint64_t splitPath = 0;
    int splitDepth = 0;
    // With ray form factors: each element's hemisphere rays as they hit, in
    // ray order; empty until its rows are first cast.
    std::vector<StoredRayHit> rayHits[4];

    void initFromTri(const Tri& source, int parentPatchId, const Color* reflectance, const Color* emission,
                     const Color& initialRadiosity, const Hemicube* hemicube);

    // Replaces this group, at `index` of `groups`, by its four children
    // (appended at the end) when it is marked for subdivision. The group
    // itself is released on return: the caller must not use it afterwards.
    bool splitGroup(GroupArray& groups, int index);
    // The four children, child i covering element i and starting from its
    // radiosity; the group itself is left as it is.
    void makeChildren(std::unique_ptr<PatchGroup> (&children)[4]) const;

    // Marks the group when two of its elements differ by more than threshold
    // in any channel.
    void checkSubdivide(float threshold);
    // Radiosity back to 0 and form-factor rows released.
    void resetSolution();

    // The four form-factor rows from the whole group array.
    void computeFormFactors(const GroupArray& groups);
    void computeFormFactors(const GroupArray& groups, FormFactorWorkspace& workspace);
    // The same rows by the plain, allocation-heavy projection that the fast
    // path must match bit for bit; kept as the reference for tests.
    void computeFormFactorsReference(const GroupArray& groups);
};
