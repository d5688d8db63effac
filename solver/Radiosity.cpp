#include "Radiosity.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "ByteStream.h"
#include "ShareStream.h"
#include "CoplanarNeighbors.h"
#include "FormFactorWorkspace.h"
#include "GlowbakeError.h"
#include "LampLight.h"
#include "SkyLight.h"
#include "Limits.h"
#include "StageCount.h"
#include "WorkRanges.h"

long long predictedGroupCount(const std::vector<double>& areas, double maxArea, long long cap) {
    long long total = 0;
    for (double a : areas) {
        long long groups = 1;
        double elementArea = a / 4.0;
        while (elementArea > maxArea && groups <= cap) {
            groups *= 4;
            elementArea /= 4.0;
        }
        total += groups;
        if (total > cap) return cap + 1;
    }
    return total;
}

double smallestWorkableArea(const std::vector<double>& areas, long long cap) {
    double lo = 0.0, hi = 0.0;
    for (double a : areas) hi = a > hi ? a : hi;
    if (predictedGroupCount(areas, hi, cap) > cap) return hi;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (predictedGroupCount(areas, mid, cap) > cap) lo = mid; else hi = mid;
    }
    return hi;
}

AreaSplit splitLargeGroups(GroupArray& groups, float maxPatchArea, long long cap) {
    // Groups in the order they are made: the input's, then children as they
    // are made. The walk visits them in that order and keeps those it does
    // not split, so the array ends in creation order, as the walk over one
    // array that removes each split group and appends its children would
    // leave it; no entry is ever moved up.
    std::vector<std::unique_ptr<PatchGroup>> made;
    made.reserve(static_cast<size_t>(groups.count()));
    for (int i = 0; i < groups.count(); ++i) made.push_back(std::move(groups[i]));
    AreaSplit outcome;
    GroupArray kept;
    long long live = static_cast<long long>(made.size());
    for (size_t d = 0; d < made.size(); ++d) {
        const float area = made[d]->elements[0].area();
        if (area > maxPatchArea) {
            std::unique_ptr<PatchGroup> children[4];
            made[d]->makeChildren(children);
            // Far from the origin an edge's midpoint can round onto a corner,
            // and a child is then its parent again: splitting would never end.
            bool smaller = true;
            for (const std::unique_ptr<PatchGroup>& child : children)
                if (!(child->elements[0].area() < area)) smaller = false;
            if (smaller) {
                if (cap >= 0 && live + 3 > cap) {
                    throw GlowbakeError("patch " + std::to_string(made[d]->parentPatchId) +
                                        " splits into more patch groups than its area predicts (its corners are "
                                        "too far from the origin for its parts to shrink evenly), more than the " +
                                        std::to_string(cap) + " that fit in this machine's memory");
                }
                live += 3;
                made[d].reset();
                for (std::unique_ptr<PatchGroup>& child : children) made.push_back(std::move(child));
                continue;
            }
            if (outcome.unsplittable++ == 0) outcome.firstUnsplittablePatch = made[d]->parentPatchId;
        }
        kept.push(std::move(made[d]));
    }
    groups = std::move(kept);
    return outcome;
}

void subdivideByArea(GroupArray& groups, float maxPatchArea, const Progress& progress, long long cap) {
    progress.say("Starting area-based patch subdivision, number of patch groups = %d\n", groups.count());
    const AreaSplit outcome = splitLargeGroups(groups, maxPatchArea, cap);
    if (outcome.unsplittable > 0) {
        progress.warn("%d patch groups (the first of patch %d) stay larger than max_patch_area: their "
                      "corners are so far from the origin that halving their edges no longer makes them smaller",
                     outcome.unsplittable, outcome.firstUnsplittablePatch);
    }
    progress.say("Done with initial patch subdivsion, number of patch groups = %d\n", groups.count());
}

Radiosity::Radiosity(Model model_, const HemicubeTables& hemicubeTables, const SolverSettings& settings_,
                     const Progress& progress_)
    : model(std::move(model_)),
      numPatches(static_cast<int>(model.patches.size())),
      settings(settings_),
      progress(progress_),
      hemicube(settings_.hemicubeWorldWide, hemicubeTables) {
    // Groups point at their patch's colours: `model.colors` is not resized
    // from here on.
    const Color initialRadiosity(0.0f, 0.0f, 0.0f, 1.0f);
    for (int i = 0; i < numPatches; ++i) {
        auto group = std::make_unique<PatchGroup>();
        group->initFromTri(model.patches[i], i, &model.colors[i].reflectance, &model.colors[i].emission,
                           initialRadiosity, &hemicube);
        groups.push(std::move(group));
    }

    progress.say("using output texture size of %d\n\n", settings.textSize);

    progress.say("finding co-planar patches that share edges\n\n");
    neighbors = findCoplanarNeighbors(model, neighborListBudget());

    largestPatchArea = 0.0f;
    for (const Tri& patch : model.patches) {
        const float a = patch.area();
        if (a > largestPatchArea) largestPatchArea = a;
    }

    const float maxPatchArea = settings.maxPatchArea;
    std::vector<double> areas;
    for (int p = 0; p < numPatches; ++p) {
        const Tri& patch = model.patches[p];
        const float a = patch.area();
        if (!std::isfinite(a)) {
            float farthest = 0.0f;
            for (const Vec3& v : patch.vertices)
                for (float c : {v.x, v.y, v.z}) farthest = std::fabs(c) > farthest ? std::fabs(c) : farthest;
            char message[512];
            std::snprintf(message, sizeof message,
                          "patch %d has no finite area in single precision (its corners reach %g from the "
                          "origin, or its edges are too long): scale the model down or move it nearer the origin",
                          p, static_cast<double>(farthest));
            throw GlowbakeError(message);
        }
        areas.push_back(a);
    }
    const long long cap = settings.formFactorRays > 0 ? maxGroupCountForRays(settings.formFactorRays)
                                                      : maxGroupCount(hemicube.resolution());
    const long long predicted = predictedGroupCount(areas, maxPatchArea, cap);
    if (predicted > cap) {
        // The full count, in double: it can be far beyond any integer type.
        double groupsWanted = 0.0;
        for (double a : areas) {
            double groupsOfPatch = 1.0, elementArea = a / 4.0;
            while (elementArea > maxPatchArea) {
                groupsOfPatch *= 4.0;
                elementArea /= 4.0;
            }
            groupsWanted += groupsOfPatch;
        }
        char message[512];
        std::snprintf(message, sizeof message,
                      "max_patch_area %g would split the model into %.*g patch groups, more than the %lld that are "
                      "sure to fit, with their form factors, in this machine's memory; the smallest workable "
                      "max_patch_area is %g",
                      static_cast<double>(maxPatchArea), groupsWanted < 1e15 ? 15 : 3, groupsWanted, cap,
                      smallestWorkableArea(areas, cap));
        throw GlowbakeError(message);
    }
    subdivideByArea(groups, maxPatchArea, progress, cap);
}

int Radiosity::gatherChannel(int ch) {
    const int n = groups.count();
    // Flat copies of the channel: B is updated in place, element by element,
    // exactly as in the groups' colours, and written back at the end.
    std::vector<float> b(static_cast<size_t>(4) * n), e(static_cast<size_t>(4) * n), rho(n);
    for (int gi = 0; gi < n; ++gi) {
        const PatchGroup* g = groups[gi].get();
        rho[gi] = (*g->reflectance)[ch];
        for (int k = 0; k < 4; ++k) {
            b[4 * gi + k] = g->radiosity[k][ch];
            e[4 * gi + k] = (*g->emission[k])[ch];
            // What lamps light is emitted again as reflected light.
            if (!outsideLight.empty()) e[4 * gi + k] += rho[gi] * outsideLight[4 * static_cast<size_t>(gi) + k][ch];
        }
    }
    // Skipping a row's zero entries leaves the sum unchanged only while every
    // B is finite (0 x infinity is NaN); a diverging channel falls back to
    // visiting every entry.
    int nonFinite = 0;
    for (float v : b) nonFinite += std::isfinite(v) ? 0 : 1;

    float delta = settings.iterThreshold + 1.0f;
    int sweep = 0;
    while (delta > settings.iterThreshold) {
        if (sweep == kMaxSweeps) {
            progress.warn("color %d did not converge within %d sweeps (largest change %g); using the last "
                          "sweep's values",
                        ch, kMaxSweeps, static_cast<double>(delta));
            break;
        }
        progress.say("Color %d, Iteration number %d \n", ch, sweep);
        ++sweep;
        progress.report({ProgressStage::Gathering, pass, ch, sweep, 0});
        delta = 0.0f;
        bool diverged = false;
        for (int gi = 0; gi < n; ++gi) {
            const PatchGroup* g = groups[gi].get();
            for (int k = 0; k < 4; ++k) {
                const FormFactorRow& row = g->formFactors[k];
                float sum = 0.0f;
                if (nonFinite == 0) {
                    for (const FormFactorEntry& entry : row.entries)
                        sum = static_cast<float>(static_cast<double>(b[entry.index]) * entry.value + sum);
                } else {
                    size_t next = 0;
                    for (int l = 0; l < 4 * n; ++l) {
                        float f = 0.0f;
                        if (next < row.entries.size() && row.entries[next].index == l) f = row.entries[next++].value;
                        sum = static_cast<float>(static_cast<double>(b[l]) * f + sum);
                    }
                }
                const int l = 4 * gi + k;
                const float old = b[l];
                b[l] = static_cast<float>(static_cast<double>(e[l]) + static_cast<double>(rho[gi]) * sum);
                nonFinite += (std::isfinite(b[l]) ? 0 : 1) - (std::isfinite(old) ? 0 : 1);
                const float d = b[l] - old;
                if (d != d) diverged = true;
                if (d > delta) {
                    delta = d;
                } else if (-d > delta) {
                    delta = -d;
                }
            }
        }
        // Once values overflow, changes are NaN and no longer exceed the
        // threshold: that is divergence, not convergence.
        if (diverged) {
            progress.warn("color %d diverged (radiosity no longer finite after %d sweeps; is a reflectance 1 "
                          "or more?); stopping its gathering",
                        ch, sweep);
            break;
        }
    }
    for (int gi = 0; gi < n; ++gi)
        for (int k = 0; k < 4; ++k) groups[gi]->radiosity[k][ch] = b[4 * gi + k];
    return sweep;
}

bool Radiosity::subdivisionPass(int restart) {
    const int n = groups.count();
    progress.report({ProgressStage::Subdivision, pass, -1, 0, n});
    for (int i = 0; i < n; ++i) groups[i]->checkSubdivide(settings.subDivideThreshold);

    // Limits: a group is not split past the restart limit, into elements
    // below the minimum area, or beyond the group count the rows can hold.
    const float minElementArea = settings.maxPatchArea / kMinElementAreaDivisor;
    const long long cap = settings.formFactorRays > 0 ? maxGroupCountForRays(settings.formFactorRays)
                                                      : maxGroupCount(hemicube.resolution());
    int refusedRestarts = 0, refusedArea = 0, refusedCount = 0;
    long long projected = n;
    for (int i = 0; i < n; ++i) {
        PatchGroup* g = groups[i].get();
        if (!g->subdivide) continue;
        if (restart >= kMaxRestarts) {
            g->subdivide = false;
            ++refusedRestarts;
        } else if (g->elements[0].area() * 0.25f < minElementArea) {
            g->subdivide = false;
            ++refusedArea;
        } else if (projected + 3 > cap) {
            g->subdivide = false;
            ++refusedCount;
        } else {
            projected += 3;
        }
    }
    if (refusedRestarts > 0) {
        progress.warn("%d groups still differ by more than the subdivide threshold after %d restarts; "
                      "stopping subdivision here",
                    refusedRestarts, kMaxRestarts);
    }
    if (refusedArea > 0) {
        progress.warn("%d groups were not split because their elements would be smaller than %g "
                      "(max_patch_area / %g)",
                    refusedArea, static_cast<double>(minElementArea), static_cast<double>(kMinElementAreaDivisor));
    }
    if (refusedCount > 0) {
        progress.warn("%d groups were not split because more than %lld groups would not fit in memory",
                    refusedCount, cap);
    }

    // The groups that stay, in order, then the children of the split ones in
    // the order of their parents, each group's four in element order.
    GroupArray next;
    std::vector<std::unique_ptr<PatchGroup>> children;
    for (int i = 0; i < n; ++i) {
        if (!groups[i]->subdivide) {
            next.push(std::move(groups[i]));
            continue;
        }
        std::unique_ptr<PatchGroup> four[4];
        groups[i]->makeChildren(four);
        groups[i].reset();
        for (std::unique_ptr<PatchGroup>& child : four) children.push_back(std::move(child));
    }
    if (children.empty()) {
        groups = std::move(next);
        return false;
    }
    for (std::unique_ptr<PatchGroup>& child : children) next.push(std::move(child));
    groups = std::move(next);
    return true;
}

void Radiosity::applyGamma() {
    // Exactly 1 leaves the values alone; anything else, NaN included, applies.
    const float gamma = settings.gamma;
    if (gamma == 1.0f) return;
    for (int i = 0; i < groups.count(); ++i) {
        for (Color& c : groups[i]->radiosity) {
            c.r = static_cast<float>(std::pow(static_cast<double>(c.r), static_cast<double>(gamma)));
            c.g = static_cast<float>(std::pow(static_cast<double>(c.g), static_cast<double>(gamma)));
            c.b = static_cast<float>(std::pow(static_cast<double>(c.b), static_cast<double>(gamma)));
        }
    }
}

void Radiosity::normalize() {
    // A diverged solution holds infinities or NaN; they become 0 so that no
    // such value reaches the textures, and the rest is scaled as usual.
    int nonFinite = 0;
    for (int i = 0; i < groups.count(); ++i) {
        for (Color& c : groups[i]->radiosity) {
            for (int ch = 0; ch < 3; ++ch) {
                if (!std::isfinite(c[ch])) {
                    c[ch] = 0.0f;
                    ++nonFinite;
                }
            }
        }
    }
    if (nonFinite > 0) {
        progress.warn("%d radiosity values were not finite and were set to 0", nonFinite);
    }
    float largest = -3.4028235e38f;
    for (int i = 0; i < groups.count(); ++i) {
        for (const Color& c : groups[i]->radiosity) {
            const float m = c.maxComponent();
            if (m > largest) largest = m;
        }
    }
    if (!(largest > 0.0f)) {
        normalizationScale = 0.0;
        progress.warn("nothing in the scene emits light; every texture stays black");
        for (int i = 0; i < groups.count(); ++i)
            for (Color& c : groups[i]->radiosity) c = Color(0.0f, 0.0f, 0.0f, c.a);
        return;
    }
    normalizationScale = 1.0 / static_cast<double>(largest);
    const float factor = 1.0f / largest;
    if (std::isfinite(factor)) {
        for (int i = 0; i < groups.count(); ++i)
            for (Color& c : groups[i]->radiosity) c.normalizeScale(factor);
    } else {
        // A largest value so small that its reciprocal overflows a float:
        // divide instead, so the result still ends at 1.
        for (int i = 0; i < groups.count(); ++i) {
            for (Color& c : groups[i]->radiosity) {
                for (int ch = 0; ch < 3; ++ch) c[ch] = static_cast<float>(static_cast<double>(c[ch]) / largest);
            }
        }
    }
}

namespace {

bool onMainThread() {
#ifdef _OPENMP
    return omp_get_thread_num() == 0;
#else
    return true;
#endif
}

// The groups `mine` (ascending) of n, their rows on all cores: each
// group's rows depend only on the (unchanging) group array, so the groups
// are shared among threads. A thread takes the next group and prints its
// progress line under one lock, so the lines come out in order without any
// thread waiting on another's work. `makeState` gives each thread its
// scratch; `rows(state, i)` computes group i's rows; `done(state, i)` runs
// under the lock afterwards. Alone, `mine` is every group. Spread, a line
// is printed as its group is taken while every group before it has been
// printed (process 0's first block), and the rest once all processes are
// done, so the text is the same.
template <typename MakeState, typename Rows, typename Done, typename Finished>
void projectInOrder(const std::vector<int>& mine, int n, int pass, const Progress& progress, const Cluster& cluster,
                    MakeState makeState, Rows rows, Done done, Finished finishedOnMain) {
    size_t next = 0;
    int finished = 0, printed = 0;
    std::mutex taking;
    StageCount count{cluster, progress, {ProgressStage::Projection, pass, -1, 0, n}};
#pragma omp parallel
    {
        auto state = makeState();
        for (;;) {
            int i;
            size_t position;
            {
                std::lock_guard<std::mutex> lock(taking);
                if (next >= mine.size()) break;
                position = next;
                i = mine[next++];
                if (i == printed) progress.say("Projecting patches onto group %d of %d\n", printed++, n);
            }
            rows(state, i);
            long long readyNow = -1;
            {
                std::lock_guard<std::mutex> lock(taking);
                readyNow = done(state, i, position);
                ++finished;
                if (!cluster.spread() || onMainThread()) count.mine(finished);
            }
            if (cluster.spread() && onMainThread()) finishedOnMain(readyNow);
        }
    }
    if (!cluster.spread()) return;
    count.finish(finished);
    while (printed < n) progress.say("Projecting patches onto group %d of %d\n", printed++, n);
}

// Adds one group's (or one process's) ray counts to `into`. The first
// leak is the lowest group's, whichever thread or process met it.
void addRowStats(RayRowStats& into, const RayRowStats& one) {
    if (one.leaks > 0 && (into.firstLeakGroup < 0 || one.firstLeakGroup < into.firstLeakGroup)) {
        into.firstLeakGroup = one.firstLeakGroup;
        into.firstLeakPatch = one.firstLeakPatch;
    }
    into.rays += one.rays;
    into.leaks += one.leaks;
    into.reused += one.reused;
    into.hemisphere += one.hemisphere;
}

// A group's rows into `out`, leaving the group without them: the process
// that sent them does not sweep.
void packRows(PatchGroup& group, ByteWriter& out) {
    out.put(group.formFactorGroupCount);
    for (FormFactorRow& row : group.formFactors) {
        out.put(row.length);
        out.putVector(row.entries);
        row.release();
    }
    group.hasFormFactors = false;
}

void unpackRows(PatchGroup& group, ByteReader& in) {
    group.formFactorGroupCount = in.get<int>();
    for (FormFactorRow& row : group.formFactors) {
        row.length = in.get<int>();
        row.entries = in.getVector<FormFactorEntry>();
    }
    group.hasFormFactors = true;
}

}  // namespace

WorkShares Radiosity::groupShares() const {
    // A group's rows cost one view (or one set of rays) per element with an
    // area, and a little for the group itself.
    std::vector<double> cost(static_cast<size_t>(groups.count()));
    for (int g = 0; g < groups.count(); ++g) {
        double c = 0.05;
        for (bool degenerate : groups[g]->elementDegenerate) c += degenerate ? 0.0 : 1.0;
        cost[static_cast<size_t>(g)] = c;
    }
    return shareByCost(cost, cluster.size);
}

void Radiosity::projectAll() {
    const int n = groups.count();
    const WorkShares shares = groupShares();
    const std::vector<int> mine = shares.itemsOf(cluster.rank);
    const auto pack = [&](int g, ByteWriter& out) { packRows(*groups[g], out); };
    if (settings.formFactorRays <= 0) {
        auto stream = shareStream<int>(cluster, shares, mine, pack,
                                       [&](int g, ByteReader& in) { unpackRows(*groups[g], in); });
        projectInOrder(
            mine, n, pass, progress, cluster,
            [&] {
                FormFactorWorkspace workspace(hemicube);
                workspace.reserveRow(n);
                return workspace;
            },
            [&](FormFactorWorkspace& workspace, int i) { groups[i]->computeFormFactors(groups, workspace); },
            [&](FormFactorWorkspace&, int, size_t position) { return stream.markDone(position); },
            [&](long long ready) { stream.pump(ready); });
        stream.finish(0, [](int, int) {});
        if (cluster.spread()) clusterBytes.push_back(stream.bytes);
        return;
    }
    if (!rayEngine) rayEngine = std::make_unique<RayEngine>(model.patches);
    const RayFormFactors rows(*rayEngine, model, groups, settings.formFactorRays);
    auto stream = shareStream<RayRowStats>(cluster, shares, mine, pack, [&](int g, ByteReader& in) {
        unpackRows(*groups[g], in);
        // Another process keeps this group's rays; should the group come
        // back to this one, its rays are cast afresh (the rows are the same
        // bits either way).
        for (std::vector<StoredRayHit>& hits : groups[g]->rayHits) std::vector<StoredRayHit>().swap(hits);
    });
    RayRowStats ownStats;
    projectInOrder(
        mine, n, pass, progress, cluster, [] { return RayRowStats(); },
        [&](RayRowStats& one, int i) {
            one = RayRowStats();
            rows.computeRows(*groups[i], one);
        },
        [&](RayRowStats& one, int i, size_t position) {
            one.firstLeakGroup = i;
            addRowStats(ownStats, one);
            return stream.markDone(position);
        },
        [&](long long ready) { stream.pump(ready); });
    rayRowStats = RayRowStats();
    stream.finish(ownStats, [&](int, const RayRowStats& one) { addRowStats(rayRowStats, one); });
    if (cluster.spread()) clusterBytes.push_back(stream.bytes);
    rayRowsCast += rayRowStats.rays;
    rayRowsReused += rayRowStats.reused;
    if (pass > 0) restartHemisphereRays += 4LL * n * settings.formFactorRays;
}

void Radiosity::shareSolvedValues() {
    const int n = groups.count();
    ByteWriter values;
    if (cluster.first()) {
        values.bytes.reserve(sizeof(Color) * 4 * static_cast<size_t>(n));
        for (int g = 0; g < n; ++g) values.putRaw(groups[g]->radiosity, sizeof groups[g]->radiosity);
    }
    cluster.broadcast(cluster.user, 0, values.bytes);
    if (values.bytes.size() != sizeof(Color) * 4 * static_cast<size_t>(n))
        throw GlowbakeError("a message between processes holds the wrong number of groups");
    if (cluster.first()) return;
    ByteReader in(values.bytes);
    for (int g = 0; g < n; ++g) in.getRaw(groups[g]->radiosity, sizeof groups[g]->radiosity);
}

void Radiosity::lightElementsFromOutside() {
    if (!rayEngine) rayEngine = std::make_unique<RayEngine>(model.patches);
    const double offset = rayOffset(model.patches);
    const LampLight lamps(model.lamps, *rayEngine, offset);
    const int n = groups.count();
    outsideLight.assign(4 * static_cast<size_t>(n), Color(0.0f, 0.0f, 0.0f, 1.0f));
    const WorkShares shares = groupShares();
    const std::vector<int> mine = shares.itemsOf(cluster.rank);
#pragma omp parallel for schedule(dynamic, 64)
    for (size_t m = 0; m < mine.size(); ++m) {
        const int g = mine[m];
        const PatchGroup& group = *groups[g];
        const Vec3 normal = model.patches[group.parentPatchId].normal();
        const double nv[3] = {normal.x, normal.y, normal.z};
        for (int k = 0; k < 4; ++k) {
            if (group.elementDegenerate[k]) continue;
            const Vec3 c = group.elements[k].centroid();
            const double x[3] = {c.x, c.y, c.z};
            double sum[3] = {0, 0, 0};
            lamps.add(x, nv, sum);
            if (settings.hasSky()) addSkyLight(*rayEngine, settings.sky, x, nv, offset, elementKey(group, k), kSkyRays, sum);
            Color& out = outsideLight[4 * static_cast<size_t>(g) + k];
            for (int ch = 0; ch < 3; ++ch) out[ch] = static_cast<float>(sum[ch]);
        }
    }
    const auto slot = [&](int g) { return &outsideLight[4 * static_cast<size_t>(g)]; };
    auto stream = shareStream<int>(
        cluster, shares, mine, [&](int g, ByteWriter& out) { out.putRaw(slot(g), 4 * sizeof(Color)); },
        [&](int g, ByteReader& in) { in.getRaw(slot(g), 4 * sizeof(Color)); });
    stream.finish(0, [](int, int) {});
    if (cluster.spread() && !clusterBytes.empty()) clusterBytes.back() += stream.bytes;
}

void Radiosity::solve() {
    int brightPatches = 0, firstBright = -1;
    for (int p = 0; p < numPatches; ++p) {
        const Color& rho = model.colors[p].reflectance;
        if (rho.r >= 1.0f || rho.g >= 1.0f || rho.b >= 1.0f) {
            if (firstBright < 0) firstBright = p;
            ++brightPatches;
        }
    }
    if (brightPatches > 0) {
        progress.warn("%d patches (the first is patch %d) reflect 1 or more of a colour channel; the "
                      "gathering may not converge and stops after %d sweeps",
                    brightPatches, firstBright, kMaxSweeps);
    }

    int restart = 0;
    for (;;) {
        pass = restart;
        progress.say("Subdivision restart %d\n", restart);
        const int n = groups.count();
        progress.say("%d groups\n\n", n);
        projectAll();
        if (!model.lamps.empty() || settings.hasSky()) lightElementsFromOutside();
        if (cluster.first()) {
            for (int ch = 0; ch < 3; ++ch) gatherChannel(ch);
        }
        if (cluster.spread()) shareSolvedValues();
        const bool split = subdivisionPass(restart);
        ++restart;
        if (!split) break;
        for (int i = 0; i < groups.count(); ++i) groups[i]->resetSolution();
    }

    linearRadiosity.clear();
    linearRadiosity.reserve(4 * static_cast<size_t>(groups.count()));
    for (int i = 0; i < groups.count(); ++i) {
        for (Color c : groups[i]->radiosity) {
            for (int ch = 0; ch < 3; ++ch)
                if (!std::isfinite(c[ch])) c[ch] = 0.0f;
            linearRadiosity.push_back(c);
        }
    }
    applyGamma();
    normalize();
}
