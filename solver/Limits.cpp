#include "Limits.h"

#include <cmath>
#include <unistd.h>

long long physicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 8LL << 30;
    return static_cast<long long>(pages) * pageSize;
}

long long maxGroupCount(int hemicubeResolution) {
    const double budget = 0.75 * static_cast<double>(physicalMemoryBytes());
    const double pixels = 3.0 * hemicubeResolution * hemicubeResolution;
    const double rowBytesPerGroup = 4.0 * kFormFactorEntryBytes;
    // While 4G <= 3N^2 a row can hold an entry for every element: 128 G^2.
    const double small = std::floor(std::sqrt(budget / (rowBytesPerGroup * 4.0)));
    if (4.0 * small <= pixels) return static_cast<long long>(small);
    // Beyond that a row holds at most one entry per pixel: 96 N^2 G.
    return static_cast<long long>(std::floor(budget / (rowBytesPerGroup * pixels)));
}
