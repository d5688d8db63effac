#include "ElementLocator.h"

#include <string>

#include "GlowbakeError.h"

namespace {

// Which of a triangle's four midpoint sub-triangles holds the point, and
// the point's weights in that sub-triangle, whose corners run as the
// group's elements do: 0 (v0, m01, m20), 1 (v1, m12, m01), 2 (v2, m20, m12),
// 3 (m01, m12, m20).
int descend(double& b0, double& b1, double& b2) {
    const double a0 = b0, a1 = b1, a2 = b2;
    if (a0 >= 0.5) {
        b0 = 2.0 * a0 - 1.0, b1 = 2.0 * a1, b2 = 2.0 * a2;
        return 0;
    }
    if (a1 >= 0.5) {
        b0 = 2.0 * a1 - 1.0, b1 = 2.0 * a2, b2 = 2.0 * a0;
        return 1;
    }
    if (a2 >= 0.5) {
        b0 = 2.0 * a2 - 1.0, b1 = 2.0 * a0, b2 = 2.0 * a1;
        return 2;
    }
    b0 = 1.0 - 2.0 * a2, b1 = 1.0 - 2.0 * a0, b2 = 1.0 - 2.0 * a1;
    return 3;
}

}  // namespace

ElementLocator::ElementLocator(const GroupArray& groups, int numPatches) : roots(static_cast<size_t>(numPatches), -1) {
    nodes.reserve(static_cast<size_t>(groups.count()) * 4 / 3 + 1);
    for (int g = 0; g < groups.count(); ++g) {
        const PatchGroup& group = *groups[g];
        if (group.splitDepth > 31) {
            throw GlowbakeError("patch " + std::to_string(group.parentPatchId) + " is split more than 31 times deep");
        }
        int& root = roots[group.parentPatchId];
        if (root < 0) {
            root = static_cast<int>(nodes.size());
            nodes.emplace_back();
        }
        int node = root;
        for (int level = group.splitDepth - 1; level >= 0; --level) {
            const int digit = static_cast<int>((group.splitPath >> (2 * level)) & 3u);
            if (nodes[node].child[digit] < 0) {
                nodes[node].child[digit] = static_cast<int>(nodes.size());
                nodes.emplace_back();
            }
            node = nodes[node].child[digit];
        }
        nodes[node].group = g;
    }
}

int ElementLocator::find(int patch, double b0, double b1, double b2) const {
    int node = roots[patch];
    while (node >= 0) {
        const int digit = descend(b0, b1, b2);
        if (nodes[node].group >= 0) return 4 * nodes[node].group + digit;
        node = nodes[node].child[digit];
    }
    return -1;
}
