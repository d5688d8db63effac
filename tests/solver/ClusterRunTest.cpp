// Glowbake started by mpirun: the same bytes as one process, for the
// hemicube, the ray rows over restarts, and the final gather with lamps, a
// sky and exports; a bad input stops every process with the one process's
// message; and a process killed part way leaves the old output as it was.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"

using namespace testsupport;

namespace {

const std::string kSource = GLOWBAKE_SOURCE_DIR;

// mpirun refuses to start as root unless told it may (CI runs as root).
void allowRoot() {
    setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
    setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
}

// `processes` copies of Glowbake under mpirun, each on `threads` threads
// (0: as many as it likes), stopped after two minutes should it hang.
RunResult runSpread(const std::string& cwd, int processes, int threads, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"120", GLOWBAKE_MPIRUN, "-np", std::to_string(processes), "--oversubscribe"};
    if (threads > 0) {
        all.insert(all.end(), {"-x", "OMP_NUM_THREADS=" + std::to_string(threads)});
    }
    all.push_back(GLOWBAKE_BIN);
    all.insert(all.end(), args.begin(), args.end());
    return run(cwd, "timeout", all);
}

}  // namespace

TEST(ClusterRun, EveryProcessCountGivesTheSameBytes) {
    allowRoot();
    const std::string cornell = kSource + "/scenes/cornell.mdl";
    const std::vector<std::string> cornellArgs = {"-m", cornell, "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-w", "1", "-a", "20",
                                                  "-i", "0.005", "-s", "0.1", "-g", "0.3", "-t", "16"};
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> outputs;  // beside out.out
        int status;
    };
    std::vector<Row> rows = {
        {"hemicube rows over five passes", cornellArgs, {}, 0},
        {"ray rows, restarts reusing stored hits", cornellArgs, {}, 0},
        {"final gather with lamps, a sky and exports",
         {"-m", kSource + "/scenes/lamps/split-room.glb", "--quality", "draft", "--sky", "0.2", "0.3", "0.5", "-t", "16",
          "--gltf", "lit.glb", "--lightmap", "lit.exr"},
         {"lit.glb", "lit.exr"},
         0},
        {"a model file that is not there", cornellArgs, {}, 1},
    };
    rows[1].args.insert(rows[1].args.end(), {"--form-factors", "rays:64"});
    rows[3].args[1] = "missing.mdl";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir alone;
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"-o", "out.out"});
        const RunResult one = runGlowbake(alone.path.string(), args);
        ASSERT_EQ(one.status, row.status) << one.err;
        std::vector<std::string> files = row.outputs;
        if (row.status == 0) files.push_back("out.out");
        for (const auto& [processes, threads] : {std::pair<int, int>{2, 1}, {3, 0}}) {
            SCOPED_TRACE(std::to_string(processes) + " processes");
            ScratchDir spread;
            const RunResult many = runSpread(spread.path.string(), processes, threads, args);
            ASSERT_EQ(many.status, row.status) << many.err;
            EXPECT_EQ(withoutElapsed(many.out), withoutElapsed(one.out));
            if (row.status != 0) {
                // Only process 0 speaks (mpirun adds its own lines after).
                EXPECT_EQ(many.err.substr(0, one.err.size()), one.err);
                EXPECT_EQ(many.err.find("Glowbake:", one.err.size()), std::string::npos) << many.err;
                continue;
            }
            EXPECT_NE(many.err.find("spread over " + std::to_string(processes) + " processes"), std::string::npos)
                << many.err;
            for (const std::string& file : files) {
                const std::string bytes = readFile(spread.file(file));
                EXPECT_FALSE(bytes.empty()) << file;
                EXPECT_TRUE(bytes == readFile(alone.file(file))) << file << " differs";
            }
        }
    }
}

TEST(ClusterRun, AKilledProcessLeavesTheOldOutput) {
    allowRoot();
    ScratchDir dir;
    writeFile(dir.file("out.out"), "old scene\n");
    // Each process's shell writes its own process id, then becomes Glowbake.
    std::string command = "cd " + shellQuote(dir.path.string()) + " && exec timeout 120 " + GLOWBAKE_MPIRUN +
                          " -np 3 --oversubscribe sh -c 'echo $$ > pid.$OMPI_COMM_WORLD_RANK; exec \"$0\" \"$@\"' " +
                          GLOWBAKE_BIN + " -m " + shellQuote(kSource + "/scenes/cornell.mdl") + " -h " +
                          GLOWBAKE_DEFAULT_HEMICUBE + " -w 1 -a 3 -i 0.005 -s 0.1 -g 0.3 -t 16 -o out.out" +
                          " >run.stdout 2>run.stderr </dev/null";
    const pid_t launcher = fork();
    ASSERT_GE(launcher, 0);
    if (launcher == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Once process 0 is projecting, kill process 1.
    bool killed = false;
    for (int i = 0; i < 600 && !killed; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string pid = readFile(dir.file("pid.1"));
        if (readFile(dir.file("run.stdout")).find("Projecting patches") == std::string::npos || pid.empty()) continue;
        killed = kill(static_cast<pid_t>(std::stol(pid)), SIGKILL) == 0;
    }
    int raw = 0;
    waitpid(launcher, &raw, 0);
    ASSERT_TRUE(killed) << readFile(dir.file("run.stderr"));
    EXPECT_FALSE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
    EXPECT_EQ(readFile(dir.file("out.out")), "old scene\n");
    // No temporary was left beside the output.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"out.out", "pid.0", "pid.1", "pid.2", "run.stdout", "run.stderr"}));
    const std::string err = readFile(dir.file("run.stderr"));
    EXPECT_NE(err.find("rank 1"), std::string::npos) << err;
    EXPECT_NE(err.find("Glowbake: error: stopped by a signal while computing form-factor rows"), std::string::npos)
        << err;
}
