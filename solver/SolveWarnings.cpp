#include "SolveWarnings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

#include "Radiosity.h"

namespace {

// "patches 3, 4 and 7 more" style list of the first few of `ids`.
std::string someOf(const std::vector<int>& ids, const char* one, const char* many) {
    const size_t shown = ids.size() < 8 ? ids.size() : 8;
    std::string text = ids.size() == 1 ? one : many;
    for (size_t i = 0; i < shown; ++i) text += (i == 0 ? " " : ", ") + std::to_string(ids[i]);
    if (shown < ids.size()) text += " and " + std::to_string(ids.size() - shown) + " more";
    return text;
}

bool emits(const Color& e) { return e.r != 0.0f || e.g != 0.0f || e.b != 0.0f; }

float brightestEmission(const Radiosity& r) {
    float brightest = 0.0f;
    for (const PatchColors& c : r.model.colors)
        for (float v : {c.emission.r, c.emission.g, c.emission.b})
            if (std::isfinite(v) && v > brightest) brightest = v;
    return brightest;
}

// Patches that emit nothing and whose elements' hemicubes see no light.
std::vector<int> unlitPatches(const Radiosity& r) {
    const int n = r.groups.count();
    if (r.linearRadiosity.size() != 4 * static_cast<size_t>(n) ||
        !(brightestEmission(r) > 0.0f || !r.model.lamps.empty()))
        return {};
    std::vector<char> lit(static_cast<size_t>(r.numPatches), 0);
    for (int g = 0; g < n; ++g) {
        const PatchGroup& group = *r.groups[g];
        if (!group.hasFormFactors) return {};
        for (int k = 0; k < 4; ++k) {
            if (emits(*group.emission[k])) lit[group.parentPatchId] = 1;
            if (!r.outsideLight.empty() && emits(r.outsideLight[4 * static_cast<size_t>(g) + k])) lit[group.parentPatchId] = 1;
            for (const FormFactorEntry& entry : group.formFactors[k].entries) {
                const Color& b = r.linearRadiosity[entry.index];
                if (entry.value > 0.0f && (b.r > 0.0f || b.g > 0.0f || b.b > 0.0f)) {
                    lit[group.parentPatchId] = 1;
                    break;
                }
            }
        }
    }
    std::vector<int> unlit;
    for (int p = 0; p < r.numPatches; ++p)
        if (!lit[p] && !r.model.patches[p].isDegenerate()) unlit.push_back(p);
    return unlit;
}

// A corner as a key: its coordinates, with -0 as 0.
using Corner = std::tuple<float, float, float>;
Corner cornerOf(const Vec3& v) { return Corner(v.x + 0.0f, v.y + 0.0f, v.z + 0.0f); }

// Pairs of patches that run along a shared edge (one held by no other
// patch) in the same direction: consistently wound neighbours run along it
// in opposite directions.
std::vector<std::pair<int, int>> oppositePairs(const Radiosity& r) {
    struct Use {
        int patch;
        bool forward;  // from the smaller corner to the larger
    };
    std::map<std::pair<Corner, Corner>, std::vector<Use>> edges;
    for (int p = 0; p < r.numPatches; ++p) {
        const Tri& t = r.model.patches[p];
        if (t.isDegenerate()) continue;
        for (int i = 0; i < 3; ++i) {
            const Corner a = cornerOf(t.vertices[i]), b = cornerOf(t.vertices[(i + 1) % 3]);
            const bool forward = a < b;
            edges[forward ? std::make_pair(a, b) : std::make_pair(b, a)].push_back({p, forward});
        }
    }
    std::vector<std::pair<int, int>> pairs;
    for (const auto& edge : edges) {
        const std::vector<Use>& uses = edge.second;
        if (uses.size() == 2 && uses[0].patch != uses[1].patch && uses[0].forward == uses[1].forward)
            pairs.emplace_back(std::min(uses[0].patch, uses[1].patch), std::max(uses[0].patch, uses[1].patch));
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

}  // namespace

std::vector<std::string> settingWarnings(const Radiosity& r) {
    std::vector<std::string> lights = r.model.ignoredLights;
    if (!(brightestEmission(r) > 0.0f) && r.model.lamps.empty()) {
        std::string line = "nothing in the scene emits light and it holds no lamp that is read; every texture will "
                           "stay black";
        if (!lights.empty()) line += " (the file's lights: " + std::to_string(lights.size()) + " not supported)";
        lights.insert(lights.begin(), line);
    }

    std::vector<std::string> out = lights;
    const float brightest = brightestEmission(r);
    const float threshold = r.settings.subDivideThreshold;
    if (brightest > 0.0f && static_cast<double>(threshold) < 0.001 * brightest) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "subdivide_threshold %g is below a thousandth of the brightest emission, %g: the thresholds "
                      "are in the emission's units, and this far below it the subdivision restart limits decide "
                      "how long the run takes; %g to %g (0.05 to 0.3 of the brightest emission) is usual",
                      static_cast<double>(threshold), static_cast<double>(brightest), 0.05 * brightest,
                      0.3 * brightest);
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> solveWarnings(const Radiosity& r) {
    std::vector<std::string> out;
    const std::vector<int> unlit = unlitPatches(r);
    if (!unlit.empty()) {
        out.push_back(std::to_string(unlit.size()) + (unlit.size() == 1 ? " patch emits" : " patches emit") +
                      " nothing and receive" + (unlit.size() == 1 ? "s" : "") + " no light at all (" +
                      someOf(unlit, "patch", "patches") +
                      "): facing away from every light? a triangle's lit side is the one from which its corners "
                      "run clockwise");
    }

    const RayRowStats& rays = r.rayRowStats;
    if (rays.leaks > 0 && !r.settings.hasSky()) {
        char text[320];
        std::snprintf(text, sizeof text,
                      "%lld of the last pass's form-factor rays (%.3g%%) left the scene, the first from an element "
                      "of patch %d (group %d): the scene is open there, or has a gap",
                      rays.leaks, 100.0 * static_cast<double>(rays.leaks) / static_cast<double>(rays.hemisphere),
                      rays.firstLeakPatch, rays.firstLeakGroup);
        out.push_back(text);
    }

    const std::vector<std::pair<int, int>> opposite = oppositePairs(r);
    if (!opposite.empty()) {
        std::string named;
        for (size_t i = 0; i < opposite.size() && i < 4; ++i)
            named += (i == 0 ? "" : ", ") + std::to_string(opposite[i].first) + " and " +
                     std::to_string(opposite[i].second);
        if (opposite.size() > 4) named += " and " + std::to_string(opposite.size() - 4) + " more";
        out.push_back(std::to_string(opposite.size()) + (opposite.size() == 1 ? " pair" : " pairs") +
                      (opposite.size() == 1 ? " of patches shares" : " of patches share") +
                      " an edge but face opposite ways (patches " + named +
                      "): one of each pair has its corners in the other order");
    }

    // Co-planar neighbours whose corners are near but whose planes are not
    // the same: the distance of the nearest corner of one to the other's plane.
    int apart = 0, farJ = -1, farK = -1;
    double farthest = 0.0;
    for (int j = 0; j < r.numPatches && j < static_cast<int>(r.neighbors.size()); ++j) {
        const Tri& a = r.model.patches[j];
        const Vec3 n = a.normal();
        const double limit = 0.01 * a.vertexTolerance;
        for (int i = 0; i < r.neighbors[j].count(); ++i) {
            const int k = r.neighbors[j][i];
            if (k < j) continue;
            double nearest = HUGE_VAL;
            for (const Vec3& v : r.model.patches[k].vertices) {
                const double d = std::fabs(static_cast<double>(n.x) * (static_cast<double>(v.x) - a.vertices[0].x) +
                                           static_cast<double>(n.y) * (static_cast<double>(v.y) - a.vertices[0].y) +
                                           static_cast<double>(n.z) * (static_cast<double>(v.z) - a.vertices[0].z));
                nearest = d < nearest ? d : nearest;
            }
            if (!(nearest > limit)) continue;
            ++apart;
            if (nearest > farthest) {
                farthest = nearest;
                farJ = j;
                farK = k;
            }
        }
    }
    if (apart > 0) {
        char line[640];
        std::snprintf(line, sizeof line,
                      "%d %s of co-planar neighbours %s in planes up to %g apart (the farthest: patches %d and %d): "
                      "corners within %g of each other count as shared, so each is baked with the other's light "
                      "and shadow; scaling the model up (a room tens of units wide) avoids it",
                      apart, apart == 1 ? "pair" : "pairs", apart == 1 ? "lies" : "lie", farthest, farJ, farK,
                      static_cast<double>(r.model.patches[farJ].vertexTolerance));
        out.push_back(line);
    }
    return out;
}
