#include "CoplanarNeighbors.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <unordered_map>

#include "GlowbakeError.h"

bool isCoplanar(const Tri& a, const Tri& b) { return normalsAgree(a.normal(), b.normal()); }

bool normalsAgree(const Vec3& thisNormal, const Vec3& otherNormal) {
    // In double, not rounded to float: the 0.99 limit is a double too.
    const double d = static_cast<double>(thisNormal.x) * otherNormal.x +
                     static_cast<double>(thisNormal.y) * otherNormal.y +
                     static_cast<double>(thisNormal.z) * otherNormal.z;
    return d > 0.99;
}

bool sharesVertex(const Tri& a, const Tri& b) {
    const double t = a.vertexTolerance;
    for (const Vec3& otherVert : b.vertices) {
        for (const Vec3& thisVert : a.vertices) {
            if (thisVert.x + t > otherVert.x && thisVert.x - t < otherVert.x && thisVert.y + t > otherVert.y &&
                thisVert.y - t < otherVert.y && thisVert.z + t > otherVert.z && thisVert.z - t < otherVert.z) {
                return true;
            }
        }
    }
    return false;
}

bool sameColors(const Model& m, int j, int k) {
    const PatchColors& a = m.colors[j];
    const PatchColors& b = m.colors[k];
    return a.reflectance.r == b.reflectance.r && a.reflectance.g == b.reflectance.g &&
           a.reflectance.b == b.reflectance.b && a.emission.r == b.emission.r && a.emission.g == b.emission.g &&
           a.emission.b == b.emission.b;
}

std::vector<GrowArray<int>> findCoplanarNeighborsPairwise(const Model& model) {
    const int numPatches = static_cast<int>(model.patches.size());
    std::vector<GrowArray<int>> neighbors(numPatches);
    std::vector<Vec3> normals;
    normals.reserve(numPatches);
    for (const Tri& patch : model.patches) normals.push_back(patch.normal());
    for (int j = 0; j < numPatches; ++j) {
        for (int k = 0; k < numPatches; ++k) {
            if (k == j) continue;
            if (!normalsAgree(normals[j], normals[k])) continue;
            if (!sharesVertex(model.patches[j], model.patches[k])) continue;
            if (!sameColors(model, j, k)) continue;
            neighbors[j].push(k);
        }
    }
    return neighbors;
}

long long neighborListBytes(const std::vector<int>& lengths) {
    long long bytes = 0;
    for (int n : lengths) {
        long long capacity = GrowArray<int>::kInitialCapacity;
        while (capacity < n) capacity *= 2;
        bytes += static_cast<long long>(sizeof(GrowArray<int>)) + capacity * static_cast<long long>(sizeof(int));
    }
    return bytes;
}

namespace {

// A cell of the corner grid, for one set of colours. Cells are the floors
// of coordinate / cell size, kept in double so that no coordinate overflows
// them; colours compare as the colour test does (0 and -0 alike).
struct CellKey {
    double x, y, z;
    float colors[6];

    bool operator==(const CellKey& o) const {
        if (x != o.x || y != o.y || z != o.z) return false;
        for (int i = 0; i < 6; ++i)
            if (colors[i] != o.colors[i]) return false;
        return true;
    }
};

struct CellKeyHash {
    size_t operator()(const CellKey& k) const {
        size_t h = std::hash<double>()(k.x + 0.0);
        h = h * 1000003u ^ std::hash<double>()(k.y + 0.0);
        h = h * 1000003u ^ std::hash<double>()(k.z + 0.0);
        for (float c : k.colors) h = h * 1000003u ^ std::hash<float>()(c + 0.0f);
        return h;
    }
};

// The cells from floor(lo / size) to floor(hi / size) along one axis.
// Division and floor never decrease, so a coordinate v with lo < v < hi
// lies in one of them.
std::vector<double> cellsBetween(double lo, double hi, double size) {
    std::vector<double> cells;
    const double first = std::floor(lo / size), last = std::floor(hi / size);
    for (double c = first; c <= last && cells.size() < 5;) {
        cells.push_back(c);
        const double next = c + 1.0;
        c = next != c ? next : std::nextafter(c, HUGE_VAL);
    }
    return cells;
}

struct CornerGrid {
    double size = 0.0;
    std::unordered_map<CellKey, std::vector<int>, CellKeyHash> cells;
    // Patches whose tolerance box is too wide for the grid: tested against
    // every patch.
    std::vector<int> wide;
};

bool indexable(const Model& m, int p) {
    const PatchColors& c = m.colors[p];
    for (float v : {c.reflectance.r, c.reflectance.g, c.reflectance.b, c.emission.r, c.emission.g, c.emission.b})
        if (v != v) return false;  // NaN equals nothing: no neighbours either way
    return true;
}

CellKey keyOf(const Model& m, int p, double x, double y, double z) {
    const PatchColors& c = m.colors[p];
    return CellKey{x, y, z, {c.reflectance.r, c.reflectance.g, c.reflectance.b, c.emission.r, c.emission.g,
                             c.emission.b}};
}

// Calls visit(k) once for every patch k (other than j) that can pass the
// corner and colour tests with j, and for no other, in no particular order.
template <typename Visit>
void forEachCandidate(const Model& m, const CornerGrid& grid, int j, std::vector<int>& seen, Visit visit) {
    const Tri& patch = m.patches[j];
    const double t = patch.vertexTolerance;
    if (!(t > 0.0) || !indexable(m, j)) return;  // no corner box, or no colour equals
    const int n = static_cast<int>(m.patches.size());
    if (t > grid.size) {
        for (int k = 0; k < n; ++k)
            if (k != j) visit(k);
        return;
    }
    for (const Vec3& v : patch.vertices) {
        const std::vector<double> xs = cellsBetween(v.x - t, v.x + t, grid.size);
        const std::vector<double> ys = cellsBetween(v.y - t, v.y + t, grid.size);
        const std::vector<double> zs = cellsBetween(v.z - t, v.z + t, grid.size);
        for (double cx : xs) {
            for (double cy : ys) {
                for (double cz : zs) {
                    auto cell = grid.cells.find(keyOf(m, j, cx, cy, cz));
                    if (cell == grid.cells.end()) continue;
                    for (int k : cell->second) {
                        if (k == j || seen[k] == j) continue;
                        seen[k] = j;
                        visit(k);
                    }
                }
            }
        }
    }
}

}  // namespace

std::vector<GrowArray<int>> findCoplanarNeighbors(const Model& model, long long budgetBytes) {
    const int numPatches = static_cast<int>(model.patches.size());
    CornerGrid grid;
    // The cell is the widest finite tolerance box; a patch with a wider
    // (infinite) box is tested against every patch.
    for (const Tri& patch : model.patches) {
        const double t = patch.vertexTolerance;
        if (std::isfinite(t) && t > grid.size) grid.size = t;
    }
    if (grid.size > 0.0) {
        for (int k = 0; k < numPatches; ++k) {
            if (!indexable(model, k)) continue;
            for (const Vec3& v : model.patches[k].vertices) {
                const CellKey key = keyOf(model, k, std::floor(v.x / grid.size), std::floor(v.y / grid.size),
                                          std::floor(v.z / grid.size));
                std::vector<int>& members = grid.cells[key];
                if (members.empty() || members.back() != k) members.push_back(k);
            }
        }
    }
    std::vector<Vec3> normals;
    normals.reserve(numPatches);
    for (const Tri& patch : model.patches) normals.push_back(patch.normal());
    const auto neighbours = [&](int j, int k) {
        return normalsAgree(normals[j], normals[k]) && sharesVertex(model.patches[j], model.patches[k]) &&
               sameColors(model, j, k);
    };

    // First the lengths alone, so that lists too large for memory are
    // refused before any is made; counting stops once they are too large.
    std::vector<int> seen(numPatches, -1), lengths(numPatches, 0);
    long long entryBytes = static_cast<long long>(numPatches) *
                           (static_cast<long long>(sizeof(GrowArray<int>)) +
                            GrowArray<int>::kInitialCapacity * static_cast<long long>(sizeof(int)));
    bool tooLarge = entryBytes > budgetBytes;
    for (int j = 0; j < numPatches && !tooLarge; ++j) {
        forEachCandidate(model, grid, j, seen, [&](int k) { lengths[j] += neighbours(j, k) ? 1 : 0; });
        entryBytes += std::max(0, lengths[j] - GrowArray<int>::kInitialCapacity) * static_cast<long long>(sizeof(int));
        tooLarge = entryBytes > budgetBytes;
    }
    if (tooLarge || neighborListBytes(lengths) > budgetBytes) {
        long long pairs = 0;
        for (int n : lengths) pairs += n;
        throw GlowbakeError("the co-planar neighbour lists of the model's " + std::to_string(numPatches) +
                            " patches would take more than the " + std::to_string(budgetBytes >> 20) +
                            " MiB they may use (" + std::to_string(pairs) +
                            " entries counted before stopping): many patches of the same colours lie within their "
                            "corner tolerance of each other; scale the model up or merge small patches");
    }

    std::vector<GrowArray<int>> lists(numPatches);
    std::fill(seen.begin(), seen.end(), -1);
    std::vector<int> found;
    for (int j = 0; j < numPatches; ++j) {
        found.clear();
        forEachCandidate(model, grid, j, seen, [&](int k) {
            if (neighbours(j, k)) found.push_back(k);
        });
        std::sort(found.begin(), found.end());
        for (int k : found) lists[j].push(k);
    }
    return lists;
}
