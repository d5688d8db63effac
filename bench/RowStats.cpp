// GlowbakeRowStats MODEL HEMICUBE WORLD_WIDTH MAX_AREA: loads a model as the
// solver does, projects every group once and reports how much form-factor
// storage the sparse rows take against dense rows of 4 bytes per entry.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "GlowbakeError.h"
#include "Radiosity.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: GlowbakeRowStats MODEL HEMICUBE WORLD_WIDTH MAX_AREA\n");
        return 1;
    }
    std::FILE* model = std::fopen(argv[1], "r");
    std::FILE* cube = std::fopen(argv[2], "rb");
    std::FILE* out = std::tmpfile();
    if (!model || !cube || !out) {
        std::fprintf(stderr, "GlowbakeRowStats: cannot open %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    // The solver's progress goes nowhere; only the summary is printed.
    std::fflush(stdout);
    const int savedStdout = dup(1);
    std::freopen("/dev/null", "w", stdout);
    long long rows = 0, entries = 0, bytes = 0;
    int groups = 0;
    try {
        Radiosity solver(model, cube, out, static_cast<float>(std::atof(argv[3])),
                         static_cast<float>(std::atof(argv[4])), 0.01f, 1e30f, 1.0f, 4, FileNames{argv[1], argv[2], "-"});
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
        std::fflush(stdout);
        dup2(savedStdout, 1);
        std::fprintf(stderr, "GlowbakeRowStats: %s\n", e.what());
        return 1;
    }
    std::fflush(stdout);
    dup2(savedStdout, 1);
    const double denseRowBytes = 16.0 * groups;
    std::printf("groups=%d rows=%lld nonzero_per_row=%.1f bytes_per_row=%.0f dense_bytes_per_row=%.0f "
                "sparse_total_mib=%.1f dense_total_mib=%.1f\n",
                groups, rows, static_cast<double>(entries) / rows, static_cast<double>(bytes) / rows, denseRowBytes,
                bytes / 1048576.0, denseRowBytes * rows / 1048576.0);
    return 0;
}
