#pragma once

#include <vector>

#include "PatchGroup.h"

// Finds the element that holds a point of a patch, from the point's
// barycentric weights in the patch. The groups of a patch tile it by
// repeated midpoint splits; the locator keeps that tree (from each group's
// split path) and walks it down, so a lookup costs one step a split level.
struct ElementLocator {
    // Indexes every group of `groups` under its patch. Throws GlowbakeError
    // when a group's split path is deeper than the locator can hold.
    ElementLocator(const GroupArray& groups, int numPatches);

    // The element holding the point of patch `patch` with barycentric
    // weights (b0, b1, b2) (summing to 1), as 4 * group + element; -1 when
    // the patch has no group there (it has none at all).
    int find(int patch, double b0, double b1, double b2) const;

private:
    struct Node {
        int child[4] = {-1, -1, -1, -1};
        int group = -1;  // a leaf: the group whose elements tile this node
    };
    std::vector<Node> nodes;
    std::vector<int> roots;  // per patch; -1 when the patch has no group
};
