#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

#include "SceneFileBytes.h"
#include "TestSupport.h"

using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

std::vector<std::string> baseArgs(const std::string& model) {
    return {"-m", model, "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-w", "0.1", "-a", "100", "-i", "0.001", "-s", "10"};
}

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

// The golden odd_sizes scene (a point, a line, patches of very different
// areas) at texture sizes below the smallest texture of 4: the largest
// patch's corners crowd onto one to three texels, which cannot be
// triangulated and are painted one by one. The run succeeds and writes
// every texel of the largest patch at the size asked for.
TEST(SceneFile, UntriangulablePointSetsStillBake) {
    ScratchDir dir;
    std::filesystem::copy_file(std::string(GLOWBAKE_SOURCE_DIR) + "/tests/golden/odd_sizes.mdl", dir.file("odd.mdl"));
    for (int size : {1, 2, 3}) {
        const auto r = testsupport::runGlowbake(dir.path.string(), with(baseArgs("odd.mdl"), {"-t", std::to_string(size)}));
        ASSERT_EQ(r.status, 0) << size << r.out << r.err;
        const testsupport::SceneFile scene = testsupport::parseSceneFile(readFile(dir.file("Glowbake.out")));
        ASSERT_TRUE(scene.complete) << size;
        ASSERT_EQ(scene.patches.size(), 6u);
        EXPECT_EQ(scene.patches[0].width, size);
        EXPECT_EQ(scene.patches[0].height, size);
        for (size_t p = 1; p < scene.patches.size(); ++p) EXPECT_GE(scene.patches[p].width, 4);
        for (std::uint32_t texel : scene.patches[0].texels) EXPECT_NE(texel >> 24, 0u) << size;
    }
}

TEST(SceneFile, AppearsCompleteOrNotAtAll) {
    ScratchDir dir;
    writeFile(dir.file("scene.out"), "previous scene");
    writeFile(dir.file("short.mdl"), "2\n0 0 0 0 1 0 1 0 0 0.5 0.5 0.5 1 1 1\n0 0 1\n");
    const auto failed = testsupport::runGlowbake(dir.path.string(),
                                                 with(baseArgs("short.mdl"), {"-o", "scene.out"}));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(readFile(dir.file("scene.out")), "previous scene");
    // A texture size whose textures could not be held is refused up front,
    // however large the number.
    writeFile(dir.file("one.mdl"), "1\n0 0 0 0 1 0 1 0 0 0.5 0.5 0.5 1 1 1\n");
    for (const char* size : {"100000", "1073741824", "2000000000"}) {
        const auto huge = testsupport::runGlowbake(dir.path.string(),
                                                   with(baseArgs("one.mdl"), {"-o", "scene.out", "-t", size}));
        EXPECT_EQ(huge.status, 1) << size << "\n" << huge.err;
        EXPECT_NE(huge.out.find("\ntexture_size " + std::string(size) + " "), std::string::npos) << size << huge.out;
        EXPECT_EQ(readFile(dir.file("scene.out")), "previous scene") << size;
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        // The two models and the untouched scene: no temporary left behind.
        EXPECT_EQ(names, (std::vector<std::string>{"one.mdl", "scene.out", "short.mdl"})) << size;
    }
    const auto ok = testsupport::runGlowbake(dir.path.string(), with(baseArgs("one.mdl"), {"-o", "scene.out"}));
    ASSERT_EQ(ok.status, 0) << ok.out << ok.err;
    EXPECT_EQ(readFile(dir.file("scene.out")).size(), 4u + 68 + 4 * 64 * 64);
}

TEST(SceneFile, InterruptedRunLeavesNoTemporaryFile) {
    // A run stopped by a signal halfway keeps the old output and removes its
    // temporary file instead of leaving it beside the output.
    ScratchDir dir;
    writeFile(dir.file("scene.out"), "previous scene");
    const std::string model = std::string(GLOWBAKE_SOURCE_DIR) + "/scenes/cornell.mdl";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(dir.path.c_str()) != 0) _exit(127);
        std::freopen("/dev/null", "w", stdout);
        execl(GLOWBAKE_BIN, GLOWBAKE_BIN, "-m", model.c_str(), "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-w", "2", "-a", "0.5",
              "-i", "0.01", "-s", "100", "-o", "scene.out", static_cast<char*>(nullptr));
        _exit(127);
    }
    auto temporaries = [&]() {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path))
            if (entry.path().filename().string().rfind("scene.out.tmp", 0) == 0) ++n;
        return n;
    };
    // Wait until the run has made its temporary file (it exists from the
    // start of the run), then stop it.
    bool started = false;
    for (int i = 0; i < 500 && !started; ++i) {
        started = temporaries() > 0;
        if (!started) usleep(10000);
    }
    EXPECT_TRUE(started);
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(temporaries(), 0);
    EXPECT_EQ(readFile(dir.file("scene.out")), "previous scene");
}

// An output named through a symbolic link keeps the link and replaces the
// file it leads to, leaving no temporary beside either; a FIFO is written
// into and stays a FIFO; a link to /dev/null leaves the device as it is.
// Each gets the bytes a plain output gets.
TEST(SceneFile, OutputsKeepTheirKind) {
    namespace fs = std::filesystem;
    ScratchDir dir;
    writeFile(dir.file("one.mdl"), "1\n0 0 0 0 1 0 1 0 0 0.5 0.5 0.5 1 1 1\n");
    const auto solve = [&](const std::string& output) {
        const auto r = testsupport::runGlowbake(dir.path.string(), with(baseArgs("one.mdl"), {"-t", "8", "-o", output}));
        EXPECT_EQ(r.status, 0) << output << ": " << r.out << r.err;
    };
    solve("plain.out");
    const std::string plain = readFile(dir.file("plain.out"));
    ASSERT_GT(plain.size(), 4u);

    fs::create_directory(dir.path / "sub");
    writeFile(dir.file("sub/target.out"), "old");
    fs::create_symlink("sub/target.out", dir.path / "link.out");
    solve("link.out");
    EXPECT_TRUE(fs::is_symlink(dir.path / "link.out"));
    EXPECT_EQ(readFile(dir.file("sub/target.out")), plain);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path / "sub"), fs::directory_iterator()), 1);

    // The reader is open (without blocking) before the run, and the scene
    // fits in the pipe's buffer.
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
    const int reader = open(dir.file("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    solve("pipe");
    std::string piped;
    char buffer[4096];
    for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) piped.append(buffer, static_cast<size_t>(n));
    close(reader);
    EXPECT_EQ(piped, plain);
    EXPECT_TRUE(fs::is_fifo(dir.path / "pipe"));

    fs::create_symlink("/dev/null", dir.path / "null");
    solve("null");
    EXPECT_TRUE(fs::is_symlink(dir.path / "null"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(readFile("/dev/null"), "");
}
