#pragma once

// Shared pieces of the core tests: the usage text, the banner, a small model
// and the argument lists of short runs of the real Glowbake.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace core {

using testsupport::RunResult;
using testsupport::ScratchDir;

// The fifteen pieces of the usage text.
inline const std::string kUsage =
    "usage:\n"
    "Glowbake\n"
    "\t[-?]\n\t"
    "-m model_file  -h hemicube_file\n\t"
    "[-o output_file]  -w hemicube_world_wide\n\t"
    "-a max_patch_area\n\t"
    "-i iteration_threshold\n\t"
    "-s subdivide_threshold\n\t"
    "[-g gamma]  [-t texture_size]\n\n"
    "examples:\n\t"
    "Glowbake -m test.mdl -h myHemicube.hc -w 2.3 -a 50.0 -i 0.01 -s 0.05 -t 64 \n\n\t"
    "Glowbake -m test.mdl -h myHemicube.hc -w 2.3 -a 50.0 -i 0.01 -s 0.05 -g 0.25 \n\n\t"
    "Glowbake -m test.mdl -o test.out -h myHemicube.hc -w 2.3 -a 50.0 -i 0.01 -s 0.05 \n\n\t"
    "Glowbake\n\n\t"
    "(if no parameters specified, parameters are read from Glowbake.ini file)\n\n";

inline const std::string kTokenFileLine = "No input arguments specified, trying read them from file:  Glowbake.ini\n\n";

// Two patches facing each other; patch 0 emits.
inline const std::string kTwoPatchModel =
    "2\n"
    "0 0 0  0 1 0  1 0 0  0.5 0.5 0.5  1 1 1\n"
    "0 0 1  1 0 1  0 1 1  0.5 0.5 0.5  0 0 0\n";

// Strips the two banner lines ("Glowbake 1.0" and a one-line description)
// from standard output, failing the test when they are not there.
inline std::string afterBanner(const std::string& out) {
    const std::string first = "Glowbake 1.0\n";
    EXPECT_EQ(out.compare(0, first.size(), first), 0) << out;
    const size_t end = out.find('\n', first.size());
    EXPECT_NE(end, std::string::npos) << out;
    if (out.compare(0, first.size(), first) != 0 || end == std::string::npos) return out;
    EXPECT_GT(end, first.size()) << "the description line is empty";
    return out.substr(end + 1);
}

inline bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A fast complete run: the default 64 x 64 hemicube, no subdivision beyond
// the input patches, tiny textures.
inline std::vector<std::string> fastArgs(const std::string& model = "model.mdl", const std::string& output = "out.bin") {
    std::vector<std::string> args = {"-m", model, "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-w", "2", "-a", "100",
                                     "-i", "0.01", "-s", "10", "-t", "8"};
    if (!output.empty()) {
        args.push_back("-o");
        args.push_back(output);
    }
    return args;
}

// The names in a folder, sorted.
inline std::vector<std::string> listDir(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace core
