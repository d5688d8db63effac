#include "LightmapBake.h"

#include <algorithm>

#include <cstring>
#include <triangle.h>

namespace {

// Triangle stops the whole process on fewer than three distinct points, and a
// collinear set has no triangles; such sets are painted point by point.
bool triangulable(const std::vector<TexturePoint>& points) {
    if (points.size() < 3) return false;
    const TexturePoint& a = points[0];
    size_t second = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        if (points[i].x != a.x || points[i].y != a.y) {
            second = i;
            break;
        }
    }
    if (second == 0) return false;
    const long long ux = points[second].x - a.x, uy = points[second].y - a.y;
    for (size_t i = second + 1; i < points.size(); ++i) {
        const long long vx = points[i].x - a.x, vy = points[i].y - a.y;
        if (ux * vy - uy * vx != 0) return true;
    }
    return false;
}

// The Delaunay edges of the point set, as pairs of point indices.
std::vector<int> delaunayEdges(const std::vector<TexturePoint>& points) {
    std::vector<double> pointList;
    pointList.reserve(points.size() * 2);
    for (const TexturePoint& p : points) {
        pointList.push_back(static_cast<float>(p.x));
        pointList.push_back(static_cast<float>(p.y));
    }
    triangulateio in, out;
    std::memset(&in, 0, sizeof in);
    std::memset(&out, 0, sizeof out);
    in.pointlist = pointList.data();
    in.numberofpoints = static_cast<int>(points.size());
    char switches[] = "pczNEPBQe";
    triangulate(switches, &in, &out, nullptr);
    std::vector<int> edges(out.edgelist, out.edgelist + 2 * static_cast<size_t>(out.numberofedges));
    // Everything Triangle allocated for `out`; hole and region lists are the
    // input's own pointers copied across.
    for (void* p : {static_cast<void*>(out.pointlist), static_cast<void*>(out.pointattributelist),
                    static_cast<void*>(out.pointmarkerlist), static_cast<void*>(out.trianglelist),
                    static_cast<void*>(out.triangleattributelist), static_cast<void*>(out.neighborlist),
                    static_cast<void*>(out.segmentlist), static_cast<void*>(out.segmentmarkerlist),
                    static_cast<void*>(out.edgelist), static_cast<void*>(out.edgemarkerlist),
                    static_cast<void*>(out.normlist)}) {
        if (p && p != in.pointlist) trifree(p);
    }
    return edges;
}

}  // namespace

GroupsByPatch::GroupsByPatch(const GroupArray& groups, int numPatches) : of(static_cast<size_t>(numPatches)) {
    for (int g = 0; g < groups.count(); ++g) of[groups[g]->parentPatchId].push_back(g);
}

void collectTexturePoints(int p, const PatchLayout& layout, const GroupArray& groups, const GroupsByPatch& byPatch,
                          const GrowArray<int>& near, const std::vector<Color>& elementColors,
                          std::vector<TexturePoint>& points) {
    points.clear();
    // The groups of the patch and of its neighbours, in group-array order.
    std::vector<int> contributing = byPatch.of[p];
    for (int i = 0; i < near.count(); ++i) {
        const std::vector<int>& more = byPatch.of[near[i]];
        contributing.insert(contributing.end(), more.begin(), more.end());
    }
    std::sort(contributing.begin(), contributing.end());
    for (int gi : contributing) {
        const PatchGroup& group = *groups[gi];
        for (int j = 0; j < 4; ++j) {
            Tri element = group.elements[j].clone();
            element.rotateX(layout.angleX);
            element.rotateY(layout.angleY);
            TexturePoint point;
            texelOf(layout, element.centroid(), point.x, point.y);
            point.color = elementColors[4 * static_cast<size_t>(gi) + j];
            points.push_back(point);
        }
    }
}

std::vector<int> bakeEdges(const std::vector<TexturePoint>& points) {
    if (triangulable(points)) return delaunayEdges(points);
    std::vector<int> selfEdges;
    selfEdges.reserve(2 * points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        selfEdges.push_back(static_cast<int>(i));
        selfEdges.push_back(static_cast<int>(i));
    }
    return selfEdges;
}

std::vector<Color> elementRadiosities(const GroupArray& groups) {
    std::vector<Color> colors;
    colors.reserve(4 * static_cast<size_t>(groups.count()));
    for (int g = 0; g < groups.count(); ++g)
        for (const Color& c : groups[g]->radiosity) colors.push_back(c);
    return colors;
}
