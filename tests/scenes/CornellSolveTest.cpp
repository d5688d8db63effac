// The demo's solve of the Cornell room, on a coarse setting so that it takes
// a second: a fresh hemicube from the generator, then the solver, then the
// scene file read back and compared with the model.

#include <gtest/gtest.h>

#include <string>

#include "SceneModelText.h"
#include "TestSupport.h"

using namespace scenetest;

namespace {

bool redDominant(const Point& c) { return c[0] > 1.3 * c[1] && c[0] > 1.3 * c[2]; }
bool greenDominant(const Point& c) { return c[1] > 1.3 * c[0] && c[1] > 1.3 * c[2]; }

}  // namespace

TEST(CornellSolve, CoarseSolveWritesEveryPatchLitAndInItsColour) {
    testsupport::ScratchDir dir;
    const std::string model = std::string(GLOWBAKE_SOURCE_DIR) + "/scenes/cornell.mdl";
    const Model room = readModel(model);
    ASSERT_FALSE(room.triangles.empty());

    const testsupport::RunResult hemicube =
        testsupport::run(dir.path.string(), GLOWBAKE_HEMICUBE_TOOL, {"32", dir.file("hc32.hc")});
    ASSERT_EQ(hemicube.status, 0) << hemicube.err;

    const testsupport::RunResult solve = testsupport::runGlowbake(
        dir.path.string(), {"-m", model, "-h", dir.file("hc32.hc"), "-o", dir.file("cornell.out"), "-w", "1", "-a",
                            "30", "-i", "0.005", "-s", "1000", "-g", "0.3", "-t", "32"});
    ASSERT_EQ(solve.status, 0) << solve.out << solve.err;

    const std::string bytes = testsupport::readFile(dir.file("cornell.out"));
    const SceneFile scene = parseSceneFile(bytes);
    ASSERT_EQ(scene.count, static_cast<int>(room.triangles.size()));
    ASSERT_EQ(scene.patches.size(), room.triangles.size());
    EXPECT_TRUE(scene.complete) << "the records do not fill the file exactly";

    bool sawRed = false, sawGreen = false;
    int bledOn = 0;
    double lightMean = 0, otherMax = 0;
    for (size_t i = 0; i < room.triangles.size(); ++i) {
        SCOPED_TRACE("patch " + std::to_string(i));
        const Triangle& t = room.triangles[i];
        const ScenePatch& p = scene.patches[i];
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(p.corners[c][k], t.v[c][k]);
        EXPECT_EQ(p.width, p.height);
        for (int a = 0; a < 6; a += 2) {
            EXPECT_GE(p.anchors[a], 0);
            EXPECT_LT(p.anchors[a], p.width);
            EXPECT_GE(p.anchors[a + 1], 0);
            EXPECT_LT(p.anchors[a + 1], p.height);
        }
        // Every texel painted and lit: a black texel would show as a seam.
        size_t unpainted = 0, black = 0;
        for (uint32_t texel : p.texels) {
            if ((texel >> 24) == 0) ++unpainted;
            if ((texel & 0xFFFFFF) == 0) ++black;
        }
        EXPECT_EQ(unpainted, 0u);
        EXPECT_EQ(black, 0u);
        const Point mean = p.meanColour();
        const double brightest = std::max({mean[0], mean[1], mean[2]});
        if (t.emits()) {
            lightMean = std::max(lightMean, brightest);
        } else {
            otherMax = std::max(otherMax, brightest);
        }
        // Coloured walls keep their colour. Grey surfaces turned towards one of
        // them (the blocks' sides) take on its colour: the red wall stands at
        // the room's high x, the green one at its low x. The light is warm, so
        // red needs a margin to count as bleeding; green wins against it.
        const Point n = scale(t.normal(), 1.0 / length(t.normal()));
        const bool grey = t.reflectance[0] == t.reflectance[1] && t.reflectance[1] == t.reflectance[2];
        if (redDominant(t.reflectance)) {
            sawRed = true;
            EXPECT_TRUE(redDominant(mean)) << mean[0] << " " << mean[1] << " " << mean[2];
        } else if (greenDominant(t.reflectance)) {
            sawGreen = true;
            EXPECT_TRUE(greenDominant(mean)) << mean[0] << " " << mean[1] << " " << mean[2];
        } else if (grey && !t.emits() && n[0] > 0.9) {
            ++bledOn;
            EXPECT_GT(mean[0], 1.1 * mean[1]) << "no red bleeding: " << mean[0] << " " << mean[1] << " " << mean[2];
        } else if (grey && !t.emits() && n[0] < -0.9) {
            ++bledOn;
            EXPECT_GT(mean[1], mean[0]) << "no green bleeding: " << mean[0] << " " << mean[1] << " " << mean[2];
        }
    }
    EXPECT_TRUE(sawRed && sawGreen) << "the room has a red and a green wall";
    EXPECT_GT(bledOn, 0) << "no grey surface faces a coloured wall";
    // The light is normalised to full brightness and outshines every surface.
    EXPECT_GT(lightMean, 240.0);
    EXPECT_LT(otherMax, lightMean);
    EXPECT_GT(otherMax, 20.0) << "the room is not lit";
}
