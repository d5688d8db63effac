#include "LightmapWriter.h"

#include <cmath>
#include <cstring>
#include <triangle.h>

#include "GlowbakeError.h"
#include "SceneFile.h"
#include "Texture.h"

namespace {

// A product-sum truncated toward zero, pinned to a range in which the
// integer conversion is defined (far-away neighbour points can map far
// outside the texture).
int truncCoordinate(double v) {
    if (!(v > -536870912.0)) return v != v ? 0 : -536870912;
    if (!(v < 536870912.0)) return 536870912;
    return static_cast<int>(v);
}

int bitCount(int k) {
    int bits = 0;
    while (k > 0) {
        ++bits;
        k >>= 1;
    }
    return bits;
}

struct TexturePoint {
    int x;
    int y;
    Color color;
};

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

// Maps the interval [lo, hi] onto texels 0.1 x side .. 0.9 x side. A
// degenerate patch has no extent; it is mapped to a single texel column or
// row instead of dividing by zero.
void axisMapping(int side, float lo, float hi, float& scale, float& offset) {
    const float margin = static_cast<float>(side) * 0.1f;
    const double extent = static_cast<double>(hi) - static_cast<double>(lo);
    if (extent > 0.0 && std::isfinite(extent)) {
        scale = static_cast<float>((static_cast<double>(side) - 2.0 * margin) / extent);
        offset = static_cast<float>(static_cast<double>(margin) - static_cast<double>(lo) * scale);
    } else {
        scale = 0.0f;
        offset = margin;
    }
}

}  // namespace

double textureMemoryBytes(long long textSize) {
    // Other patches get at most the next power of two above textSize. In
    // double: the product overflows any integer for absurd sizes.
    const double side = 2.0 * static_cast<double>(textSize);
    return side * side * (4 + 4 + 4 * 8);
}

int LightmapWriter::textureSide(float area, float largest, int baseSide) {
    if (!(area < largest)) return baseSide;
    const float recip = static_cast<float>(1.0 / std::sqrt(static_cast<double>(largest)));
    const float s = static_cast<float>(std::sqrt(static_cast<double>(area)) * recip);
    const float product = static_cast<float>(baseSide) * s;
    const int k = static_cast<int>(product);
    int side = 1 << bitCount(k);
    if (side < 4) side = 4;
    return side;
}

LightmapWriter::LightmapWriter(std::FILE* file_, const std::vector<Tri>& patches_, int numPatches_, int textSize,
                               int textHighSetting, float largestPatchArea_,
                               const std::vector<GrowArray<int>>& neighbors_, const std::string& fileName_)
    : file(file_),
      fileName(fileName_),
      largestPatchArea(largestPatchArea_),
      baseWide(textSize),
      baseHigh(textHighSetting),
      patches(patches_),
      numPatches(numPatches_),
      neighbors(neighbors_) {
    scene::writeHeader(file, fileIO, numPatches);
    const size_t n = static_cast<size_t>(numPatches);
    for (auto* v : {&angleX, &angleY, &offsetX, &offsetY, &scaleX, &scaleY}) v->assign(n, 0.0f);
    for (int t = 0; t < 3; ++t) {
        anchorU[t].assign(n, 0);
        anchorV[t].assign(n, 0);
    }
    textHigh.assign(n, 0);
    textWide.assign(n, 0);

    for (int p = 0; p < numPatches; ++p) {
        const Tri& patch = patches[p];
        zAlignAngles(patch.normal(), angleX[p], angleY[p]);
        const float a = patch.area();
        const int w = textureSide(a, largestPatchArea, baseWide);
        const int h = textureSide(a, largestPatchArea, baseHigh);
        textWide[p] = w;
        textHigh[p] = h;

        Tri rotated = patch.clone();
        rotated.rotateX(angleX[p]);
        rotated.rotateY(angleY[p]);
        float minX = 3.4028235e38f, minY = 3.4028235e38f;
        float maxX = -3.4028235e38f, maxY = -3.4028235e38f;
        for (const Vec3& v : rotated.vertices) {
            if (v.x > maxX) maxX = v.x;
            if (v.x < minX) minX = v.x;
            if (v.y > maxY) maxY = v.y;
            if (v.y < minY) minY = v.y;
        }
        axisMapping(w, minX, maxX, scaleX[p], offsetX[p]);
        axisMapping(h, minY, maxY, scaleY[p], offsetY[p]);
        for (int t = 0; t < 3; ++t) {
            const Vec3& v = rotated.vertices[t];
            int u = truncCoordinate(static_cast<double>(v.x) * scaleX[p] + offsetX[p]);
            int vv = truncCoordinate(static_cast<double>(v.y) * scaleY[p] + offsetY[p]);
            u = u < 0 ? 0 : (u > w - 1 ? w - 1 : u);
            vv = vv < 0 ? 0 : (vv > h - 1 ? h - 1 : vv);
            anchorU[t][p] = u;
            anchorV[t][p] = vv;
        }
    }
    if (!fileIO.ok) throw GlowbakeError("could not write scene file " + fileName);
}

void LightmapWriter::writeScene(const GrowArray<PatchGroup*>& groups) {
    std::printf("writing texture data for patch:  ");
    std::vector<TexturePoint> points;
    std::vector<char> contributing(static_cast<size_t>(numPatches), 0);
    for (int p = 0; p < numPatches; ++p) {
        std::printf("%d/%d   ", p, numPatches);
        const int w = textWide[p], h = textHigh[p];
        Texture texture(w, h);

        points.clear();
        // The patch itself and its neighbours, as a lookup by patch id.
        const GrowArray<int>& near = neighbors[p];
        contributing[p] = 1;
        for (int i = 0; i < near.count(); ++i) contributing[near[i]] = 1;
        for (int gi = 0; gi < groups.count(); ++gi) {
            const PatchGroup* group = groups[gi];
            if (!contributing[group->parentPatchId]) continue;
            for (int j = 0; j < 4; ++j) {
                Tri element = group->elements[j].clone();
                element.rotateX(angleX[p]);
                element.rotateY(angleY[p]);
                const Vec3 m = element.centroid();
                points.push_back({truncCoordinate(static_cast<double>(m.x) * scaleX[p] + offsetX[p]),
                                  truncCoordinate(static_cast<double>(m.y) * scaleY[p] + offsetY[p]),
                                  group->radiosity[j]});
            }
        }
        contributing[p] = 0;
        for (int i = 0; i < near.count(); ++i) contributing[near[i]] = 0;
        if (points.size() < 4) std::printf("debug\n");

        auto inside = [&](const TexturePoint& q) { return q.x >= 0 && q.x < w && q.y >= 0 && q.y < h; };
        if (triangulable(points)) {
            const std::vector<int> edges = delaunayEdges(points);
            for (size_t k = 0; k + 1 < edges.size(); k += 2) {
                const TexturePoint& a = points[edges[k]];
                const TexturePoint& b = points[edges[k + 1]];
                if (inside(a) && inside(b)) drawEdge(texture, a.x, a.y, a.color, b.x, b.y, b.color);
            }
        } else {
            for (const TexturePoint& q : points)
                if (inside(q)) drawEdge(texture, q.x, q.y, q.color, q.x, q.y, q.color);
        }

        fillRows(texture);
        fillColumns(texture);
        boxBlur(texture, 10);

        scene::RecordHeader record;
        for (int t = 0; t < 3; ++t) {
            record.corners[t] = patches[p].vertices[t];
            record.anchorU[t] = anchorU[t][p];
            record.anchorV[t] = anchorV[t][p];
        }
        record.textWide = w;
        record.textHigh = h;
        scene::writeRecordHeader(file, fileIO, record);
        scene::writeTexels(file, fileIO, texture.texels.data(), static_cast<long long>(w) * h);
        if (!fileIO.ok) throw GlowbakeError("could not write scene file " + fileName + " (disk full?)");
    }
    std::printf("\nDone writing texture data.\n");
}
