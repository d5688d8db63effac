#include "HemicubeView.h"

#include <cmath>

namespace {

// Float-to-pixel conversion: the product in double, truncated toward zero
// (pixel 0 is therefore twice as wide as the others). Values beyond any
// face are pinned far outside it so the integer conversion stays defined.
int truncPixel(float scale, float value) {
    const double p = static_cast<double>(scale) * static_cast<double>(value);
    if (!(p > -536870912.0)) return -536870912;
    if (!(p < 536870912.0)) return 536870912;
    return static_cast<int>(p);
}

// The grid origin is rounded, not truncated: scale rounded to float can put
// trunc(scale * left) one pixel inside the face and shift the whole grid.
int roundPixel(float scale, float value) {
    return static_cast<int>(std::lround(static_cast<double>(scale) * static_cast<double>(value)));
}

struct ScreenCorner {
    int x;
    int y;
    float depth;
};

}  // namespace

// dot(tri.normal(), corner 0) > 0: the eye at the origin sees the
// triangle's back. The unit normal is the cross product times a positive
// float reciprocal, rounded per component, so the sign of the dot product
// equals the sign of the unnormalised one whenever that is clear of zero by
// far more than those roundings (6e-8 of |n| |v0|); only near edge-on
// triangles, or a cross product too small or large to normalise, take the
// full computation.
bool facesAwayFromEye(const Tri& tri) {
    // tri.crossProduct(), written out so that it inlines: the same float
    // operations in the same order.
    const Vec3& v0 = tri.vertices[0];
    const Vec3& v1 = tri.vertices[1];
    const Vec3& v2 = tri.vertices[2];
    const float vx = v2.x - v0.x, vy = v2.y - v0.y, vz = v2.z - v0.z;
    const float wx = v1.x - v0.x, wy = v1.y - v0.y, wz = v1.z - v0.z;
    const Vec3 n(vec3detail::sumOfProducts(vy, wz, -vz, wy), vec3detail::sumOfProducts(vz, wx, -vx, wz),
                 vec3detail::sumOfProducts(vx, wy, -vy, wx));
    const double sumSq = static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y +
                         static_cast<double>(n.z) * n.z;
    if (sumSq > 1e-30 && sumSq < 1e30) {
        const double d = static_cast<double>(n.x) * v0.x + static_cast<double>(n.y) * v0.y +
                         static_cast<double>(n.z) * v0.z;
        const double bound = (std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z)) *
                             (std::fabs(v0.x) + std::fabs(v0.y) + std::fabs(v0.z));
        if (std::fabs(d) > 1e-4 * bound) return d > 0.0;
    }
    return dot(tri.normal(), v0) > 0.0f;
}

HemicubeView::HemicubeView(const Vec3& center_, const Vec3& normal_, const Hemicube& cube)
    : center(center_), normal(normal_), resolution(cube.resolution()), hemicube(cube) {
    const int n = resolution;
    topBuffer.assign(static_cast<size_t>(n) * n, HemicubePixel());
    for (std::vector<HemicubePixel>& side : sideBuffers) side.assign(static_cast<size_t>(n) * n / 2, HemicubePixel());
    rowOffset.resize(n);
    for (int r = 0; r < n; ++r) rowOffset[r] = r * n;
    const Vec3 cubeCenter;
    translation = cubeCenter - center;
    zAlignAngles(normal, angleX, angleY);
    faceDistance = hemicube.worldWidth() * 0.5f;
}

void HemicubeView::project(int item, const Tri& tri) {
    const int n = resolution;
    const float halfPi = kPi * 0.5f;
    Tri t = tri.clone();
    t.translate(translation);
    t.rotateX(angleX);
    t.rotateY(angleY);
    rasterizeFace(topBuffer.data(), rowOffset.data(), t, item, n, n, -faceDistance, faceDistance, -faceDistance,
                  faceDistance, faceDistance);
    t.rotateY(-halfPi);
    t.rotateZ(-halfPi);
    rasterizeFace(sideBuffers[0].data(), rowOffset.data(), t, item, n, n >> 1, -faceDistance, faceDistance, 0.0f,
                  faceDistance, faceDistance);
    for (int s = 1; s < 4; ++s) {
        t.rotateY(-halfPi);
        rasterizeFace(sideBuffers[s].data(), rowOffset.data(), t, item, n, n >> 1, -faceDistance, faceDistance, 0.0f,
                      faceDistance, faceDistance);
    }
}

void HemicubeView::accumulate(float* row) const {
    const int n = resolution;
    const float* topTable = hemicube.faceTable(0);
    for (int p = 0; p < n * n; ++p) {
        const HemicubePixel& px = topBuffer[p];
        if (px.item >= 0 && !px.facesAway) row[px.item] += topTable[p];
    }
    const float* sideTable = hemicube.faceTable(1);
    for (int s = 0; s < 4; ++s) {
        for (int p = 0; p < n * (n / 2); ++p) {
            const HemicubePixel& px = sideBuffers[s][p];
            if (px.item >= 0 && !px.facesAway) row[px.item] += sideTable[p];
        }
    }
}

void rasterizeFace(HemicubePixel* buffer, const int* rowOffset, const Tri& tri, int item, int width, int height,
                   float left, float right, float bottom, float top, float distance) {
    FaceScratch scratch;
    scratch.reserve(height);
    rasterizeFace(buffer, rowOffset, tri, item, width, height, left, right, bottom, top, distance, scratch);
}

FaceGrid::FaceGrid(int width_, int height_, float left, float right, float bottom, float distance_)
    : width(width_), height(height_), distance(distance_) {
    nearDistance = static_cast<float>(distance * 0.001);
    scale = static_cast<float>(width) / (right - left);
    xMinPx = roundPixel(scale, left);
    xMaxPx = xMinPx + width - 1;
    yMinPx = roundPixel(scale, bottom);
    yMaxPx = yMinPx + height - 1;
}

void rasterizeFace(HemicubePixel* buffer, const int* rowOffset, const Tri& tri, int item, int width, int height,
                   float left, float right, float bottom, float /*top*/, float distance, FaceScratch& scratch) {
    rasterizeFace(buffer, rowOffset, tri, item, FaceGrid(width, height, left, right, bottom, distance), scratch);
}

namespace {

// Near clipping and perspective projection of the three corners. False when
// the triangle lies wholly behind the near plane or wholly beside the face.
bool clipAndProject(const Tri& tri, const FaceGrid& grid, ScreenCorner s[3]) {
    const int height = grid.height;
    const float distance = grid.distance;
    // Near clipping moves a corner along one edge onto the plane; the
    // triangle is never split.
    Vec3 c[3] = {tri.vertices[0], tri.vertices[1], tri.vertices[2]};
    const float nearDistance = grid.nearDistance;
    for (int i = 0; i < 3; ++i) {
        if (!(c[i].z < nearDistance)) continue;
        float best = -1.0f;
        int pick = -1;
        for (int o = 1; o <= 2; ++o) {
            const int k = (i + o) % 3;
            if (c[k].z > best) {
                best = c[k].z;
                pick = k;
            }
        }
        if (best < nearDistance) return false;
        const Vec3 C = c[pick];
        const float k = 1.0f / (C.z - c[i].z);
        const float along = nearDistance - c[i].z;
        c[i].x = c[i].x + along * ((C.x - c[i].x) * k);
        c[i].y = c[i].y + along * ((C.y - c[i].y) * k);
        c[i].z = nearDistance;
    }

    const float scale = grid.scale;
    for (int i = 0; i < 3; ++i) {
        const float r = 1.0f / c[i].z;
        const float xp = distance * c[i].x * r;
        const float yp = distance * c[i].y * r;
        s[i] = {truncPixel(scale, xp), truncPixel(scale, yp), -r};
    }
    const int xMinPx = grid.xMinPx;
    const int xMaxPx = grid.xMaxPx;

    // A triangle wholly to the left or right of the face fills no pixel: the
    // edge walk interpolates between the corners' columns, and its float
    // steps drift by less than one column per row walked times 1.2e-7 of the
    // largest magnitude, far within the two-column margin below. Skipping it
    // here saves walking rows whose spans would all be discarded.
    {
        int lo = s[0].x, hi = s[0].x;
        double magnitude = 0.0;
        for (int i = 0; i < 3; ++i) {
            const ScreenCorner& corner = s[i];
            lo = corner.x < lo ? corner.x : lo;
            hi = corner.x > hi ? corner.x : hi;
            const double m = corner.x < 0 ? -static_cast<double>(corner.x) : corner.x;
            magnitude = m > magnitude ? m : magnitude;
        }
        const double drift = 2.0 + static_cast<double>(height) * magnitude * 1.2e-7;
        if (lo > xMaxPx + drift || hi < xMinPx - drift) return false;
    }
    return true;
}

// The edge walk: every row an edge reaches gets the leftmost and rightmost
// column the edges give it, with their depths. False when no edge reaches
// the face.
bool walkEdges(const ScreenCorner s[3], const FaceGrid& grid, FaceScratch& scratch, FaceRows& rows) {
    const int width = grid.width;
    const int height = grid.height;
    const int yMinPx = grid.yMinPx;
    const int yMaxPx = grid.yMaxPx;
    // The edges that reach the face, with their ends ordered bottom to top.
    struct Edge {
        ScreenCorner a, b;
        int startRow, endRow;
    };
    Edge edges[3];
    int edgeCount = 0;
    int firstRow = height, lastRow = -1;
    for (int i = 0; i < 3; ++i) {
        ScreenCorner a = s[i];
        ScreenCorner b = s[(i + 1) % 3];
        if (a.y > b.y) std::swap(a, b);
        if (b.y <= yMinPx || a.y >= yMaxPx) continue;
        // A horizontal edge steps by 0/0: its x is NaN and it sets nothing.
        if (a.y == b.y) continue;
        const int startRow = a.y > yMinPx ? a.y : yMinPx;
        const int endRow = b.y < yMaxPx ? b.y : yMaxPx;
        edges[edgeCount++] = {a, b, startRow, endRow};
        if (startRow - yMinPx < firstRow) firstRow = startRow - yMinPx;
        if (endRow - yMinPx > lastRow) lastRow = endRow - yMinPx;
    }
    if (edgeCount == 0) return false;

    RowSpan* span = scratch.rows.data();
    for (int j = firstRow; j <= lastRow; ++j) {
        span[j] = {-width, width, 1.0f, 1.0f};
    }

    for (int e = 0; e < edgeCount; ++e) {
        const Edge& edge = edges[e];
        const float inv = 1.0f / static_cast<float>(edge.b.y - edge.a.y);
        const float dxPerRow = static_cast<float>(edge.b.x - edge.a.x) * inv;
        const float dzPerRow = (edge.b.depth - edge.a.depth) * inv;
        float x = static_cast<float>(edge.startRow - edge.a.y) * dxPerRow + static_cast<float>(edge.a.x);
        float z = static_cast<float>(edge.startRow - edge.a.y) * dzPerRow + edge.a.depth;
        for (int row = edge.startRow; row <= edge.endRow; ++row) {
            const int j = row - yMinPx;
            if (static_cast<float>(span[j].xMax) < x) {
                span[j].xMax = static_cast<int>(x);
                span[j].zAtMax = z;
            }
            if (static_cast<float>(span[j].xMin) > x) {
                span[j].xMin = static_cast<int>(x);
                span[j].zAtMin = z;
            }
            z += dzPerRow;
            x += dxPerRow;
        }
    }

    rows.first = firstRow;
    rows.last = lastRow;
    return true;
}

// Spans that reach beyond the face are cut at its edges, their end depths
// moved along the span's slope.
void clipSpans(const FaceGrid& grid, FaceScratch& scratch, const FaceRows& rows) {
    const int xMinPx = grid.xMinPx;
    const int xMaxPx = grid.xMaxPx;
    RowSpan* span = scratch.rows.data();
    for (int j = rows.first; j <= rows.last; ++j) {
        // The slope before either correction; only a clipped span needs it.
        if (span[j].xMax <= xMaxPx && span[j].xMin >= xMinPx) continue;
        const float slope = (span[j].zAtMax - span[j].zAtMin) / static_cast<float>(span[j].xMax - span[j].xMin);
        if (span[j].xMax > xMaxPx) {
            span[j].zAtMax -= static_cast<float>(span[j].xMax - xMaxPx) * slope;
            span[j].xMax = xMaxPx;
        }
        if (span[j].xMin < xMinPx) {
            span[j].zAtMin -= static_cast<float>(span[j].xMin - xMinPx) * slope;
            span[j].xMin = xMinPx;
        }
    }
}

}  // namespace

bool scanTriangle(const Tri& tri, const FaceGrid& grid, FaceScratch& scratch, FaceRows& rows) {
    ScreenCorner s[3];
    if (!clipAndProject(tri, grid, s)) return false;
    if (!walkEdges(s, grid, scratch, rows)) return false;
    clipSpans(grid, scratch, rows);
    return true;
}

bool rasterizeFace(HemicubePixel* buffer, const int* rowOffset, const Tri& tri, int item, const FaceGrid& grid,
                   FaceScratch& scratch) {
    FaceRows rows;
    if (!scanTriangle(tri, grid, scratch, rows)) return false;
    const int xMinPx = grid.xMinPx;
    const int xMaxPx = grid.xMaxPx;
    const RowSpan* span = scratch.rows.data();
    // Facing: which side of the triangle's plane the eye (the origin) is on,
    // from the corners as they were before clipping. Decided only once a row
    // is actually filled.
    bool facingKnown = false;
    bool facesAway = true;
    for (int j = rows.first; j <= rows.last; ++j) {
        if (span[j].xMax < xMinPx || span[j].xMin > xMaxPx) continue;
        if (!facingKnown) {
            facesAway = facesAwayFromEye(tri);
            facingKnown = true;
        }
        const float slope = (span[j].zAtMax - span[j].zAtMin) / static_cast<float>(span[j].xMax - span[j].xMin);
        float z = span[j].zAtMin;
        HemicubePixel* rowPixels = buffer + rowOffset[j];
        for (int col = span[j].xMin - xMinPx; col <= span[j].xMax - xMinPx; ++col) {
            rowPixels[col].depthTest(item, z, facesAway);
            z += slope;
        }
    }
    return facingKnown;
}
