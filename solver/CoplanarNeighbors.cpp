#include "CoplanarNeighbors.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <cmath>
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

// A cell of the corner grid, for one set of colours and one cell of normal
// directions. Cells are the floors of coordinate / cell size, kept in double
// so that no coordinate overflows them; `color` numbers the patch's six
// colour values as the colour test compares them (0 and -0 alike), and
// `normal` packs the cell of its unit normal.
struct CellKey {
    double x, y, z;
    int color;
    int normal;

    bool operator==(const CellKey& o) const {
        return x == o.x && y == o.y && z == o.z && color == o.color && normal == o.normal;
    }
};

std::uint64_t bitsOf(double v) {
    v += 0.0;  // -0 as 0
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

struct CellKeyHash {
    size_t operator()(const CellKey& k) const {
        std::uint64_t h = bitsOf(k.x) * 0x9E3779B97F4A7C15ull;
        h = (h ^ (h >> 29) ^ bitsOf(k.y)) * 0xBF58476D1CE4E5B9ull;
        h = (h ^ (h >> 31) ^ bitsOf(k.z)) * 0x94D049BB133111EBull;
        h = (h ^ (h >> 30) ^ static_cast<std::uint64_t>(k.color)) * 0x9E3779B97F4A7C15ull;
        h = (h ^ (h >> 29) ^ static_cast<std::uint64_t>(k.normal)) * 0xBF58476D1CE4E5B9ull;
        return static_cast<size_t>(h ^ (h >> 32));
    }
};

// The cells from floor(lo / size) to floor(hi / size) along one axis.
// Division and floor never decrease, so a coordinate v with lo < v < hi
// lies in one of them. Far out, where doubles are farther apart than 1,
// every double between is a cell.
struct CellRange {
    double first = 0.0, last = -1.0;
    long long count = 0;  // cells in the range, at most kMaxCells + 1

    static constexpr long long kMaxCells = 64;
    CellRange(double lo, double hi, double size) : first(std::floor(lo / size)), last(std::floor(hi / size)) {
        for (double c = first; c <= last && count <= kMaxCells; c = step(c)) ++count;
    }
    static double step(double c) {
        const double next = c + 1.0;
        return next != c ? next : std::nextafter(c, HUGE_VAL);
    }
};

struct CornerGrid {
    double size = 0.0;
    std::vector<int> colorOf;  // per patch; -1 when a colour is NaN (it equals nothing)
    // Normal cells: two normals whose dot product exceeds 0.99 differ by
    // less than normalReach in every component, and normalCell is wider than
    // twice that, so they lie in the same or adjacent cells.
    double normalReach = 0.0, normalCell = 0.0;
    std::vector<Vec3> normals;
    std::vector<int> normalOf;  // packed cell per patch; -1 without a direction
    std::vector<char> normalUsed;  // by packed cell: some patch's normal lies in it

    int normalCode(int ix, int iy, int iz) const { return ((ix + 64) * 128 + (iy + 64)) * 128 + (iz + 64); }
    std::unordered_map<CellKey, std::vector<int>, CellKeyHash> cells;
};

std::vector<int> colorNumbers(const Model& m) {
    std::map<std::array<float, 6>, int> numbers;
    std::vector<int> out;
    out.reserve(m.colors.size());
    for (const PatchColors& c : m.colors) {
        const std::array<float, 6> v = {c.reflectance.r + 0.0f, c.reflectance.g + 0.0f, c.reflectance.b + 0.0f,
                                        c.emission.r + 0.0f,    c.emission.g + 0.0f,    c.emission.b + 0.0f};
        bool nan = false;
        for (float x : v) nan = nan || x != x;
        out.push_back(nan ? -1 : numbers.emplace(v, static_cast<int>(numbers.size())).first->second);
    }
    return out;
}

// Calls visit(k) once for every patch k (other than j) that can pass the
// corner and colour tests with j (and for some that cannot), in no
// particular order.
template <typename Visit>
void forEachCandidate(const Model& m, const CornerGrid& grid, int j, std::vector<int>& seen, Visit visit) {
    const Tri& patch = m.patches[j];
    const double t = patch.vertexTolerance;
    const int color = grid.colorOf[j];
    if (!(t > 0.0) || color < 0) return;  // no corner box, or no colour equals
    const auto visitAll = [&] {
        for (int k = 0; k < static_cast<int>(m.patches.size()); ++k) {
            if (k != j && grid.colorOf[k] == color && seen[k] != j) {
                seen[k] = j;
                visit(k);
            }
        }
    };
    // A box wider than the grid's cells (an infinite tolerance): every
    // patch of the colours is a candidate.
    if (t > grid.size) {
        visitAll();
        return;
    }
    if (grid.normalOf[j] < 0) return;  // no direction: the co-planarity test fails
    int normalCodes[8], normalCount = 0;
    {
        const Vec3& n = grid.normals[j];
        int lo[3], hi[3];
        const double c[3] = {n.x, n.y, n.z};
        for (int a = 0; a < 3; ++a) {
            lo[a] = static_cast<int>(std::floor((c[a] - grid.normalReach) / grid.normalCell));
            hi[a] = static_cast<int>(std::floor((c[a] + grid.normalReach) / grid.normalCell));
            hi[a] = std::min(hi[a], lo[a] + 1);  // a cell is wider than the reach both ways
        }
        for (int ix = lo[0]; ix <= hi[0]; ++ix)
            for (int iy = lo[1]; iy <= hi[1]; ++iy)
                for (int iz = lo[2]; iz <= hi[2]; ++iz) {
                    const int code = grid.normalCode(ix, iy, iz);
                    if (grid.normalUsed[code]) normalCodes[normalCount++] = code;
                }
    }
    const auto visitCell = [&](double cx, double cy, double cz) {
        for (int i = 0; i < normalCount; ++i) {
            auto cell = grid.cells.find(CellKey{cx, cy, cz, color, normalCodes[i]});
            if (cell == grid.cells.end()) continue;
            for (int k : cell->second) {
                if (k == j || seen[k] == j) continue;
                seen[k] = j;
                visit(k);
            }
        }
    };
    const auto visitBox = [&](const CellRange& xs, const CellRange& ys, const CellRange& zs) {
        double cx = xs.first;
        for (long long a = 0; a < xs.count; ++a, cx = CellRange::step(cx)) {
            double cy = ys.first;
            for (long long b = 0; b < ys.count; ++b, cy = CellRange::step(cy)) {
                double cz = zs.first;
                for (long long c = 0; c < zs.count; ++c, cz = CellRange::step(cz)) visitCell(cx, cy, cz);
            }
        }
    };
    // One box of cells around all three corners when it is small (a patch
    // no larger than a few cells), else one box around each corner.
    double lo[3], hi[3];
    for (int axis = 0; axis < 3; ++axis) {
        lo[axis] = HUGE_VAL;
        hi[axis] = -HUGE_VAL;
        for (const Vec3& v : patch.vertices) {
            const double c = axis == 0 ? v.x : axis == 1 ? v.y : v.z;
            lo[axis] = std::min(lo[axis], c - t);
            hi[axis] = std::max(hi[axis], c + t);
        }
    }
    const CellRange bx(lo[0], hi[0], grid.size), by(lo[1], hi[1], grid.size), bz(lo[2], hi[2], grid.size);
    if (bx.count * by.count * bz.count <= 64) {
        visitBox(bx, by, bz);
        return;
    }
    for (const Vec3& v : patch.vertices) {
        const CellRange xs(v.x - t, v.x + t, grid.size), ys(v.y - t, v.y + t, grid.size),
            zs(v.z - t, v.z + t, grid.size);
        if (xs.count > CellRange::kMaxCells || ys.count > CellRange::kMaxCells || zs.count > CellRange::kMaxCells) {
            visitAll();
            return;
        }
        visitBox(xs, ys, zs);
    }
}

}  // namespace

std::vector<GrowArray<int>> findCoplanarNeighbors(const Model& model, long long budgetBytes) {
    const int numPatches = static_cast<int>(model.patches.size());
    CornerGrid grid;
    // The cell is the widest finite tolerance box; a patch with a wider
    // (infinite) box has every patch of its colours as a candidate.
    for (const Tri& patch : model.patches) {
        const double t = patch.vertexTolerance;
        if (std::isfinite(t) && t > grid.size) grid.size = t;
    }
    grid.colorOf = colorNumbers(model);
    // |a - b|^2 = |a|^2 + |b|^2 - 2 a.b < 2 L^2 - 1.98 for normals no longer
    // than L (1 up to rounding) whose dot product exceeds 0.99; the margin
    // covers the rounding of the dot product and of the cell bounds.
    grid.normals.reserve(numPatches);
    double longest = 0.0;
    for (const Tri& patch : model.patches) {
        const Vec3 n = patch.normal();
        grid.normals.push_back(n);
        const double len = std::sqrt(static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y +
                                     static_cast<double>(n.z) * n.z);
        if (std::isfinite(len) && len > longest) longest = len;
    }
    grid.normalReach = std::sqrt(std::max(0.0, 2.0 * longest * longest - 1.98)) * (1.0 + 1e-6) + 1e-9;
    grid.normalCell = std::max(0.3, 2.05 * grid.normalReach);
    grid.normalOf.assign(numPatches, -1);
    grid.normalUsed.assign(static_cast<size_t>(grid.normalCode(63, 63, 63)) + 1, 0);
    for (int k = 0; k < numPatches; ++k) {
        const Vec3& n = grid.normals[k];
        if (!(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z)) || (n.x == 0 && n.y == 0 && n.z == 0))
            continue;
        grid.normalOf[k] = grid.normalCode(static_cast<int>(std::floor(n.x / grid.normalCell)),
                                           static_cast<int>(std::floor(n.y / grid.normalCell)),
                                           static_cast<int>(std::floor(n.z / grid.normalCell)));
        grid.normalUsed[grid.normalOf[k]] = 1;
    }
    if (grid.size > 0.0) {
        for (int k = 0; k < numPatches; ++k) {
            if (grid.colorOf[k] < 0 || grid.normalOf[k] < 0) continue;
            for (const Vec3& v : model.patches[k].vertices) {
                const CellKey key{std::floor(v.x / grid.size), std::floor(v.y / grid.size),
                                  std::floor(v.z / grid.size), grid.colorOf[k], grid.normalOf[k]};
                std::vector<int>& members = grid.cells[key];
                if (members.empty() || members.back() != k) members.push_back(k);
            }
        }
    }
    const std::vector<Vec3>& normals = grid.normals;
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
