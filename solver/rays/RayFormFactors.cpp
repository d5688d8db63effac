#include "RayFormFactors.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "PointGeometry.h"
#include "SamplePattern.h"

using pointgeo::D3;

namespace {

bool emits(const Color& e) { return e.r > 0.0f || e.g > 0.0f || e.b > 0.0f; }

D3 fromArray(const double* v) { return {v[0], v[1], v[2]}; }

// Centroids of the four midpoint sub-triangles of (a, b, c).
void quarterCentroids(const D3& a, const D3& b, const D3& c, D3 (&out)[4]) {
    const D3 ab = (a + b) * 0.5, bc = (b + c) * 0.5, ca = (c + a) * 0.5;
    out[0] = (a + ab + ca) * (1.0 / 3.0);
    out[1] = (b + bc + ab) * (1.0 / 3.0);
    out[2] = (c + ca + bc) * (1.0 / 3.0);
    out[3] = (ab + bc + ca) * (1.0 / 3.0);
}

}  // namespace

std::uint64_t elementKey(const PatchGroup& group, int element) {
    std::uint64_t k = samples::mixBits(static_cast<std::uint64_t>(group.parentPatchId) * 0x9e3779b97f4a7c15ULL + 1);
    k = samples::mixBits(k ^ group.splitPath ^ (static_cast<std::uint64_t>(group.splitDepth) << 58));
    return samples::mixBits(k + static_cast<std::uint64_t>(element));
}

RayFormFactors::RayFormFactors(const RayEngine& engine_, const Model& model_, const GroupArray& groups_, int rays_)
    : engine(engine_), model(model_), groups(groups_), rays(rays_),
      locator(groups_, static_cast<int>(model_.patches.size())) {
    const size_t numPatches = model.patches.size();
    patchEmits.assign(numPatches, 0);
    normals.assign(3 * numPatches, 0.0);
    for (size_t p = 0; p < numPatches; ++p) {
        const Tri& t = model.patches[p];
        const D3 n = pointgeo::litNormal(pointgeo::toD3(t.vertices[0]), pointgeo::toD3(t.vertices[1]),
                                         pointgeo::toD3(t.vertices[2]));
        normals[3 * p] = n.x, normals[3 * p + 1] = n.y, normals[3 * p + 2] = n.z;
        patchEmits[p] = emits(model.colors[p].emission) ? 1 : 0;
    }
    epsilon = rayOffset(model.patches);

    std::vector<EmitterElement> found;
    for (int g = 0; g < groups.count(); ++g) {
        const PatchGroup& group = *groups[g];
        if (!patchEmits[group.parentPatchId]) continue;
        for (int k = 0; k < 4; ++k) {
            if (group.elementDegenerate[k]) continue;
            EmitterElement e;
            e.index = 4 * g + k;
            e.patch = group.parentPatchId;
            D3 c[3];
            for (int v = 0; v < 3; ++v) {
                c[v] = pointgeo::toD3(group.elements[k].vertices[v]);
                e.corners[v][0] = c[v].x, e.corners[v][1] = c[v].y, e.corners[v][2] = c[v].z;
            }
            for (int a = 0; a < 3; ++a) e.normal[a] = normals[3 * group.parentPatchId + a];
            // Two levels of midpoint splits, sub-triangle corners in the
            // elements' order, so that points 4q..4q+3 lie in quarter q.
            const D3 ab = (c[0] + c[1]) * 0.5, bc = (c[1] + c[2]) * 0.5, ca = (c[2] + c[0]) * 0.5;
            const D3 quarters[4][3] = {{c[0], ab, ca}, {c[1], bc, ab}, {c[2], ca, bc}, {ab, bc, ca}};
            for (int q = 0; q < 4; ++q) {
                D3 pts[4];
                quarterCentroids(quarters[q][0], quarters[q][1], quarters[q][2], pts);
                for (int m = 0; m < 4; ++m) {
                    e.points[4 * q + m][0] = pts[m].x, e.points[4 * q + m][1] = pts[m].y;
                    e.points[4 * q + m][2] = pts[m].z;
                }
            }
            found.push_back(e);
        }
    }
    if (found.size() <= static_cast<size_t>(kMaxExplicitEmitterElements)) {
        emitterElements = std::move(found);
    } else {
        std::fill(patchEmits.begin(), patchEmits.end(), 0);  // rays find them instead
    }
}

void RayFormFactors::computeRows(PatchGroup& group, RayRowStats& stats) const {
    const int n = groups.count();
    const int patch = group.parentPatchId;
    const D3 normal = fromArray(&normals[3 * static_cast<size_t>(patch)]);
    std::vector<std::pair<int, int>> hits;
    std::vector<FormFactorEntry> entries;
    for (int k = 0; k < 4; ++k) {
        FormFactorRow& row = group.formFactors[k];
        row.release();
        row.length = 4 * n;
        if (group.elementDegenerate[k] || (normal.x == 0.0 && normal.y == 0.0 && normal.z == 0.0)) continue;
        const Tri& element = group.elements[k];
        const D3 v0 = pointgeo::toD3(element.vertices[0]), v1 = pointgeo::toD3(element.vertices[1]),
                 v2 = pointgeo::toD3(element.vertices[2]);
        const D3 centroid = (v0 + v1 + v2) * (1.0 / 3.0);
        const std::uint64_t key = elementKey(group, k);
        const double shift[2] = {samples::unitFromBits(samples::mixBits(key ^ 1)),
                                 samples::unitFromBits(samples::mixBits(key ^ 2))};
        const double nv[3] = {normal.x, normal.y, normal.z};
        double t[3], b[3];
        samples::frameAbout(nv, t, b);

        // Hemisphere: stratified directions, shifted by the element's key,
        // from the element's centre, where a hemicube view would sit: the
        // row is the factor from that point, as the hemicube's is. (Origins
        // spread over the element give its area-mean factors instead, which
        // differ by a few per cent next to other surfaces.)
        const D3 o = centroid + normal * epsilon;
        const float origin[3] = {static_cast<float>(o.x), static_cast<float>(o.y), static_cast<float>(o.z)};
        hits.clear();
        long long leaks = 0;
        std::vector<StoredRayHit>& stored = group.rayHits[k];
        const bool reuse = static_cast<int>(stored.size()) == rays;
        if (!reuse) stored.assign(static_cast<size_t>(rays), StoredRayHit{-1, 0.0f, 0.0f});
        for (int i = 0; i < rays; ++i) {
            StoredRayHit& hit = stored[static_cast<size_t>(i)];
            if (!reuse) {
                double u, v, x, y, z;
                samples::hammersley(i, rays, shift[0], shift[1], u, v);
                samples::cosineDirection(u, v, x, y, z);
                const double d[3] = {x * t[0] + y * b[0] + z * nv[0], x * t[1] + y * b[1] + z * nv[1],
                                     x * t[2] + y * b[2] + z * nv[2]};
                const float dir[3] = {static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2])};
                const RayEngine::Hit found =
                    engine.firstHit(origin, dir, 0.0f, std::numeric_limits<float>::infinity());
                hit = {found.patch, found.u, found.v};
                if (found.patch >= 0) {
                    const double* nq = &normals[3 * static_cast<size_t>(found.patch)];
                    if (nq[0] * d[0] + nq[1] * d[1] + nq[2] * d[2] >= 0.0) hit.patch = -2;  // its back
                }
            }
            if (hit.patch == -1) {
                ++leaks;
                continue;
            }
            if (hit.patch < 0) continue;
            if (patchEmits[hit.patch]) continue;  // the emitter part holds it
            const int index = locator.find(hit.patch, 1.0 - hit.u - hit.v, hit.u, hit.v);
            if (index >= 0) hits.push_back({index, 1});
        }
        stats.hemisphere += rays;
        if (reuse) {
            stats.reused += rays;
            stats.rays -= rays;  // added back below: only cast rays count
        }
        stats.rays += rays;
        stats.leaks += leaks;
        if (leaks > 0 && stats.firstLeakPatch < 0) stats.firstLeakPatch = patch;

        std::sort(hits.begin(), hits.end());
        entries.clear();
        for (size_t i = 0; i < hits.size();) {
            size_t j = i;
            while (j < hits.size() && hits[j].first == hits[i].first) ++j;
            entries.push_back({hits[i].first, static_cast<float>(static_cast<double>(j - i) / rays)});
            i = j;
        }

        // Emitters: from the same centre, the exact factor to each emitting
        // element times the share of `shadow` of its 16 points that a ray
        // reaches (4 to 16 as R grows; one from each quarter in turn, the
        // set turned by the element's key).
        if (!emitterElements.empty()) {
            const int turn = static_cast<int>(key >> 62);
            const int shadow = std::min(16, std::max(4, rays / 16));
            const size_t emitterStart = entries.size();
            for (const EmitterElement& e : emitterElements) {
                if (e.patch == patch) continue;
                const D3 corners[3] = {fromArray(e.corners[0]), fromArray(e.corners[1]), fromArray(e.corners[2])};
                if (pointgeo::dot(fromArray(e.normal), centroid - corners[0]) <= 0.0) continue;  // behind it
                const double f = pointgeo::polygonFactor(centroid, normal, corners);
                if (!(f > 0.0)) continue;
                int clear = 0, tried = 0;
                for (int j = 0; j < shadow; ++j) {
                    const int point = 4 * (j & 3) + (((j >> 2) + turn) & 3);
                    const D3 dd = fromArray(e.points[point]) - o;
                    const double len = std::sqrt(pointgeo::dot(dd, dd));
                    if (!(len > epsilon)) continue;
                    const float dir[3] = {static_cast<float>(dd.x / len), static_cast<float>(dd.y / len),
                                          static_cast<float>(dd.z / len)};
                    ++tried;
                    if (engine.segmentClear(origin, dir, 0.0f, static_cast<float>(len - epsilon))) ++clear;
                }
                stats.rays += tried;
                if (clear > 0) entries.push_back({e.index, static_cast<float>(f * clear / tried)});
            }
            std::inplace_merge(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(emitterStart),
                               entries.end(),
                               [](const FormFactorEntry& a, const FormFactorEntry& c) { return a.index < c.index; });
        }
        row.entries.assign(entries.begin(), entries.end());
    }
    group.hasFormFactors = true;
    group.formFactorGroupCount = n;
}
