// GlowbakePhaseTimer -- COMMAND ARGS...: runs a Glowbake solve with its
// standard output line-buffered and splits the wall time into phases by the
// progress lines it prints:
//   projection  first "Projecting patches onto group" .. first "Color "
//               line of the same pass (summed over all passes)
//   gathering   first "Color " line .. the next pass or "Outputing to disk"
//   baking      "Outputing to disk" .. "Done"
// It prints one line: groups, seconds of each phase, total seconds and peak
// resident memory, in key=value form for scripts.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    if (first < argc && std::strcmp(argv[first], "--") == 0) ++first;
    if (first >= argc) {
        std::fprintf(stderr, "usage: GlowbakePhaseTimer -- COMMAND ARGS...\n");
        return 1;
    }
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        // glibc's stdio honours this for a line-buffered standard output.
        std::vector<char*> args;
        args.push_back(const_cast<char*>("stdbuf"));
        args.push_back(const_cast<char*>("-oL"));
        for (int i = first; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("stdbuf", args.data());
        _exit(127);
    }
    close(fds[1]);
    std::FILE* in = fdopen(fds[0], "r");
    double projection = 0, gathering = 0, baking = 0;
    double phaseStart = 0;
    enum { None, Projecting, Gathering, Baking } phase = None;
    long long groups = 0;
    int passes = 0;
    char buf[4096];
    std::string line;
    int used = 0;
    auto endPhase = [&](double t) {
        if (phase == Projecting) projection += t - phaseStart;
        if (phase == Gathering) gathering += t - phaseStart;
        if (phase == Baking) baking += t - phaseStart;
    };
    while (std::fgets(buf, sizeof buf, in)) {
        line = buf;
        const double t = now();
        if (startsWith(line, "Projecting patches onto group") && phase != Projecting) {
            endPhase(t);
            phase = Projecting;
            phaseStart = t;
        } else if (startsWith(line, "Color ") && phase != Gathering) {
            endPhase(t);
            phase = Gathering;
            phaseStart = t;
        } else if (startsWith(line, "Subdivision restart")) {
            endPhase(t);
            phase = None;
            ++passes;
        } else if (long long g = 0; std::sscanf(buf, "%lld groups%n", &g, &used) == 1 && used > 0) {
            groups = g;
            used = 0;
        } else if (startsWith(line, "Outputing to disk")) {
            endPhase(t);
            phase = Baking;
            phaseStart = t;
        } else if (line == "Done\n") {
            endPhase(t);
            phase = None;
        }
    }
    endPhase(now());
    int status = 0;
    struct rusage usage;
    wait4(pid, &status, 0, &usage);
    const double total = now() - start;
    std::printf("groups=%lld passes=%d projection=%.3f gathering=%.3f baking=%.3f total=%.3f peak_mib=%.1f status=%d\n",
                groups, passes, projection, gathering, baking, total, usage.ru_maxrss / 1024.0,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
