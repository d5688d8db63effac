// GlowbakeProjectionBench MODEL HEMICUBE WORLD_WIDTH MAX_AREA PLAIN THREADS...
// loads a model as the solver does (initial subdivision to MAX_AREA) and
// times one projection of every group: by the solver's path once for each
// thread count given, and, when PLAIN is 1, by the plain formulation on one
// thread. Every run's rows are compared bit for bit with the first one's.
// Prints one line in key=value form: groups, wall and processor seconds per
// run, the wall-time speed-up of each threaded run over the plain one,
// whether all rows were identical, and the form-factor bytes per row.
#include <omp.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchSolver.h"

namespace {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Processor seconds of the whole process, all threads: on a busy machine a
// steadier measure of the work than the wall time.
double processorSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Every group's rows, as (index, value bits) pairs in order.
std::vector<std::vector<FormFactorEntry>> takeRows(Radiosity& solver) {
    std::vector<std::vector<FormFactorEntry>> rows;
    for (int g = 0; g < solver.groups.count(); ++g)
        for (const FormFactorRow& row : solver.groups[g]->formFactors) rows.push_back(row.entries);
    return rows;
}

bool sameRows(const std::vector<std::vector<FormFactorEntry>>& a, const std::vector<std::vector<FormFactorEntry>>& b) {
    if (a.size() != b.size()) return false;
    for (size_t r = 0; r < a.size(); ++r) {
        if (a[r].size() != b[r].size()) return false;
        for (size_t i = 0; i < a[r].size(); ++i)
            if (a[r][i].index != b[r][i].index || std::memcmp(&a[r][i].value, &b[r][i].value, sizeof(float)) != 0)
                return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: GlowbakeProjectionBench MODEL HEMICUBE WORLD_WIDTH MAX_AREA PLAIN(0|1) THREADS...\n");
        return 1;
    }
    const bool plain = std::strcmp(argv[5], "1") == 0;
    std::string line;
    try {
        Radiosity solver = benchSolver(argv[1], argv[2], argv[3], argv[4]);
        const int groups = solver.groups.count();
        line = "groups=" + std::to_string(groups);
        std::vector<std::vector<FormFactorEntry>> first;
        bool identical = true;
        auto record = [&](const std::string& key, double seconds, double processor) {
            char buf[96];
            std::snprintf(buf, sizeof buf, " %s_s=%.3f %s_cpu=%.3f", key.c_str(), seconds, key.c_str(), processor);
            line += buf;
            auto rows = takeRows(solver);
            if (first.empty()) first = std::move(rows);
            else identical = identical && sameRows(first, rows);
        };
        double plainSeconds = 0.0;
        if (plain) {
            const double start = now(), cpu = processorSeconds();
            for (int g = 0; g < groups; ++g) solver.groups[g]->computeFormFactorsReference(solver.groups);
            plainSeconds = now() - start;
            record("plain", plainSeconds, processorSeconds() - cpu);
        }
        long long rowCount = 0, bytes = 0;
        for (int a = 6; a < argc; ++a) {
            const int threads = std::atoi(argv[a]);
            for (int g = 0; g < groups; ++g) solver.groups[g]->resetSolution();
            omp_set_num_threads(threads > 0 ? threads : 1);
            const double start = now(), cpu = processorSeconds();
            solver.projectAll();
            const double seconds = now() - start;
            record("fast" + std::to_string(threads), seconds, processorSeconds() - cpu);
            if (plain) {
                char buf[64];
                std::snprintf(buf, sizeof buf, " speedup%d=%.2f", threads, plainSeconds / seconds);
                line += buf;
            }
            rowCount = bytes = 0;
            for (int g = 0; g < groups; ++g)
                for (const FormFactorRow& row : solver.groups[g]->formFactors) {
                    ++rowCount;
                    bytes += static_cast<long long>(row.bytes());
                }
        }
        line += identical ? " identical=yes" : " identical=NO";
        if (rowCount > 0) line += " bytes_per_row=" + std::to_string(bytes / rowCount);
        std::printf("%s\n", line.c_str());
        return identical ? 0 : 2;
    } catch (const GlowbakeError& e) {
        std::fprintf(stderr, "GlowbakeProjectionBench: %s\n", e.what());
        return 1;
    }
}
