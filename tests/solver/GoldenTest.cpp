#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(GLOWBAKE_SOURCE_DIR) / "tests" / "golden";

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

std::vector<std::string> goldenScenes() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kGoldenDir))
        if (e.path().extension() == ".cmd") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// Every golden scene, rerun with the commands of its NAME.cmd in a fresh
// folder, reproduces its scene file and its progress text byte for byte.
TEST(Golden, ScenesAreReproducedByteForByte) {
    const std::vector<std::string> scenes = goldenScenes();
    ASSERT_GE(scenes.size(), 3u);
    for (const std::string& name : scenes) {
        SCOPED_TRACE(name);
        testsupport::ScratchDir dir;
        fs::copy_file(kGoldenDir / (name + ".mdl"), dir.path / (name + ".mdl"));
        std::istringstream commands(testsupport::readFile((kGoldenDir / (name + ".cmd")).string()));
        int solverRuns = 0;
        for (std::string line; std::getline(commands, line);) {
            std::vector<std::string> args = words(line);
            if (args.empty()) continue;
            const std::string program = args.front();
            args.erase(args.begin());
            if (program == "GlowbakeHemicube") {
                const auto r = testsupport::run(dir.path.string(), GLOWBAKE_HEMICUBE_TOOL, args);
                ASSERT_EQ(r.status, 0) << r.err;
            } else {
                ASSERT_EQ(program, "Glowbake");
                const auto r = testsupport::runGlowbake(dir.path.string(), args);
                ASSERT_EQ(r.status, 0) << r.out << r.err;
                EXPECT_EQ(r.err, "");
                EXPECT_EQ(testsupport::withoutElapsed(r.out),
                          testsupport::readFile((kGoldenDir / (name + ".stdout")).string()));
                ++solverRuns;
            }
        }
        ASSERT_EQ(solverRuns, 1);
        const std::string expected = testsupport::readFile((kGoldenDir / (name + ".out")).string());
        const std::string actual = testsupport::readFile(dir.file(name + ".out"));
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(actual.size(), expected.size());
        if (actual != expected) {
            size_t at = 0;
            while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
            ADD_FAILURE() << name << ".out differs from byte " << at << " on";
        }
    }
}
