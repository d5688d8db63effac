#include "Limits.h"

#include <cmath>
#include <omp.h>
#include <unistd.h>

#include "Color.h"
#include "PatchGroup.h"

long long physicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 8LL << 30;
    return static_cast<long long>(pages) * pageSize;
}

long long groupBytes(int threads) {
    const long long allocationHeader = 16;
    const long long record = static_cast<long long>(sizeof(PatchGroup)) + allocationHeader;
    const long long arraySlots = 3 * static_cast<long long>(sizeof(std::unique_ptr<PatchGroup>));
    const long long gathering = 4 * 4 * 2 + 4;  // B and E of four elements, one reflectance
    const long long radiosities = 2 * 4 * static_cast<long long>(sizeof(Color));
    const long long baking = 4 * kBakeBytesPerElement;
    const long long perThread = 4 * static_cast<long long>(sizeof(float)) + 1;  // dense row, touched bits
    return record + arraySlots + gathering + radiosities + baking + threads * perThread;
}

namespace {

// The largest group count whose rows, of at most `rowEntries` entries each
// beyond the one-per-element bound, and groups fit in the budget.
long long maxGroupCountForRowEntries(double pixels) {
    const double budget = 0.75 * static_cast<double>(physicalMemoryBytes());
    const double rowBytesPerGroup = 4.0 * kFormFactorEntryBytes;
    // One projecting thread per processor: the limit is the same however
    // many threads a run is given, so that its output is too.
    const double own = static_cast<double>(groupBytes(omp_get_num_procs()));
    // While 4G <= 3N^2 a row can hold an entry for every element:
    // 128 G^2 + own G <= budget.
    const double quadratic = rowBytesPerGroup * 4.0;
    const double small = std::floor((std::sqrt(own * own + 4.0 * quadratic * budget) - own) / (2.0 * quadratic));
    if (4.0 * small <= pixels) return static_cast<long long>(small);
    // Beyond that a row holds at most one entry per pixel: (96 N^2 + own) G.
    return static_cast<long long>(std::floor(budget / (rowBytesPerGroup * pixels + own)));
}

}  // namespace

long long maxGroupCount(int hemicubeResolution) {
    return maxGroupCountForRowEntries(3.0 * hemicubeResolution * hemicubeResolution);
}

long long maxGroupCountForRays(int rays) {
    // Besides its entries (at most one a ray, and 256 for emitters), each
    // element keeps its rays' hits for restarts: 12 bytes a ray, as much as
    // 1.5 entries; the locator's tree adds a few bytes a group.
    return maxGroupCountForRowEntries(2.5 * static_cast<double>(rays) + 256.0 + 4.0);
}

long long neighborListBudget() { return physicalMemoryBytes() / 8; }
