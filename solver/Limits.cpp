#include "Limits.h"

#include <cmath>
#include <unistd.h>

long long physicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 8LL << 30;
    return static_cast<long long>(pages) * pageSize;
}

long long maxGroupCount() {
    return static_cast<long long>(
        std::floor(std::sqrt(static_cast<double>(physicalMemoryBytes()) / kFormFactorBytesPerGroupPair)));
}
