// scripts/demo.sh run end to end on a coarse setting: hemicube, solve,
// viewer settings and the viewer's snapshot, which must show the lit room with
// the red wall on the left and the green wall on the right.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sstream>

#include "SceneModelText.h"
#include "GltfValidator.h"
#include "PngImage.h"
#include "TestSupport.h"

using namespace scenetest;

namespace {

struct Picture : testsupport::PngImage {
    // Mean colour of the columns [x0, x1) and rows [y0, y1), given as fractions.
    Point mean(double x0, double x1, double y0, double y1) const {
        Point sum{0, 0, 0};
        long n = 0;
        for (int y = int(y0 * height); y < int(y1 * height); ++y)
            for (int x = int(x0 * width); x < int(x1 * width); ++x, ++n) {
                const unsigned char* p = pixel(x, y);
                sum = add(sum, Point{double(p[0]), double(p[1]), double(p[2])});
            }
        return n > 0 ? scale(sum, 1.0 / n) : sum;
    }
};

std::string buildDir() {
    // The solver is built at BUILD_DIR/solver/Glowbake.
    return std::filesystem::path(GLOWBAKE_BIN).parent_path().parent_path().string();
}

}  // namespace

TEST(Demo, CoarseRunSolvesWritesSettingsAndRendersTheRoom) {
    testsupport::ScratchDir dir;
    const std::string out = dir.file("demo-out");
    // No DISPLAY: the script must start its own X server.
    const std::string command = "unset DISPLAY; DEMO_HEMICUBE=32 DEMO_AREA=30 DEMO_SUBDIVIDE=1000 DEMO_TEXTURE=32 "
                                "DEMO_OUT=" + testsupport::shellQuote(out) + " bash " +
                                testsupport::shellQuote(std::string(GLOWBAKE_SOURCE_DIR) + "/scripts/demo.sh");
    const testsupport::RunResult demo = testsupport::run(dir.path.string(), "/bin/sh", {"-c", command + " " +
                                                         testsupport::shellQuote(buildDir())});
    ASSERT_EQ(demo.status, 0) << demo.out << demo.err;

    // The closing message says where things are and how to walk through.
    for (const std::string& expected : {out + "/cornell.out", out + "/cornell.png", std::string("GlowbakeViewer"),
                                        std::string("E / D"), std::string("Q "), out + "/cornell.glb",
                                        out + "/cornell-lightmap.exr", out + "/cornell-lightmap.png",
                                        std::string("File > Import > glTF 2.0")})
        EXPECT_NE(demo.out.find(expected), std::string::npos) << expected << " missing from:\n" << demo.out;

    // The glTF passes the Khronos validator without errors or warnings.
    std::string report;
    EXPECT_TRUE(testsupport::gltfValidatorClean({out + "/cornell.glb"}, report)) << report;

    // The viewer's settings name the scene file beside them; the mouse flag
    // is 0 (the picture's size and content show the rest was read).
    std::istringstream settings(testsupport::readFile(out + "/GlowbakeView.ini"));
    std::string label, sceneName;
    int width = 0, height = 0, mouse = -1;
    settings >> label >> width >> label >> height >> label >> sceneName >> label >> mouse;
    EXPECT_EQ(mouse, 0);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(out) / sceneName)) << sceneName;

    Picture picture;
    ASSERT_TRUE(testsupport::readPng(out + "/cornell.png", picture));
    EXPECT_EQ(picture.width, 800);
    EXPECT_EQ(picture.height, 600);
    const Point whole = picture.mean(0, 1, 0, 1);
    EXPECT_GT(whole[0] + whole[1] + whole[2], 3 * 20.0) << "the picture is (nearly) black";
    // The side walls, seen through the open side, fill the middle rows between
    // the open edge and the back wall: red on the left, green on the right.
    const Point left = picture.mean(0.15, 0.33, 0.35, 0.65);
    const Point right = picture.mean(0.67, 0.85, 0.35, 0.65);
    EXPECT_GT(left[0], 1.3 * left[1]) << "left wall " << left[0] << " " << left[1] << " " << left[2];
    EXPECT_GT(left[0], 1.3 * left[2]) << "left wall " << left[0] << " " << left[1] << " " << left[2];
    EXPECT_GT(right[1], 1.3 * right[0]) << "right wall " << right[0] << " " << right[1] << " " << right[2];
    EXPECT_GT(right[1], 1.3 * right[2]) << "right wall " << right[0] << " " << right[1] << " " << right[2];
    // The ceiling light, above the middle, is the brightest thing in view.
    const Point light = picture.mean(0.47, 0.53, 0.23, 0.26);
    EXPECT_GT(light[0], 230.0);
    EXPECT_GT(light[0], whole[0]);
}
