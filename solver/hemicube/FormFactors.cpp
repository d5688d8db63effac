// PatchGroup::computeFormFactors: one hemicube view per element of the group.
//
// Two paths with bit-identical results. The reference path is the plain
// formulation: a freshly allocated view per element, every element cloned
// and turned by angle for every view, a dense row. The fast path, used by
// the solver, keeps one workspace per thread, turns points with sines and
// cosines computed once per view, skips every face that provably draws
// nothing of an element (behind the receiving plane, behind a face's near
// plane, beyond a face's edges), fills depth and slot planes four pixels at
// a time, reads and clears only the spans written, and stores rows sparsely.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "FormFactorWorkspace.h"
#include "HemicubeView.h"
#include "PatchGroup.h"

void FaceDepths::assign(size_t pixels) {
    depth.assign(pixels, FLT_MAX);
    slot.assign(pixels, 0);
}

FormFactorWorkspace::FormFactorWorkspace(const Hemicube& hemicube) : resolution(hemicube.resolution()) {
    const int n = resolution;
    faces[0].assign(static_cast<size_t>(n) * n);
    for (int s = 1; s < 5; ++s) faces[s].assign(static_cast<size_t>(n) * n / 2);
    rowOffset.resize(n);
    for (int r = 0; r < n; ++r) rowOffset[r] = r * n;
    scratch.reserve(n);
    written[0].reset(n);
    for (int s = 1; s < 5; ++s) written[s].reset(n / 2);
}

void FormFactorWorkspace::reserveRow(int groupCount) {
    const size_t length = static_cast<size_t>(4) * groupCount + 1;
    if (dense.size() < length) dense.resize(length, 0.0f);
}

namespace {

// True when a triangle, in the receiving element's aligned frame, lies so far
// behind the receiving plane that no face can draw it. The top face clips it
// away (every z is below the near plane). On the side faces a point's height
// is its aligned z plus the rounding of the quarter turns, which is below
// 1e-6 of the point's magnitude; with every corner lower than 1e-5 of the
// largest corner magnitude, every corner (and every corner that near
// clipping moves between two of them) projects to a row at or below the
// face's bottom row, and every edge is skipped.
// `magnitude` is the largest |x| + |y| + |z| of a corner.
bool isWhollyBehind(const Tri& t, float magnitude) {
    const float limit = -1e-5f * magnitude;
    return t.vertices[0].z < limit && t.vertices[1].z < limit && t.vertices[2].z < limit;
}

// A face's own coordinates of a point given in the aligned frame, as the
// quarter turns of the projection produce them up to their rounding (the
// turns' cosine is -4.4e-8, not 0): the top face looks along +Z; side s looks
// along +X, +Y, -X, -Y with its rows along +Z and its columns along +Y, -X,
// -Y, +X.
template <int face>
inline void faceCoordinates(const Vec3& p, double& x, double& y, double& z) {
    if (face == 0) { x = p.x; y = p.y; z = p.z; }
    if (face == 1) { x = p.y; y = p.z; z = p.x; }
    if (face == 2) { x = -p.x; y = p.z; z = p.y; }
    if (face == 3) { x = -p.y; y = p.z; z = -p.x; }
    if (face == 4) { x = p.x; y = p.z; z = -p.y; }
}

// True when rasterizeFace would draw nothing of a triangle, given in the
// aligned frame, on one face, decided before it is turned to that face.
//
// `slack` (1e-5 of the largest corner magnitude) exceeds both the rounding
// of the quarter turns and that of near clipping, which moves a corner along
// an edge and so keeps it a convex combination of the corners: a linear test
// a.(x, y, z) > slack (1 + |a|) that holds at every corner holds, with room
// to spare, at every corner the rasterizer projects, whose z is then at
// least the near distance. With x / z > T for T = 1 + (m + 3) / (N/2) every
// corner lands more than m columns right of the face; m is 2 plus ten times
// the edge walk's drift bound of the rasterizer's own side test, taken for the
// largest column a corner can reach, so that test discards the triangle.
// Rows need no drift margin: every edge whose ends both lie at or above the
// top row, or at or below the bottom row, is skipped. (The rounding of the
// projection is below 6 parts in 10^7, far inside the 1e-4 of the limits.)
template <int face>
bool faceCannotDraw(const Tri& aligned, const FaceGrid& grid, float magnitude) {
    double x[3], y[3], z[3];
    for (int v = 0; v < 3; ++v) faceCoordinates<face>(aligned.vertices[v], x[v], y[v], z[v]);
    const double slack = 1e-5 * static_cast<double>(magnitude);
    const double nearDistance = grid.nearDistance;
    // Behind the near plane: clipping discards it.
    if (z[0] < nearDistance - slack && z[1] < nearDistance - slack && z[2] < nearDistance - slack) return true;
    const double half = 0.5 * grid.width;
    auto allAbove = [&](double ax, double ay, double az, double bound) {
        for (int v = 0; v < 3; ++v)
            if (!(ax * x[v] + ay * y[v] + az * z[v] > bound)) return false;
        return true;
    };
    // Above the top row: y / z >= (1 - 2/N)(1 + 1e-4) puts every corner in
    // row N/2 - 1 or higher, where every edge starts at or above the top row.
    const double topLimit = (1.0 - 2.0 / grid.width) * (1.0 + 1e-4);
    if (allAbove(0, 1, -topLimit, slack * (1.0 + topLimit))) return true;
    // Below the bottom row: on the top face y / z <= -(1 + 1e-4) puts every
    // corner in row -N/2 or lower; on a side face y / z <= (2/N)(1 - 1e-4)
    // truncates every corner to row 0 or lower (elements in or near the
    // receiving plane, and those behind it).
    if (face == 0) {
        const double bottomLimit = 1.0 + 1e-4;
        if (allAbove(0, -1, -bottomLimit, slack * (1.0 + bottomLimit))) return true;
    } else {
        const double bottomLimit = (2.0 / grid.width) * (1.0 - 1e-4);
        if (allAbove(0, -1, bottomLimit, slack * (1.0 + bottomLimit))) return true;
    }
    // Beside the face, left or right.
    double zLow = std::min(z[0], std::min(z[1], z[2])) - slack;
    if (zLow < nearDistance) zLow = nearDistance;
    const double xAbs = std::max(std::fabs(x[0]), std::max(std::fabs(x[1]), std::fabs(x[2]))) + slack;
    const double widest = half * 1.0001 * xAbs / zLow + 1.0;
    if (!(widest < 1e8)) return false;
    const double margin = 2.0 + 10.0 * (2.0 + grid.height * widest * 1.2e-7);
    const double sideLimit = 1.0 + (margin + 3.0) / half;
    const double sideSlack = slack * (1.0 + sideLimit);
    return allAbove(1, 0, -sideLimit, sideSlack) || allAbove(-1, 0, -sideLimit, sideSlack);
}

// The pixels of one face for the spans scanTriangle left in the scratch:
// the same depth test, depths and order as rasterizeFace's fill (the nearer
// replaces, the first drawn keeps a tie), on the depth and slot planes. A
// span's depths are stepped one by one as there, and tested four columns at
// a time. True when any row was filled.
bool fillFace(FaceDepths& face, FormFactorWorkspace& ws, WrittenSpans& written, const Tri& tri, int item,
              const FaceGrid& grid, const FaceRows& rows) {
    const int xMinPx = grid.xMinPx;
    const int xMaxPx = grid.xMaxPx;
    const RowSpan* span = ws.scratch.rows.data();
    // The planes' and tables' addresses, loaded once: the stores below could
    // otherwise alias the vectors that hold them.
    float* const depthPlane = face.depth.data();
    int* const slotPlane = face.slot.data();
    const int* const rowOffset = ws.rowOffset.data();
    int* const spanFirst = written.first.data();
    int* const spanLast = written.last.data();
    bool facingKnown = false;
    int slot = 0;
    int lowRow = rows.last + 1, highRow = rows.first - 1;
    for (int j = rows.first; j <= rows.last; ++j) {
        if (span[j].xMax < xMinPx || span[j].xMin > xMaxPx) continue;
        if (!facingKnown) {
            slot = facesAwayFromEye(tri) ? 0 : item + 1;
            facingKnown = true;
            lowRow = j;
        }
        highRow = j;
        const float slope = (span[j].zAtMax - span[j].zAtMin) / static_cast<float>(span[j].xMax - span[j].xMin);
        const int from = span[j].xMin - xMinPx, to = span[j].xMax - xMinPx;
        if (from < spanFirst[j]) spanFirst[j] = from;
        if (to > spanLast[j]) spanLast[j] = to;
        const int count = to - from + 1;
        float z = span[j].zAtMin;
        float* depth = depthPlane + rowOffset[j] + from;
        int* slots = slotPlane + rowOffset[j] + from;
        int i = 0;
#if defined(__SSE2__)
        const __m128i slotV = _mm_set1_epi32(slot);
        for (; i + 4 <= count; i += 4) {
            const float z0 = z, z1 = z0 + slope, z2 = z1 + slope, z3 = z2 + slope;
            z = z3 + slope;
            const __m128 zV = _mm_set_ps(z3, z2, z1, z0);
            const __m128 dV = _mm_loadu_ps(depth + i);
            const __m128 nearer = _mm_cmplt_ps(zV, dV);  // depth > z; false for NaN
            _mm_storeu_ps(depth + i, _mm_or_ps(_mm_and_ps(nearer, zV), _mm_andnot_ps(nearer, dV)));
            const __m128i mask = _mm_castps_si128(nearer);
            const __m128i sV = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slots + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(slots + i),
                             _mm_or_si128(_mm_and_si128(mask, slotV), _mm_andnot_si128(mask, sV)));
        }
#endif
        for (; i < count; ++i) {
            if (depth[i] > z) {
                depth[i] = z;
                slots[i] = slot;
            }
            z += slope;
        }
    }
    if (facingKnown) written.addRows(lowRow, highRow);
    return facingKnown;
}

// Draws one element, already in a face's frame, onto that face.
bool drawOnFace(FormFactorWorkspace& ws, int face, const Tri& tri, int item, const FaceGrid& grid) {
    FaceRows rows;
    if (!scanTriangle(tri, grid, ws.scratch, rows)) return false;
    return fillFace(ws.faces[face], ws, ws.written[face], tri, item, grid, rows);
}

}  // namespace

void PatchGroup::computeFormFactorsReference(const GroupArray& groups) {
    const int groupCount = groups.count();
    hasFormFactors = true;
    formFactorGroupCount = groupCount;
    std::vector<float> row;
    for (int e = 0; e < 4; ++e) {
        row.assign(static_cast<size_t>(4) * groupCount, 0.0f);
        // A degenerate element has no direction to look along: it gets no
        // view and its row stays 0.
        if (!elements[e].isDegenerate()) {
            const Vec3 center = elements[e].centroid();
            const Vec3 normal = elements[e].normal();
            auto view = std::make_unique<HemicubeView>(center, normal, *hemicube);
            for (int g = 0; g < groupCount; ++g) {
                const PatchGroup* other = groups[g].get();
                // Groups of the same input patch, this one included, are not
                // drawn at all: they neither receive light nor hide anything.
                if (other->parentPatchId == parentPatchId) continue;
                for (int k = 0; k < 4; ++k) {
                    if (other->elements[k].isDegenerate()) continue;
                    view->project(4 * g + k, other->elements[k]);
                }
            }
            view->accumulate(row.data());
        }
        formFactors[e].assignDense(row.data(), static_cast<int>(row.size()));
    }
}

void PatchGroup::computeFormFactors(const GroupArray& groups) {
    FormFactorWorkspace workspace(*hemicube);
    computeFormFactors(groups, workspace);
}

void PatchGroup::computeFormFactors(const GroupArray& groups, FormFactorWorkspace& ws) {
    const int groupCount = groups.count();
    const int n = ws.resolution;
    const int half = n >> 1;
    hasFormFactors = true;
    formFactorGroupCount = groupCount;
    ws.reserveRow(groupCount);

    const float faceDistance = hemicube->worldWidth() * 0.5f;
    const FaceGrid topGrid(n, n, -faceDistance, faceDistance, -faceDistance, faceDistance);
    const FaceGrid sideGrid(n, half, -faceDistance, faceDistance, 0.0f, faceDistance);
    float sQuarter, cQuarter;
    sinCos(-(kPi * 0.5f), sQuarter, cQuarter);

    for (int e = 0; e < 4; ++e) {
        FormFactorRow& row = formFactors[e];
        row.release();
        row.length = 4 * groupCount;
        if (elementDegenerate[e]) continue;

        const Vec3 center = elements[e].centroid();
        const Vec3 normal = elements[e].normal();
        const Vec3 translation = Vec3() - center;
        float angleX, angleY;
        zAlignAngles(normal, angleX, angleY);
        float sX, cX, sY, cY;
        sinCos(angleX, sX, cX);
        sinCos(angleY, sY, cY);

        for (int g = 0; g < groupCount; ++g) {
            const PatchGroup* other = groups[g].get();
            if (other->parentPatchId == parentPatchId) continue;
            for (int k = 0; k < 4; ++k) {
                if (other->elementDegenerate[k]) continue;
                const Tri& source = other->elements[k];
                const int item = 4 * g + k;
                Tri t;
                for (int v = 0; v < 3; ++v) {
                    const Vec3& q = source.vertices[v];
                    Vec3 p(q.x + translation.x, q.y + translation.y, q.z + translation.z);
                    p.rotateX(sX, cX);
                    p.rotateY(sY, cY);
                    t.vertices[v] = p;
                }
                float magnitude = 0.0f;
                for (const Vec3& p : t.vertices) {
                    const float m = std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z);
                    if (m > magnitude) magnitude = m;
                }
                if (isWhollyBehind(t, magnitude)) continue;
                // The near-plane test of faceCannotDraw for all faces at once,
                // from the deepest corner each face sees: the cheap common case.
                const double nearLimit =
                    static_cast<double>(topGrid.nearDistance) - 1e-5 * static_cast<double>(magnitude);
                float minX = t.vertices[0].x, maxX = minX, minY = t.vertices[0].y, maxY = minY;
                float maxZ = t.vertices[0].z;
                for (int v = 1; v < 3; ++v) {
                    const Vec3& p = t.vertices[v];
                    minX = std::min(minX, p.x);
                    maxX = std::max(maxX, p.x);
                    minY = std::min(minY, p.y);
                    maxY = std::max(maxY, p.y);
                    maxZ = std::max(maxZ, p.z);
                }
                const float deepest[5] = {maxZ, maxX, maxY, -minX, -minY};
                bool drawn[5];
                int lastSide = -1;
                drawn[0] = !(deepest[0] < nearLimit) && !faceCannotDraw<0>(t, topGrid, magnitude);
                drawn[1] = !(deepest[1] < nearLimit) && !faceCannotDraw<1>(t, sideGrid, magnitude);
                drawn[2] = !(deepest[2] < nearLimit) && !faceCannotDraw<2>(t, sideGrid, magnitude);
                drawn[3] = !(deepest[3] < nearLimit) && !faceCannotDraw<3>(t, sideGrid, magnitude);
                drawn[4] = !(deepest[4] < nearLimit) && !faceCannotDraw<4>(t, sideGrid, magnitude);
                for (int f = 1; f < 5; ++f)
                    if (drawn[f]) lastSide = f - 1;
                bool filled = false;
                if (drawn[0]) {
                    filled = drawOnFace(ws, 0, t, item, topGrid);
                }
                // The quarter turns accumulate on t, up to the last side drawn.
                for (int s = 0; s <= lastSide; ++s) {
                    for (Vec3& p : t.vertices) {
                        p.rotateY(sQuarter, cQuarter);
                        if (s == 0) p.rotateZ(sQuarter, cQuarter);
                    }
                    if (drawn[s + 1]) {
                        filled |= drawOnFace(ws, s + 1, t, item, sideGrid);
                    }
                }
                // Items come in ascending order, so the list stays sorted.
                if (filled) ws.drawn.push_back(item);
            }
        }

        // Accumulate in the reference order (top face, then sides 0..3, each
        // in pixel order) into the dense row. Only the written spans can
        // hold an item; they are cleared as they are read, which leaves the
        // buffers clean for the next view. An empty pixel (item -1) or an
        // item seen from behind adds into slot 0, so every real entry gets
        // exactly the reference's additions in the reference's order.
        float* slots = ws.dense.data();
        auto drain = [&](FaceDepths& face, WrittenSpans& spans, const float* table) {
            for (int r = spans.lowRow; r <= spans.highRow; ++r) {
                const int from = spans.first[r], to = spans.last[r];
                if (from > to) continue;
                const int offset = ws.rowOffset[r];
                int* slot = face.slot.data() + offset;
                const float* delta = table + offset;
                for (int c = from; c <= to; ++c) slots[slot[c]] += delta[c];
                std::fill(slot + from, slot + to + 1, 0);
                std::fill(face.depth.data() + offset + from, face.depth.data() + offset + to + 1, FLT_MAX);
                spans.first[r] = 1 << 30;
                spans.last[r] = -1;
            }
            spans.lowRow = 0;
            spans.highRow = -1;
        };
        drain(ws.faces[0], ws.written[0], hemicube->faceTable(0));
        for (int s = 1; s < 5; ++s) drain(ws.faces[s], ws.written[s], hemicube->faceTable(1));
        slots[0] = 0.0f;
        // Every entry that can be non-zero belongs to a drawn item.
        size_t nonZero = 0;
        for (const int item : ws.drawn) nonZero += slots[item + 1] != 0.0f;
        row.entries.reserve(nonZero);
        for (const int item : ws.drawn) {
            const float value = slots[item + 1];
            if (value != 0.0f) row.entries.push_back({item, value});
            slots[item + 1] = 0.0f;
        }
        ws.drawn.clear();
    }
}
