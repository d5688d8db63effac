// PatchGroup::computeFormFactors: one hemicube view per element of the group.
//
// Two paths with bit-identical results. The reference path is the plain
// formulation: a freshly allocated view per element, every element cloned
// and turned by angle for every view, a dense row. The fast path, used by
// the solver, keeps one workspace per thread, turns points with sines and
// cosines computed once per view, skips the top face for elements wholly
// behind its near plane and every face for elements wholly behind the
// receiving plane (the reference draws nothing for either), and stores rows
// sparsely.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "FormFactorWorkspace.h"
#include "HemicubeView.h"
#include "PatchGroup.h"

FormFactorWorkspace::FormFactorWorkspace(const Hemicube& hemicube) : resolution(hemicube.resolution()) {
    const int n = resolution;
    top.assign(static_cast<size_t>(n) * n, HemicubePixel());
    for (std::vector<HemicubePixel>& side : sides) side.assign(static_cast<size_t>(n) * n / 2, HemicubePixel());
    rowOffset.resize(n);
    for (int r = 0; r < n; ++r) rowOffset[r] = r * n;
    scratch.reserve(n);
    written[0].reset(n);
    for (int s = 1; s < 5; ++s) written[s].reset(n / 2);
}

void FormFactorWorkspace::reserveRow(int groupCount) {
    const size_t length = static_cast<size_t>(4) * groupCount;
    if (dense.size() < length) {
        dense.resize(length, 0.0f);
        touched.resize((length + 63) / 64, 0);
    }
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
bool isWhollyBehind(const Tri& t) {
    float magnitude = 0.0f;
    for (const Vec3& p : t.vertices) {
        const float m = std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z);
        if (m > magnitude) magnitude = m;
    }
    const float limit = -1e-5f * magnitude;
    return t.vertices[0].z < limit && t.vertices[1].z < limit && t.vertices[2].z < limit;
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
    const float nearDistance = topGrid.nearDistance;
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
                    Vec3 p = source.vertices[v] + translation;
                    p.rotateX(sX, cX);
                    p.rotateY(sY, cY);
                    t.vertices[v] = p;
                }
                if (isWhollyBehind(t)) continue;
                if (!(t.vertices[0].z < nearDistance && t.vertices[1].z < nearDistance &&
                      t.vertices[2].z < nearDistance)) {
                    rasterizeFace(ws.top.data(), ws.rowOffset.data(), t, item, topGrid, ws.scratch, &ws.written[0]);
                }
                for (Vec3& p : t.vertices) {
                    p.rotateY(sQuarter, cQuarter);
                    p.rotateZ(sQuarter, cQuarter);
                }
                rasterizeFace(ws.sides[0].data(), ws.rowOffset.data(), t, item, sideGrid, ws.scratch, &ws.written[1]);
                for (int s = 1; s < 4; ++s) {
                    for (Vec3& p : t.vertices) p.rotateY(sQuarter, cQuarter);
                    rasterizeFace(ws.sides[s].data(), ws.rowOffset.data(), t, item, sideGrid, ws.scratch,
                                  &ws.written[s + 1]);
                }
            }
        }

        // Accumulate in the reference order (top face, then sides 0..3, each
        // in pixel order) into the dense row, remembering what was touched.
        // Only the written spans can hold an item; they are cleared as they
        // are read, which leaves the buffers clean for the next view.
        float* dense = ws.dense.data();
        std::uint64_t* touched = ws.touched.data();
        int touchedCount = 0;
        auto drain = [&](HemicubePixel* face, WrittenSpans& spans, const float* table) {
            for (int r = spans.lowRow; r <= spans.highRow; ++r) {
                const int from = spans.first[r], to = spans.last[r];
                if (from > to) continue;
                HemicubePixel* px = face + ws.rowOffset[r];
                const float* delta = table + ws.rowOffset[r];
                for (int c = from; c <= to; ++c) {
                    const int item = px[c].item;
                    if (item >= 0 && !px[c].facesAway) {
                        std::uint64_t& word = touched[item >> 6];
                        const std::uint64_t bit = std::uint64_t(1) << (item & 63);
                        if (!(word & bit)) {
                            word |= bit;
                            ++touchedCount;
                        }
                        dense[item] += delta[c];
                    }
                    px[c] = HemicubePixel();
                }
                spans.first[r] = 1 << 30;
                spans.last[r] = -1;
            }
            spans.lowRow = 0;
            spans.highRow = -1;
        };
        drain(ws.top.data(), ws.written[0], hemicube->faceTable(0));
        for (int s = 0; s < 4; ++s) drain(ws.sides[s].data(), ws.written[s + 1], hemicube->faceTable(1));
        // The touched bits, word by word, give the entries in index order.
        row.entries.reserve(static_cast<size_t>(touchedCount));
        const int words = (4 * groupCount + 63) / 64;
        for (int w = 0; w < words && touchedCount > 0; ++w) {
            std::uint64_t word = touched[w];
            touched[w] = 0;
            while (word) {
                const int item = w * 64 + __builtin_ctzll(word);
                word &= word - 1;
                --touchedCount;
                if (dense[item] != 0.0f) row.entries.push_back({item, dense[item]});
                dense[item] = 0.0f;
            }
        }
    }
}
