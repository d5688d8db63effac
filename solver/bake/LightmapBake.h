#pragma once

#include <vector>

#include "Color.h"
#include "GrowArray.h"
#include "PatchGroup.h"
#include "Texture.h"
#include "TextureLayout.h"

// An element centre mapped into a patch's texture, with its colour.
struct TexturePoint {
    int x;
    int y;
    Color color;
};

// Every patch's groups, by position in the group array, in ascending order:
// found once, so that a patch's points need no walk over every group.
struct GroupsByPatch {
    GroupsByPatch(const GroupArray& groups, int numPatches);
    std::vector<std::vector<int>> of;  // per patch
};

// The points baked into patch p's texture: the centres of the elements of
// p's own groups and of its co-planar neighbours' groups, in group order,
// each with its colour from `elementColors` (4 per group, group g's element
// k at 4 g + k). `byPatch` indexes `groups`.
void collectTexturePoints(int p, const PatchLayout& layout, const GroupArray& groups, const GroupsByPatch& byPatch,
                          const GrowArray<int>& neighbors, const std::vector<Color>& elementColors,
                          std::vector<TexturePoint>& points);

// The pairs of points joined by an edge: the Delaunay triangulation's edges
// when the points span a triangle; otherwise each point paired with itself,
// so that it is painted on its own.
std::vector<int> bakeEdges(const std::vector<TexturePoint>& points);

// One patch's texture: every edge with both ends inside drawn as a
// gradient, then the gaps filled along rows and columns, then a box blur of
// radius 10. The same steps for any texel type.
template <typename T>
TextureOf<T> bakeTexture(int wide, int high, const std::vector<TexturePoint>& points, const std::vector<int>& edges) {
    TextureOf<T> texture(wide, high);
    auto inside = [&](const TexturePoint& q) { return q.x >= 0 && q.x < wide && q.y >= 0 && q.y < high; };
    for (size_t k = 0; k + 1 < edges.size(); k += 2) {
        const TexturePoint& a = points[edges[k]];
        const TexturePoint& b = points[edges[k + 1]];
        if (inside(a) && inside(b)) drawEdge(texture, a.x, a.y, a.color, b.x, b.y, b.color);
    }
    fillRows(texture);
    fillColumns(texture);
    boxBlur(texture, 10);
    return texture;
}

// Every group's element colours, 4 per group in group order.
std::vector<Color> elementRadiosities(const GroupArray& groups);
