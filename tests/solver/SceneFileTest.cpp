#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

#include "SolverTestUtil.h"
#include "TestSupport.h"

using namespace solvertest;
using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

struct Record {
    float corners[9];
    int wide, high;
    int anchors[6];
    size_t texelOffset;
};

// Walks the file by the layout: count, then per record 9 floats, W, H, six
// anchors and W * H texels. Fails when the sizes do not add up exactly.
std::vector<Record> parse(const std::string& bytes) {
    std::vector<Record> out;
    EXPECT_GE(bytes.size(), 4u);
    if (bytes.size() < 4) return out;
    const int count = intAt(bytes, 0);
    size_t at = 4;
    for (int p = 0; p < count; ++p) {
        Record r;
        EXPECT_LE(at + 68, bytes.size());
        if (at + 68 > bytes.size()) return out;
        for (int i = 0; i < 9; ++i) r.corners[i] = floatAt(bytes, at + 4 * i);
        r.wide = intAt(bytes, at + 36);
        r.high = intAt(bytes, at + 40);
        for (int i = 0; i < 6; ++i) r.anchors[i] = intAt(bytes, at + 44 + 4 * i);
        r.texelOffset = at + 68;
        at += 68 + 4 * static_cast<size_t>(r.wide) * r.high;
        out.push_back(r);
    }
    EXPECT_EQ(at, bytes.size());
    return out;
}

std::vector<std::string> baseArgs(const std::string& model) {
    return {"-m", model, "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-w", "0.1", "-a", "100", "-i", "0.001", "-s", "10"};
}

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

const Color kBlack(0, 0, 0, 1);
const Color kWhite(1, 1, 1, 1);

// Patches of area 4 (the largest, front +Z), 1, 0.04 and 0.0004 facing it.
std::vector<ModelPatch> areaModel() {
    return {
        {tri(0, 0, 0, 0, 2, 0, 4, 0, 0), kBlack, kWhite},
        {tri(0, 0, 3, 2, 0, 3, 0, 1, 3), Color(0.5f, 0.5f, 0.5f, 1), kBlack},
        {tri(1, 1, 3, 1.4f, 1, 3, 1, 1.2f, 3), Color(0.6f, 0.5f, 0.5f, 1), kBlack},
        {tri(0.5f, 0.5f, 3, 0.54f, 0.5f, 3, 0.5f, 0.52f, 3), Color(0.7f, 0.5f, 0.5f, 1), kBlack},
    };
}

}  // namespace

TEST(SceneFile, RecordsFollowTheLayout) {
    ScratchDir dir;
    const std::vector<ModelPatch> model = areaModel();
    writeFile(dir.file("areas.mdl"), modelText(model));
    const auto r = testsupport::runGlowbake(dir.path.string(), baseArgs("areas.mdl"));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string bytes = readFile(dir.file("Glowbake.out"));
    // 4 + sum(68 + 4 W H) with textures 64, 64, 8 and 4 texels square.
    EXPECT_EQ(bytes.size(), 4u + 4 * 68 + 4 * (64 * 64 + 64 * 64 + 8 * 8 + 4 * 4));
    EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\4", 4));
    const std::vector<Record> records = parse(bytes);
    ASSERT_EQ(records.size(), 4u);
    const int sides[] = {64, 64, 8, 4};
    for (int p = 0; p < 4; ++p) {
        const Record& rec = records[p];
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(rec.corners[3 * c], model[p].t.vertices[c].x);
            EXPECT_EQ(rec.corners[3 * c + 1], model[p].t.vertices[c].y);
            EXPECT_EQ(rec.corners[3 * c + 2], model[p].t.vertices[c].z);
            EXPECT_GE(rec.anchors[2 * c], 0);
            EXPECT_LT(rec.anchors[2 * c], rec.wide);
            EXPECT_GE(rec.anchors[2 * c + 1], 0);
            EXPECT_LT(rec.anchors[2 * c + 1], rec.high);
        }
        EXPECT_EQ(rec.wide, sides[p]);
        EXPECT_EQ(rec.high, sides[p]);
        // Every texel is painted: its first byte, alpha, is (nearly) 255.
        for (int i = 0; i < rec.wide * rec.high; ++i)
            ASSERT_GE(static_cast<unsigned char>(bytes[rec.texelOffset + 4 * i]), 250) << p << " " << i;
    }
    // The largest patch lies in z = 0 facing +Z, its box spans x 0..4 and
    // y 0..2: corners at the minimum map to trunc(0.1 W) = 6, those at the
    // maximum to trunc(0.9 W) = trunc(57.6) = 57.
    const int expectedAnchors[6] = {6, 6, 6, 57, 57, 6};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(records[0].anchors[i], expectedAnchors[i]) << i;
}

TEST(SceneFile, TexelsAreAlphaRedGreenBlue) {
    ScratchDir dir;
    writeFile(dir.file("one.mdl"), modelText({{tri(0, 0, 0, 0, 1, 0, 1, 0, 0), kBlack, Color(1.0f, 0.0f, 0.5f, 1)}}));
    const auto r = testsupport::runGlowbake(dir.path.string(), with(baseArgs("one.mdl"), {"-o", "one.out", "-t", "16"}));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string bytes = readFile(dir.file("one.out"));
    ASSERT_EQ(bytes.size(), 4u + 68 + 4 * 16 * 16);
    const std::vector<Record> records = parse(bytes);
    ASSERT_EQ(records.size(), 1u);
    // Colour (1, 0, 0.5) packs to alpha 255, red 255, green 0, blue 127; the
    // fills and the filter may take a unit or two off.
    for (int i = 0; i < 16 * 16; ++i) {
        const size_t at = records[0].texelOffset + 4 * i;
        const auto byte = [&](int k) { return static_cast<int>(static_cast<unsigned char>(bytes[at + k])); };
        EXPECT_GE(byte(0), 253) << i;
        EXPECT_GE(byte(1), 253) << i;
        EXPECT_EQ(byte(2), 0) << i;
        EXPECT_GE(byte(3), 125) << i;
        EXPECT_LE(byte(3), 127) << i;
    }
}

TEST(SceneFile, UnlitSceneIsBlackAndOpaque) {
    ScratchDir dir;
    writeFile(dir.file("dark.mdl"), modelText({{tri(0, 0, 0, 0, 1, 0, 1, 0, 0), Color(0.5f, 0.5f, 0.5f, 1), kBlack},
                                               {tri(0, 0, 1, 1, 0, 1, 0, 1, 1), Color(0.5f, 0.5f, 0.5f, 1), kBlack}}));
    const auto r = testsupport::runGlowbake(dir.path.string(), with(baseArgs("dark.mdl"), {"-t", "8"}));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\nwarning: "), std::string::npos) << r.out;
    const std::string bytes = readFile(dir.file("Glowbake.out"));
    const std::vector<Record> records = parse(bytes);
    ASSERT_EQ(records.size(), 2u);
    for (const Record& rec : records) {
        for (int i = 0; i < rec.wide * rec.high; ++i) {
            // Black; alpha 255 or a unit or two less where the fills mixed.
            const std::uint32_t texel = wordAt(bytes, rec.texelOffset + 4 * i);
            EXPECT_EQ(texel & 0xFFFFFFu, 0u);
            EXPECT_GE(texel >> 24, 250u);
        }
    }
}

// Points that cannot be triangulated (all on one texel, a single position,
// a line) are painted one by one: the run succeeds and writes every texel.
TEST(SceneFile, UntriangulablePointSetsStillBake) {
    ScratchDir dir;
    std::vector<ModelPatch> model = areaModel();
    model.push_back({tri(5, 5, 5, 5, 5, 5, 5, 5, 5), Color(0.2f, 0.2f, 0.2f, 1), kBlack});     // a point
    model.push_back({tri(6, 0, 1, 7, 0, 1, 8, 0, 1), Color(0.3f, 0.2f, 0.2f, 1), kBlack});     // a line
    writeFile(dir.file("odd.mdl"), modelText(model));
    for (int size : {1, 2, 3}) {
        const auto r = testsupport::runGlowbake(dir.path.string(),
                                                with(baseArgs("odd.mdl"), {"-t", std::to_string(size)}));
        ASSERT_EQ(r.status, 0) << size << r.out << r.err;
        const std::string bytes = readFile(dir.file("Glowbake.out"));
        const std::vector<Record> records = parse(bytes);
        ASSERT_EQ(records.size(), 6u);
        EXPECT_EQ(records[0].wide, size);
        EXPECT_EQ(records[0].high, size);
        for (size_t p = 1; p < records.size(); ++p) EXPECT_GE(records[p].wide, 4);
        // The largest patch's few texels are painted.
        for (int i = 0; i < size * size; ++i)
            EXPECT_NE(bytes[records[0].texelOffset + 4 * i], 0) << size << " " << i;
        EXPECT_NE(r.out.find("Done writing texture data.\n"), std::string::npos);
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
