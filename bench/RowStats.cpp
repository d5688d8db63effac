// GlowbakeRowStats MODEL HEMICUBE WORLD_WIDTH MAX_AREA: loads a model as the
// solver does, projects every group once and reports how much form-factor
// storage the sparse rows take against dense rows of 4 bytes per entry.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "BenchSolver.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: GlowbakeRowStats MODEL HEMICUBE WORLD_WIDTH MAX_AREA\n");
        return 1;
    }
    long long rows = 0, entries = 0, bytes = 0;
    int groups = 0;
    try {
        Radiosity solver = benchSolver(argv[1], argv[2], argv[3], argv[4]);
        solver.projectAll();
        groups = solver.groups.count();
        for (int g = 0; g < groups; ++g) {
            for (const FormFactorRow& row : solver.groups[g]->formFactors) {
                ++rows;
                entries += static_cast<long long>(row.entries.size());
                bytes += static_cast<long long>(row.bytes());
            }
        }
    } catch (const GlowbakeError& e) {
        std::fprintf(stderr, "GlowbakeRowStats: %s\n", e.what());
        return 1;
    }
    const double denseRowBytes = 16.0 * groups;
    std::printf("groups=%d rows=%lld nonzero_per_row=%.1f bytes_per_row=%.0f dense_bytes_per_row=%.0f "
                "sparse_total_mib=%.1f dense_total_mib=%.1f\n",
                groups, rows, static_cast<double>(entries) / rows, static_cast<double>(bytes) / rows, denseRowBytes,
                bytes / 1048576.0, denseRowBytes * rows / 1048576.0);
    return 0;
}
