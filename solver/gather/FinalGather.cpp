#include "FinalGather.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <numeric>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "ElementLocator.h"
#include "LampLight.h"
#include "PointGeometry.h"
#include "RayEngine.h"
#include "SamplePattern.h"
#include "ShareStream.h"
#include "StageCount.h"
#include "WorkRanges.h"

namespace {

using pointgeo::D3;
using pointgeo::toD3;
using pointgeo::polygonFactor;
constexpr double kPiD = pointgeo::kPi;
double dotD(const D3& a, const D3& b) { return pointgeo::dot(a, b); }
D3 crossD(const D3& a, const D3& b) { return pointgeo::cross(a, b); }

bool emits(const Color& e) { return e.r > 0.0f || e.g > 0.0f || e.b > 0.0f; }

// The midpoint lattice of a triangle: the centroids of its 4^k sub-triangles.
void latticePoints(const D3& a, const D3& b, const D3& c, int k, std::vector<D3>& out) {
    if (k == 0) {
        out.push_back((a + b + c) * (1.0 / 3.0));
        return;
    }
    const D3 ab = (a + b) * 0.5, bc = (b + c) * 0.5, ca = (c + a) * 0.5;
    latticePoints(a, ab, ca, k - 1, out);
    latticePoints(b, bc, ab, k - 1, out);
    latticePoints(c, ca, bc, k - 1, out);
    latticePoints(ab, bc, ca, k - 1, out);
}

// The barycentric weights of the point of triangle (a, b, c) nearest to p,
// all in the plane.
void nearestInTriangle2(const double p[2], const double a[2], const double b[2], const double c[2], double w[3]) {
    auto sub = [](const double* u, const double* v, double* r) { r[0] = u[0] - v[0], r[1] = u[1] - v[1]; };
    auto dot2 = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1]; };
    double ab[2], ac[2], ap[2], bp[2], cp[2];
    sub(b, a, ab), sub(c, a, ac), sub(p, a, ap);
    const double d1 = dot2(ab, ap), d2 = dot2(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) { w[0] = 1, w[1] = 0, w[2] = 0; return; }
    sub(p, b, bp);
    const double d3 = dot2(ab, bp), d4 = dot2(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) { w[0] = 0, w[1] = 1, w[2] = 0; return; }
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) {
        const double v = d1 / (d1 - d3);
        w[0] = 1 - v, w[1] = v, w[2] = 0;
        return;
    }
    sub(p, c, cp);
    const double d5 = dot2(ab, cp), d6 = dot2(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) { w[0] = 0, w[1] = 0, w[2] = 1; return; }
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) {
        const double v = d2 / (d2 - d6);
        w[0] = 1 - v, w[1] = 0, w[2] = v;
        return;
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && (d4 - d3) >= 0.0 && (d5 - d6) >= 0.0) {
        const double v = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        w[0] = 0, w[1] = 1 - v, w[2] = v;
        return;
    }
    const double denom = va + vb + vc;
    if (!(denom > 0.0)) { w[0] = w[1] = w[2] = 1.0 / 3.0; return; }
    w[1] = vb / denom, w[2] = vc / denom, w[0] = 1.0 - w[1] - w[2];
}

// Buried texels (alpha 0) take the mean of their unburied neighbours, ring
// by ring, so that filtering at the foot of a box does not pull in the black
// beneath it. A texture with no unburied texel is left as it is.
void fillBuried(FloatTexture& tex) {
    std::vector<char> known(tex.texels.size());
    bool any = false;
    for (size_t i = 0; i < known.size(); ++i) {
        known[i] = tex.texels[i].a > 0.0f;
        any = any || known[i];
    }
    if (!any) {
        for (Color& c : tex.texels) c.a = 1.0f;
        return;
    }
    std::vector<size_t> filled;
    for (bool changed = true; changed;) {
        changed = false;
        filled.clear();
        for (int y = 0; y < tex.high; ++y) {
            for (int x = 0; x < tex.wide; ++x) {
                const size_t i = static_cast<size_t>(y) * tex.wide + x;
                if (known[i]) continue;
                double sum[3] = {0, 0, 0};
                int count = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= tex.wide || ny >= tex.high) continue;
                        const size_t j = static_cast<size_t>(ny) * tex.wide + nx;
                        if (!known[j]) continue;
                        for (int ch = 0; ch < 3; ++ch) sum[ch] += tex.texels[j][ch];
                        ++count;
                    }
                }
                if (count == 0) continue;
                Color& c = tex.texels[i];
                for (int ch = 0; ch < 3; ++ch) c[ch] = static_cast<float>(sum[ch] / count);
                c.a = 1.0f;
                filled.push_back(i);
                changed = true;
            }
        }
        for (size_t i : filled) known[i] = 1;
    }
}

}  // namespace

Color gatheredRadiosity(const PatchColors& colors, const Color& incident) {
    Color b;
    for (int ch = 0; ch < 3; ++ch)
        b[ch] = static_cast<float>(static_cast<double>(colors.emission[ch]) +
                                   static_cast<double>(colors.reflectance[ch]) * incident[ch]);
    b.a = 1.0f;
    return b;
}

Texture gatheredSceneTexture(const FloatTexture& incident, const PatchColors& colors, float gamma,
                             double normalizationScale) {
    Texture texture(incident.wide, incident.high);
    for (size_t i = 0; i < incident.texels.size(); ++i) {
        const Color linear = gatheredRadiosity(colors, incident.texels[i]);
        Color shown(0.0f, 0.0f, 0.0f, 1.0f);
        for (int ch = 0; ch < 3; ++ch) {
            double v = linear[ch];
            if (gamma != 1.0f) v = std::pow(v, static_cast<double>(gamma));
            v *= normalizationScale;
            // Above the brightest element (a texel nearer a light than any
            // element centre) the byte saturates instead of carrying over.
            shown[ch] = v > 0.0 ? static_cast<float>(std::min(v, 1.0)) : 0.0f;
        }
        texture.texels[i] = packScaled(shown, 1.0f);
    }
    return texture;
}

struct FinalGather::State {
    struct Emitter {
        int patch = -1;
        D3 normal, centroid, corners[3];
        double area = 0.0;
        double emission[3] = {0, 0, 0};
        std::vector<D3> lattice[3];  // 16, 64 and 256 points
    };
    // One point of the shared emitter table.
    struct TablePoint {
        int emitter = -1;
        D3 point;
        double area = 0.0;  // the share of its emitter's area this point stands for
    };

    const Radiosity& solved;
    GatherSettings settings;
    RayEngine engine;
    ElementLocator locator;
    std::vector<D3> normals;
    std::vector<std::uint64_t> surfaceKeys;  // one per patch, shared by co-planar neighbours
    std::vector<Emitter> emitters;
    bool useTable = false;
    std::vector<TablePoint> table;
    double tableCoverage = 1.0;  // emitted power over the power of emitters in the table
    double epsilon = 1e-6;       // offset off a surface, from the scene's size

    LampLight lamps;

    State(const Radiosity& s, const GatherSettings& g)
        : solved(s), settings(g), engine(s.model.patches), locator(s.groups, s.numPatches),
          epsilon(rayOffset(s.model.patches)), lamps(s.model.lamps, engine, epsilon) {}

    // The R directions of `patch`'s surface, world space, 3 per ray.
    void directionsFor(int patch, std::vector<double>& dirs) const {
        const int n = settings.rays;
        dirs.resize(3 * static_cast<size_t>(n));
        const D3& nn = normals[patch];
        const double nv[3] = {nn.x, nn.y, nn.z};
        double t[3], b[3];
        samples::frameAbout(nv, t, b);
        const std::uint64_t key = surfaceKeys[patch];
        const double shiftU = samples::unitFromBits(samples::mixBits(key ^ 0x5851f42d4c957f2dULL));
        const double shiftV = samples::unitFromBits(samples::mixBits(key ^ 0x14057b7ef767814fULL));
        for (int i = 0; i < n; ++i) {
            double u, v, x, y, z;
            samples::hammersley(i, n, shiftU, shiftV, u, v);
            samples::cosineDirection(u, v, x, y, z);
            for (int c = 0; c < 3; ++c) dirs[3 * static_cast<size_t>(i) + c] = x * t[c] + y * b[c] + z * nv[c];
        }
    }

    // Direct light from emitter point `y` standing for area `a` of emitter
    // `e`, seen from `x` (origin `o` just off the surface, normal n): the
    // point-to-disc form factor, bounded as the point comes near.
    // `unblocked` receives the factor the point would have unoccluded.
    double pointFactor(const D3& x, const D3& o, const D3& n, const Emitter& e, const D3& y, double a,
                       long long& rays, double& unblocked) const {
        unblocked = 0.0;
        const D3 w = y - x;
        const double r2 = dotD(w, w);
        if (!(r2 > 0.0)) return 0.0;
        const double r = std::sqrt(r2);
        const double cx = dotD(n, w) / r;
        const double cy = -dotD(e.normal, w) / r;
        if (cx <= 0.0 || cy <= 0.0) return 0.0;
        const double factor = cx * cy * a / (kPiD * r2 + a);
        unblocked = factor;
        const D3 d = y - o;
        const double len = std::sqrt(dotD(d, d));
        const float origin[3] = {static_cast<float>(o.x), static_cast<float>(o.y), static_cast<float>(o.z)};
        const float dir[3] = {static_cast<float>(d.x / len), static_cast<float>(d.y / len), static_cast<float>(d.z / len)};
        ++rays;
        if (!engine.segmentClear(origin, dir, 0.0f, static_cast<float>(len - epsilon))) return 0.0;
        return factor;
    }

    void direct(int patch, const D3& x, const D3& o, double sum[3], long long& rays) const {
        const D3& n = normals[patch];
        if (useTable) {
            double acc[3] = {0, 0, 0};
            for (const TablePoint& tp : table) {
                const Emitter& e = emitters[tp.emitter];
                if (e.patch == patch) continue;
                double unblocked = 0.0;
                const double f = pointFactor(x, o, n, e, tp.point, tp.area, rays, unblocked);
                for (int ch = 0; ch < 3; ++ch) acc[ch] += f * e.emission[ch];
            }
            for (int ch = 0; ch < 3; ++ch) sum[ch] += acc[ch] * tableCoverage;
            return;
        }
        for (const Emitter& e : emitters) {
            if (e.patch == patch) continue;
            // Wholly behind the receiver, or the receiver behind the emitter.
            bool anyInFront = false;
            for (const D3& c : e.corners) anyInFront = anyInFront || dotD(n, c - x) > 0.0;
            if (!anyInFront || dotD(e.normal, x - e.corners[0]) <= 0.0) continue;
            const D3 toCentre = e.centroid - x;
            const double looms = e.area / dotD(toCentre, toCentre);
            const int level = looms < 0.05 ? 0 : looms < 0.5 ? 1 : 2;
            const std::vector<D3>& pts = e.lattice[level];
            const double a = e.area / static_cast<double>(pts.size());
            // The exact unoccluded factor, times the share of the points'
            // factors whose rays get through: sampling decides only the
            // shadow, so near an emitter nothing is lost to the 1 / r^2.
            double seen = 0.0, all = 0.0;
            for (const D3& y : pts) {
                double unblocked = 0.0;
                seen += pointFactor(x, o, n, e, y, a, rays, unblocked);
                all += unblocked;
            }
            if (!(all > 0.0)) continue;
            const double f = polygonFactor(x, n, e.corners) * (seen / all);
            for (int ch = 0; ch < 3; ++ch) sum[ch] += f * e.emission[ch];
        }
    }

    // Returns the number of rays that met the back of a patch.
    int indirect(const D3& o, const std::vector<double>& dirs, double sum[3], long long& rays,
                 long long& escaped) const {
        int backHits = 0;
        const float origin[3] = {static_cast<float>(o.x), static_cast<float>(o.y), static_cast<float>(o.z)};
        const int n = settings.rays;
        double acc[3] = {0, 0, 0};
        for (int i = 0; i < n; ++i) {
            const double* d = &dirs[3 * static_cast<size_t>(i)];
            const float dir[3] = {static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2])};
            const RayEngine::Hit hit = engine.firstHit(origin, dir, 0.0f, std::numeric_limits<float>::infinity());
            if (hit.patch < 0) {
                ++escaped;
                if (solved.settings.hasSky()) {
                    double l[3];
                    solved.settings.sky.radiance(d, l);
                    for (int ch = 0; ch < 3; ++ch) acc[ch] += l[ch];
                }
                continue;
            }
            // The back of a patch sends nothing.
            const D3& nq = normals[hit.patch];
            if (nq.x * d[0] + nq.y * d[1] + nq.z * d[2] >= 0.0) {
                ++backHits;
                continue;
            }
            const double u = hit.u, v = hit.v;
            const int element = locator.find(hit.patch, 1.0 - u - v, u, v);
            if (element < 0) continue;
            const Color& b = solved.linearRadiosity[static_cast<size_t>(element)];
            const Color& e = solved.model.colors[hit.patch].emission;
            for (int ch = 0; ch < 3; ++ch) {
                const double reflected = static_cast<double>(b[ch]) - static_cast<double>(e[ch]);
                if (reflected > 0.0) acc[ch] += reflected;
            }
        }
        rays += n;
        for (int ch = 0; ch < 3; ++ch) sum[ch] += acc[ch] / n;
        return backHits;
    }

    // The gather point of barycentric weights w: pulled a hair inside the
    // triangle (so a point on an edge against a wall does not start its rays
    // inside the wall) and lifted off it along the normal.
    void placePoint(int patch, const double w[3], D3& x, D3& o) const {
        const Tri& tri = solved.model.patches[patch];
        const D3 v0 = toD3(tri.vertices[0]), v1 = toD3(tri.vertices[1]), v2 = toD3(tri.vertices[2]);
        const double area2 = std::sqrt(dotD(crossD(v1 - v0, v2 - v0), crossD(v1 - v0, v2 - v0)));
        const double longest = std::sqrt(std::max({dotD(v1 - v0, v1 - v0), dotD(v2 - v1, v2 - v1),
                                                   dotD(v0 - v2, v0 - v2)}));
        const double altitude = longest > 0.0 ? area2 / longest : 0.0;
        const double pull = altitude > 0.0 ? std::min(0.02, 3.0 * epsilon / altitude) : 0.0;
        double b[3];
        for (int k = 0; k < 3; ++k) b[k] = w[k] * (1.0 - pull) + pull / 3.0;
        x = v0 * b[0] + v1 * b[1] + v2 * b[2];
        o = x + normals[patch] * epsilon;
    }

    // The light arriving at a point; its alpha is 0 when the point is
    // buried (more than half of its rays meet the backs of patches: it lies
    // under or inside something closed) and 1 otherwise.
    Color incident(int patch, const double w[3], const std::vector<double>& dirs, long long& rays,
                   long long& escaped) const {
        Color c(0.0f, 0.0f, 0.0f, 1.0f);
        const D3& n = normals[patch];
        if (n.x == 0.0 && n.y == 0.0 && n.z == 0.0) return c;
        D3 x, o;
        placePoint(patch, w, x, o);
        double sum[3] = {0, 0, 0};
        direct(patch, x, o, sum, rays);
        if (!lamps.empty()) {
            const double xv[3] = {x.x, x.y, x.z}, nv[3] = {n.x, n.y, n.z};
            rays += lamps.add(xv, nv, sum);
        }
        const int backHits = indirect(o, dirs, sum, rays, escaped);
        for (int ch = 0; ch < 3; ++ch) c[ch] = static_cast<float>(sum[ch]);
        if (2 * backHits > settings.rays) c.a = 0.0f;
        return c;
    }
};

FinalGather::FinalGather(const Radiosity& solved, const GatherSettings& settings)
    : state(std::make_unique<State>(solved, settings)) {
    State& s = *state;
    const std::vector<Tri>& patches = solved.model.patches;
    const int numPatches = solved.numPatches;
    s.normals.resize(static_cast<size_t>(numPatches));
    for (int p = 0; p < numPatches; ++p) {
        const Tri& t = patches[p];
        s.normals[p] = pointgeo::litNormal(toD3(t.vertices[0]), toD3(t.vertices[1]), toD3(t.vertices[2]));
    }

    // Co-planar neighbours form one surface with one sample pattern, so the
    // two sides of a shared edge see the same directions.
    std::vector<int> parent(static_cast<size_t>(numPatches));
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&](int p) {
        while (parent[p] != p) p = parent[p] = parent[parent[p]];
        return p;
    };
    for (int p = 0; p < numPatches; ++p) {
        const GrowArray<int>& list = solved.neighbors[p];
        for (int k = 0; k < list.count(); ++k) {
            const int a = root(p), b = root(list[k]);
            if (a != b) parent[std::max(a, b)] = std::min(a, b);
        }
    }
    s.surfaceKeys.resize(static_cast<size_t>(numPatches));
    for (int p = 0; p < numPatches; ++p)
        s.surfaceKeys[p] = samples::mixBits(static_cast<std::uint64_t>(root(p)) + 0x9e3779b97f4a7c15ULL);

    std::vector<double> power;
    for (int p = 0; p < numPatches; ++p) {
        const Color& e = solved.model.colors[p].emission;
        const Tri& t = patches[p];
        State::Emitter em;
        em.patch = p;
        em.normal = s.normals[p];
        for (int k = 0; k < 3; ++k) em.corners[k] = toD3(t.vertices[k]);
        em.area = 0.5 * std::sqrt(dotD(crossD(em.corners[1] - em.corners[0], em.corners[2] - em.corners[0]),
                                       crossD(em.corners[1] - em.corners[0], em.corners[2] - em.corners[0])));
        if (!emits(e) || !(em.area > 0.0)) continue;
        em.centroid = (em.corners[0] + em.corners[1] + em.corners[2]) * (1.0 / 3.0);
        for (int ch = 0; ch < 3; ++ch) em.emission[ch] = std::max(0.0f, e[ch]);
        power.push_back(em.area * (em.emission[0] + em.emission[1] + em.emission[2]));
        s.emitters.push_back(std::move(em));
    }
    s.useTable = static_cast<int>(s.emitters.size()) > settings.explicitEmitterLimit;
    if (!s.useTable) {
        int level0 = 0;
        while ((1 << (2 * level0)) < settings.minEmitterPoints && level0 < 8) ++level0;
        for (State::Emitter& em : s.emitters)
            for (int l = 0; l < 3; ++l)
                latticePoints(em.corners[0], em.corners[1], em.corners[2], level0 + l, em.lattice[l]);
        return;
    }
    // The table: slot i takes the emitter where the running power passes
    // (i + 1/2) / M of the total; an emitter's slots spread its points over
    // it as a stratified set, and emitters too faint for a slot are made up
    // for by scaling the rest.
    const int m = settings.emitterTableSize;
    std::vector<double> cdf(power.size());
    std::partial_sum(power.begin(), power.end(), cdf.begin());
    const double total = cdf.empty() ? 0.0 : cdf.back();
    std::vector<int> slotEmitter(static_cast<size_t>(m));
    std::vector<int> count(s.emitters.size(), 0);
    for (int i = 0; i < m; ++i) {
        const double target = (i + 0.5) / m * total;
        int e = static_cast<int>(std::upper_bound(cdf.begin(), cdf.end(), target) - cdf.begin());
        e = std::min(e, static_cast<int>(s.emitters.size()) - 1);
        slotEmitter[i] = e;
        ++count[e];
    }
    double covered = 0.0;
    for (size_t e = 0; e < power.size(); ++e)
        if (count[e] > 0) covered += power[e];
    s.tableCoverage = covered > 0.0 ? total / covered : 0.0;
    std::vector<int> seen(s.emitters.size(), 0);
    for (int i = 0; i < m; ++i) {
        const int e = slotEmitter[i];
        const State::Emitter& em = s.emitters[e];
        double u, v;
        samples::hammersley(seen[e]++, count[e], 0.0, 0.0, u, v);
        const double su = std::sqrt(u);
        const double b1 = su * (1.0 - v), b2 = su * v;
        State::TablePoint tp;
        tp.emitter = e;
        tp.point = em.corners[0] * (1.0 - b1 - b2) + em.corners[1] * b1 + em.corners[2] * b2;
        tp.area = em.area / count[e];
        s.table.push_back(tp);
    }
}

FinalGather::~FinalGather() = default;

Color FinalGather::incidentAt(int patch, double b0, double b1, double b2) const {
    std::vector<double> dirs;
    state->directionsFor(patch, dirs);
    const double w[3] = {b0, b1, b2};
    long long rays = 0, escaped = 0;
    return state->incident(patch, w, dirs, rays, escaped);
}

GatheredLighting FinalGather::gatherTextures(const std::vector<PatchLayout>& layouts, const Progress& progress) const {
    const State& s = *state;
    const int numPatches = s.solved.numPatches;
    GatheredLighting out;
    out.incident.reserve(static_cast<size_t>(numPatches));
    // Work items are rows of textures, so a large floor is shared between
    // threads as readily as many small patches are.
    struct Row {
        int patch;
        int y;
    };
    std::vector<Row> allRows;
    std::vector<double> cost;
    for (int p = 0; p < numPatches; ++p) {
        out.incident.emplace_back(layouts[p].wide, layouts[p].high);
        out.texels += static_cast<long long>(layouts[p].wide) * layouts[p].high;
        for (int y = 0; y < layouts[p].high; ++y) {
            allRows.push_back({p, y});
            cost.push_back(layouts[p].wide);
        }
    }
    // Spread over processes, each lights its share of the rows (by rows
    // too, so that one large floor is shared as well).
    const Cluster& cluster = s.solved.cluster;
    const WorkShares shares = shareByCost(cost, cluster.size);
    const std::vector<int> mine = shares.itemsOf(cluster.rank);
    std::vector<Row> rows;
    rows.reserve(mine.size());
    long long mineTotal = 0;
    for (int r : mine) {
        rows.push_back(allRows[static_cast<size_t>(r)]);
        mineTotal += layouts[rows.back().patch].wide;
    }
    // Each patch's corners in its texture's coordinates. (Its directions are
    // made again for each row: kept for every patch they would cost 24 R
    // bytes a patch.)
    std::vector<std::array<double, 6>> corners2(static_cast<size_t>(numPatches));
    for (int p = 0; p < numPatches; ++p) {
        const PatchLayout& l = layouts[p];
        Tri rotated = s.solved.model.patches[p].clone();
        rotated.rotateX(l.angleX);
        rotated.rotateY(l.angleY);
        for (int k = 0; k < 3; ++k) {
            corners2[p][2 * k] = static_cast<double>(rotated.vertices[k].x) * l.scaleX + l.offsetX;
            corners2[p][2 * k + 1] = static_cast<double>(rotated.vertices[k].y) * l.scaleY + l.offsetY;
        }
    }

    std::atomic<long long> done{0};
    long long rays = 0, escaped = 0;
    const long long total = out.texels;
    const long long reportEvery = std::max(1LL, total / 200);
    long long nextReport = reportEvery;
    StageCount count{cluster, progress, {ProgressStage::FinalGather, s.solved.pass, -1, 0, total}};
    if (cluster.first()) progress.report({ProgressStage::FinalGather, s.solved.pass, -1, 0, total});
#pragma omp parallel reduction(+ : rays, escaped)
    {
        std::vector<double> dirs;
        int dirsOf = -1;
#pragma omp for schedule(dynamic, 1)
        for (long long r = 0; r < static_cast<long long>(rows.size()); ++r) {
            const Row row = rows[static_cast<size_t>(r)];
            const PatchLayout& l = layouts[row.patch];
            FloatTexture& tex = out.incident[row.patch];
            const std::array<double, 6>& c = corners2[row.patch];
            if (dirsOf != row.patch) {
                s.directionsFor(row.patch, dirs);
                dirsOf = row.patch;
            }
            for (int x = 0; x < l.wide; ++x) {
                const double centre[2] = {x + 0.5, row.y + 0.5};
                double w[3];
                nearestInTriangle2(centre, &c[0], &c[2], &c[4], w);
                tex.at(x, row.y) = s.incident(row.patch, w, dirs, rays, escaped);
            }
            const long long now = done.fetch_add(l.wide) + l.wide;
            // Only the first thread speaks, so events come from one thread
            // (the one that talks to the other processes).
            #ifdef _OPENMP
            const bool speaker = omp_get_thread_num() == 0;
            #else
            const bool speaker = true;
            #endif
            if (speaker && now >= nextReport) {
                nextReport = now + reportEvery;
                count.mine(now);
            }
        }
    }
    count.finish(mineTotal);
    // Process 0 takes every other share's rows and ray counts.
    const auto rowOf = [&](int item) {
        const Row row = allRows[static_cast<size_t>(item)];
        return std::make_pair(&out.incident[row.patch].at(0, row.y), layouts[row.patch].wide * sizeof(Color));
    };
    struct Counts {
        long long rays, escaped;
    };
    auto stream = shareStream<Counts>(
        cluster, shares, mine, [&](int item, ByteWriter& o) { o.putRaw(rowOf(item).first, rowOf(item).second); },
        [&](int item, ByteReader& in) { in.getRaw(rowOf(item).first, rowOf(item).second); });
    long long allRays = 0, allEscaped = 0;
    stream.finish(Counts{rays, escaped}, [&](int, const Counts& c) {
        allRays += c.rays;
        allEscaped += c.escaped;
    });
    rays = allRays;
    escaped = allEscaped;
    // Buried texels take their neighbours' light, once every texel is known
    // (on process 0: the others' textures are not used).
    if (cluster.first()) {
#pragma omp parallel for schedule(dynamic, 1)
        for (int p = 0; p < numPatches; ++p) fillBuried(out.incident[p]);
    }
    out.rays = rays;
    out.escapedRays = escaped;
    return out;
}
