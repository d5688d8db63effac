// GlowbakeRowStats MODEL HEMICUBE WORLD_WIDTH MAX_AREA: loads a model as the
// solver does, projects every group once and reports how much form-factor
// storage the sparse rows take against dense rows of 4 bytes per entry.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "GlowbakeError.h"
#include "HemicubeFile.h"
#include "ModelFile.h"
#include "Radiosity.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: GlowbakeRowStats MODEL HEMICUBE WORLD_WIDTH MAX_AREA\n");
        return 1;
    }
    std::unique_ptr<std::FILE, FileCloser> model(std::fopen(argv[1], "r")), cube(std::fopen(argv[2], "rb"));
    if (!model || !cube) {
        std::fprintf(stderr, "GlowbakeRowStats: cannot open %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    long long rows = 0, entries = 0, bytes = 0;
    int groups = 0;
    try {
        // The solver's progress goes nowhere; only the summary is printed.
        const Progress silent;
        SolverSettings settings;
        settings.hemicubeWorldWide = static_cast<float>(std::atof(argv[3]));
        settings.maxPatchArea = static_cast<float>(std::atof(argv[4]));
        Radiosity solver(readModel(model.get(), argv[1], silent), readHemicubeFile(cube.get(), argv[2]), settings,
                         silent);
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
