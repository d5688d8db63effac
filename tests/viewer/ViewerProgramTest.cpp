// End-to-end tests: the real GlowbakeViewer in a scratch folder, drawing into
// a private Xvfb server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SceneFileBytes.h"
#include "Vec3.h"
#include "ViewerProcess.h"

using viewertest::Finished;
using viewertest::Image;

namespace {

const std::string kViewer = GLOWBAKE_VIEWER_PATH;

using Patch = testsupport::SceneRecord;

Patch uniformPatch(const Vec3& a, const Vec3& b, const Vec3& c, int size, std::uint32_t texel) {
    Patch patch;
    patch.corners = {{{a.x, a.y, a.z}, {b.x, b.y, b.z}, {c.x, c.y, c.z}}};
    patch.width = patch.height = size;
    patch.texels.assign(static_cast<size_t>(size) * size, texel);
    return patch;
}

void writeScene(const std::string& path, const std::vector<Patch>& patches) {
    testsupport::writeFile(path, testsupport::sceneFileBytes(patches));
}

std::string settingsText(int width, int height, const std::string& scenePath) {
    return "windowWidth " + std::to_string(width) + "\nwindowHeight " + std::to_string(height) + "\nsceneFile " +
           scenePath + "\nmouseYFlag 0\n";
}

// Where a scene point appears in the start view, in window pixels (column
// from the left, row from the top), worked out from the camera's definition:
// the scene is shifted by (-15, 10, 5), the eye is at (0, 25, 0) looking along
// +z with +y up (so the camera's right is -x), and the vertical field of view
// is 90 degrees, i.e. the view spans depth units up and down at each depth.
struct ScreenPoint {
    double column;
    double row;
};

ScreenPoint project(const Vec3& p, int width, int height) {
    const double aspect = static_cast<double>(width) / height;
    const double right = -(p.x - 15.0);
    const double up = (p.y + 10.0) - 25.0;
    const double depth = p.z + 5.0;
    return {(1.0 + right / (depth * aspect)) * 0.5 * width, (1.0 - up / depth) * 0.5 * height};
}

// Twice the signed area of a screen triangle with y growing upwards:
// negative when the corners run clockwise as seen on the screen.
double screenWinding(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c) {
    return (b.column - a.column) * (a.row - c.row) - (a.row - b.row) * (c.column - a.column);
}

// Signed distance in pixels from the triangle's boundary, positive inside.
double insideBy(const ScreenPoint t[3], double column, double row) {
    const double orientation = screenWinding(t[0], t[1], t[2]) < 0 ? -1.0 : 1.0;
    double nearest = 1e9;
    for (int e = 0; e < 3; ++e) {
        const ScreenPoint& p = t[e];
        const ScreenPoint& q = t[(e + 1) % 3];
        const double length = std::hypot(q.column - p.column, q.row - p.row);
        // Edge normal in y-up coordinates, pointing into the triangle.
        const double side = ((q.column - p.column) * (p.row - row) - (p.row - q.row) * (column - p.column)) / length;
        nearest = std::min(nearest, side * orientation);
    }
    return nearest;
}

bool near(const unsigned char* pixel, int r, int g, int b, int tolerance = 3) {
    return std::abs(pixel[0] - r) <= tolerance && std::abs(pixel[1] - g) <= tolerance &&
           std::abs(pixel[2] - b) <= tolerance;
}

bool allBlack(const Image& image) {
    for (unsigned char value : image.rgb)
        if (value > 2) return false;
    return true;
}

int countLines(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

}  // namespace

class ViewerProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() { xServer = std::make_unique<viewertest::XvfbServer>(); }
    static void TearDownTestSuite() { xServer.reset(); }

    void SetUp() override {
        ASSERT_TRUE(xServer->running()) << "Xvfb could not be started";
        ASSERT_FALSE(folder.path.string().empty());
    }

    Finished runViewer(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv = {kViewer};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return viewertest::run(folder.path.string(), argv, xServer->display());
    }

    // Runs a snapshot of the scene from `settings` into `image`, with the
    // camera options `aim`.
    void snapshot(const std::string& settings, Image& image, const std::vector<std::string>& aim = {}) {
        testsupport::writeFile(folder.file("GlowbakeView.ini"), settings);
        std::remove(folder.file("frame.png").c_str());
        std::vector<std::string> arguments = {"--snapshot", "frame.png"};
        arguments.insert(arguments.end(), aim.begin(), aim.end());
        const Finished finished = runViewer(arguments);
        ASSERT_EQ(finished.status, 0) << finished.err << testsupport::readFile(folder.file("GlowbakeView.log"));
        EXPECT_EQ(finished.out, "");
        EXPECT_EQ(finished.err, "");
        ASSERT_TRUE(viewertest::readPng(folder.file("frame.png"), image));
    }

    static std::unique_ptr<viewertest::XvfbServer> xServer;
    testsupport::ScratchDir folder;
};

std::unique_ptr<viewertest::XvfbServer> ViewerProgram::xServer;

TEST_F(ViewerProgram, LogsEveryRecordItReads) {
    Patch first = uniformPatch(Vec3(1.5f, -2.25f, 3.0f), Vec3(0.0f, 10.0f, -7.125f), Vec3(100.0f, 0.5f, 1e-3f), 16,
                               0xFF808080u);
    first.anchors[2] = 8;  // u of the second corner
    first.anchors[5] = 8;  // v of the third
    Patch second = uniformPatch(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), 4, 0xFF000000u);
    second.width = 32;
    second.height = 16;
    second.texels.assign(32 * 16, 0xFF102030u);
    second.anchors = {31, 15, 16, 0, 0, 4};
    writeScene(folder.file("two.out"), {first, second});

    Image image;
    snapshot(settingsText(64, 48, "two.out"), image);
    EXPECT_EQ(testsupport::readFile(folder.file("GlowbakeView.log")),
              "Scene file opened.\n"
              "num patches = 2\n"
              "patch vert = (1.500000, -2.250000, 3.000000)\n"
              "patch vert = (0.000000, 10.000000, -7.125000)\n"
              "patch vert = (100.000000, 0.500000, 0.001000)\n"
              "texture anchors = (0.000000, 0.000000)\n"
              "texture anchors = (0.500000, 0.000000)\n"
              "texture anchors = (0.000000, 0.500000)\n"
              "textHigh, textWide = 16, 16\n"
              "texture data read successfully\n"
              "patch vert = (0.000000, 0.000000, 0.000000)\n"
              "patch vert = (1.000000, 0.000000, 0.000000)\n"
              "patch vert = (0.000000, 1.000000, 0.000000)\n"
              "texture anchors = (0.968750, 0.937500)\n"
              "texture anchors = (0.500000, 0.000000)\n"
              "texture anchors = (0.000000, 0.250000)\n"
              "textHigh, textWide = 16, 32\n"
              "texture data read successfully\n");
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 48);

    // No patches: the first two lines only, and a black frame.
    writeScene(folder.file("empty.out"), {});
    snapshot(settingsText(64, 48, "empty.out"), image);
    EXPECT_EQ(testsupport::readFile(folder.file("GlowbakeView.log")), "Scene file opened.\nnum patches = 0\n");
    EXPECT_TRUE(allBlack(image));
}

TEST_F(ViewerProgram, EveryFailureIsLoggedAndPrintedOnStandardError) {
    // Bad arguments: the reason and the usage on stderr, status 1, and the
    // previous run's log untouched.
    testsupport::writeFile(folder.file("GlowbakeView.log"), "previous run\n");
    testsupport::writeFile(folder.file("GlowbakeView.ini"), settingsText(64, 64, "none.out"));
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--bogus"}, {"--snapshot"}, {"--frame", "--eye", "1", "2", "3"}}) {
        const Finished finished = runViewer(arguments);
        EXPECT_EQ(finished.status, 1) << arguments[0];
        EXPECT_EQ(finished.err.rfind("GlowbakeViewer: ", 0), 0u) << finished.err;
        EXPECT_NE(finished.err.find("\nusage: GlowbakeViewer"), std::string::npos) << finished.err;
    }
    EXPECT_EQ(testsupport::readFile(folder.file("GlowbakeView.log")), "previous run\n");

    // Every other failure: its log line, and the same line on stderr after
    // "GlowbakeViewer: ". Unusable window sizes fall back to 800 x 600 (the
    // settings tests hold the full list of unusable sizes).
    writeScene(folder.file("empty.out"), {});
    const std::string fallback = " in GlowbakeView.ini is missing or unusable (each side 16 to 16384), using 800 x 600\n";
    const struct {
        std::string settings;  // none if empty
        std::vector<std::string> arguments;
        int status;
        std::string logged;
        int width, height;  // of the snapshot, if one is written
    } cases[] = {
        {"", {}, 2, "Settings file GlowbakeView.ini failed to open\n", 0, 0},
        {settingsText(64, 48, "nowhere/lost.out"), {}, 0,
         "Scene file nowhere/lost.out failed to open, the scene is empty\n", 64, 48},
        {settingsText(64, 48, "empty.out"), {"--snapshot", "no/frame.png"}, 4,
         "Snapshot no/frame.png could not be written\n", 0, 0},
        {settingsText(64, 48, "empty.out"), {"--frame"}, 0, "Scene is empty: --frame keeps the start view\n", 64, 48},
        {settingsText(0, 300, "empty.out"), {}, 0, "Window size 0 x 300" + fallback, 800, 600},
        {"windowWidth\nwindowHeight\nsceneFile empty.out\nmouseYFlag 0\n", {}, 0,
         "Window size 0 x 0" + fallback, 800, 600},
        {settingsText(20000, 20000, "empty.out"), {}, 0, "Window size 20000 x 20000" + fallback, 800, 600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        std::remove(folder.file("GlowbakeView.ini").c_str());
        std::remove(folder.file("frame.png").c_str());
        if (!c.settings.empty()) testsupport::writeFile(folder.file("GlowbakeView.ini"), c.settings);
        // Without settings no window is made, so not even a display is needed.
        std::vector<std::string> arguments = c.arguments;
        if (c.width > 0) arguments.insert(arguments.begin(), {"--snapshot", "frame.png"});
        const Finished finished = c.settings.empty() ? viewertest::run(folder.path.string(), {kViewer}, "")
                                                     : runViewer(arguments);
        EXPECT_EQ(finished.status, c.status);
        EXPECT_EQ(finished.err, "GlowbakeViewer: " + c.logged);
        const std::string log = testsupport::readFile(folder.file("GlowbakeView.log"));
        if (c.settings.empty())
            EXPECT_EQ(log, c.logged);
        else
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        if (c.width == 0) {
            EXPECT_FALSE(std::filesystem::exists(folder.file("frame.png")));
            continue;
        }
        Image image;
        ASSERT_TRUE(viewertest::readPng(folder.file("frame.png"), image));
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_TRUE(allBlack(image));
    }
}

namespace {

// A triangle 20 units in front of the start eye, at its height, with the
// corners in the given order.
std::vector<Vec3> triangleAhead(bool clockwiseOnScreen) {
    // Shifted by (-15, 10, 5) these lie at depth 20 around the eye's height 25.
    const Vec3 left(23.0f, 9.0f, 15.0f);   // 8 units to the camera's left (+x), 6 down
    const Vec3 top(15.0f, 23.0f, 15.0f);   // centred, 8 up
    const Vec3 right(7.0f, 9.0f, 15.0f);   // 8 units to the camera's right, 6 down
    if (clockwiseOnScreen) return {left, top, right};
    return {right, top, left};
}

}  // namespace

// A triangle ahead of the start camera, textured with rows 0 and 1 in one
// colour and rows 2 and 3 in another (every channel different, so the order
// of the channels shows). All three corners are anchored on one texel, so
// the whole triangle shows the colour around that point of the texture (row
// 0 is t = 0). It covers exactly the pixels it projects to, and is culled
// when its corners run counter-clockwise on the screen.
TEST_F(ViewerProgram, TrianglesAreDrawnWhereTheyProjectInTheirAnchoredColourAndCulledFromBehind) {
    const int width = 240, height = 160;  // aspect 1.5
    const struct {
        bool clockwise;
        int u, v;
        int r, g, b;
    } cases[] = {
        {true, 1, 1, 0x20, 0xC0, 0x40},
        {true, 1, 3, 0xC0, 0x20, 0x80},
        {true, 3, 1, 0x20, 0xC0, 0x40},
        {false, 1, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.clockwise ? "clockwise" : "counter-clockwise") + ", anchor " +
                     std::to_string(c.u) + ", " + std::to_string(c.v));
        const std::vector<Vec3> corners = triangleAhead(c.clockwise);
        Patch patch = uniformPatch(corners[0], corners[1], corners[2], 4, 0xFF20C040u);
        for (int i = 8; i < 16; ++i) patch.texels[i] = 0xFFC02080u;
        patch.anchors = {c.u, c.v, c.u, c.v, c.u, c.v};
        writeScene(folder.file("one.out"), {patch});
        const ScreenPoint screen[3] = {project(corners[0], width, height), project(corners[1], width, height),
                                       project(corners[2], width, height)};
        ASSERT_EQ(screenWinding(screen[0], screen[1], screen[2]) < 0, c.clockwise);

        Image image;
        snapshot(settingsText(width, height, "one.out"), image);
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        if (!c.clockwise) {
            EXPECT_TRUE(allBlack(image));
            continue;
        }
        int litChecked = 0, blackChecked = 0;
        for (int row = 0; row < height; row += 3) {
            for (int column = 0; column < width; column += 3) {
                const double inside = insideBy(screen, column + 0.5, row + 0.5);
                const unsigned char* pixel = image.pixel(column, row);
                if (inside > 2.0) {
                    ++litChecked;
                    EXPECT_TRUE(near(pixel, c.r, c.g, c.b)) << column << ", " << row << ": " << int(pixel[0]) << " "
                                                            << int(pixel[1]) << " " << int(pixel[2]);
                } else if (inside < -2.0) {
                    ++blackChecked;
                    EXPECT_TRUE(near(pixel, 0, 0, 0, 2)) << column << ", " << row;
                }
            }
        }
        EXPECT_GT(litChecked, 100);
        EXPECT_GT(blackChecked, 100);
    }
}

namespace {

// A closed room 20 units wide around the scene point (100, 0, -100), far
// behind the start camera: each wall a uniform colour lit on its inside.
std::vector<Patch> roomBehindTheStartCamera() {
    const Vec3 centre(100.0f, 0.0f, -100.0f);
    const float half = 10.0f;
    const std::uint32_t colours[3][2] = {{0xFF40E040u, 0xFFE04040u},   // x = 90 green, x = 110 red
                                         {0xFFE0E040u, 0xFF4040E0u},   // floor yellow, ceiling blue
                                         {0xFF40E0E0u, 0xFFE040E0u}};  // z = -110 cyan, z = -90 magenta
    std::vector<Patch> patches;
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            const float sign = side == 0 ? -1.0f : 1.0f;
            Vec3 q[4];
            for (int i = 0; i < 4; ++i) {
                float offset[3];
                offset[axis] = sign * half;
                offset[(axis + 1) % 3] = (i == 1 || i == 2) ? half : -half;
                offset[(axis + 2) % 3] = i >= 2 ? half : -half;
                q[i] = centre + Vec3(offset[0], offset[1], offset[2]);
            }
            for (const auto& t : {std::vector<Vec3>{q[0], q[1], q[2]}, std::vector<Vec3>{q[0], q[2], q[3]}}) {
                // The front, normalise((v2 - v0) x (v1 - v0)), must face the centre.
                const bool inward = dot(cross(t[2] - t[0], t[1] - t[0]), centre - t[0]) > 0.0f;
                patches.push_back(uniformPatch(t[0], inward ? t[1] : t[2], inward ? t[2] : t[1], 4,
                                               colours[axis][side]));
            }
        }
    }
    return patches;
}

}  // namespace

TEST_F(ViewerProgram, SnapshotsFromAChosenEyeAndFromFrame) {
    writeScene(folder.file("room.out"), roomBehindTheStartCamera());
    const struct {
        std::vector<std::string> aim;
        int width, height;
        int r, g, b;      // the centre pixel, or -1 for any lit colour
        double minShare;  // of the pixels lit
    } cases[] = {
        {{}, 240, 160, 0, 0, 0, 0.0},  // the start view does not see it
        {{"--eye", "100", "0", "-100"}, 240, 160, 0xE0, 0x40, 0xE0, 0.99},  // looking along +z from inside
        {{"--eye", "100", "0", "-100", "--look-at", "110", "0", "-100"}, 240, 160, 0xE0, 0x40, 0x40, 0.99},
        {{"--eye", "100", "0", "-100", "--look-at", "100", "-10", "-100"}, 240, 160, 0xE0, 0xE0, 0x40, 0.99},
        {{"--frame"}, 240, 160, -1, 0, 0, 0.1},
        {{"--frame"}, 120, 240, -1, 0, 0, 0.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.aim.empty() ? "start view" : c.aim.back());
        Image image;
        snapshot(settingsText(c.width, c.height, "room.out"), image, c.aim);
        const unsigned char* centre = image.pixel(c.width / 2, c.height / 2);
        if (c.r >= 0)
            EXPECT_TRUE(near(centre, c.r, c.g, c.b)) << int(centre[0]) << " " << int(centre[1]) << " " << int(centre[2]);
        else
            EXPECT_FALSE(near(centre, 0, 0, 0, 2));
        int lit = 0, litOnBorder = 0;
        for (int row = 0; row < image.height; ++row) {
            for (int column = 0; column < image.width; ++column) {
                const bool isLit = !near(image.pixel(column, row), 0, 0, 0, 2);
                lit += isLit;
                litOnBorder += isLit && (row == 0 || column == 0 || row == image.height - 1 || column == image.width - 1);
            }
        }
        const double share = static_cast<double>(lit) / (c.width * c.height);
        if (c.minShare == 0.0) {
            EXPECT_EQ(lit, 0);
        }
        EXPECT_GE(share, c.minShare);
        // From --frame the whole room is in view: nothing lit touches the edges.
        if (c.r < 0) {
            EXPECT_EQ(litOnBorder, 0);
        }
    }
}

namespace {

// A record header with nine zero coordinates, the given size, zero anchors.
std::string recordHeader(int width, int height) {
    Patch header;
    header.width = width;
    header.height = height;
    return testsupport::recordBytes(header);
}

}  // namespace

TEST_F(ViewerProgram, MalformedSceneFilesAreRejectedBeforeLoading) {
    const std::string texels4x4(64, '\xff');
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"too short for the count", std::string("\0\0", 2)},
        {"negative count", testsupport::bigEndian({-1})},
        {"absurd count", testsupport::bigEndian({2147483647}) + recordHeader(4, 4) + texels4x4},
        {"count beyond the records", testsupport::bigEndian({3}) + recordHeader(4, 4) + texels4x4},
        {"record header cut short", testsupport::bigEndian({1}) + recordHeader(4, 4).substr(0, 30)},
        {"texels cut short", testsupport::bigEndian({1}) + recordHeader(4, 4) + texels4x4.substr(0, 60)},
        {"zero width", testsupport::bigEndian({1}) + recordHeader(0, 4) + texels4x4},
        {"negative height", testsupport::bigEndian({1}) + recordHeader(4, -4) + texels4x4},
        {"huge texture", testsupport::bigEndian({1}) + recordHeader(65536, 65536) + texels4x4},
        {"second record bad", testsupport::bigEndian({2}) + recordHeader(4, 4) + texels4x4 + recordHeader(4, 1000)},
        {"byte count beyond 64 bits", testsupport::bigEndian({1}) + recordHeader(2147483647, 2147483647) + texels4x4},
        {"a text model", "2\n0 0 0  1 0 0  0 1 0  0.5 0.5 0.5  0 0 0\n"},
    };
    for (const auto& c : cases) {
        testsupport::writeFile(folder.file("bad.out"), c.bytes);
        testsupport::writeFile(folder.file("GlowbakeView.ini"), settingsText(64, 48, "bad.out"));
        const Finished finished = runViewer({"--snapshot", "frame.png"});
        EXPECT_EQ(finished.status, 3) << c.what << finished.err;
        const std::string log = testsupport::readFile(folder.file("GlowbakeView.log"));
        EXPECT_EQ(countLines(log), 1) << c.what << ": " << log;
        EXPECT_EQ(log.rfind("Scene file bad.out is malformed: ", 0), 0u) << c.what << ": " << log;
        EXPECT_EQ(finished.err, "GlowbakeViewer: " + log) << c.what;
        EXPECT_FALSE(std::filesystem::exists(folder.file("frame.png"))) << c.what;
    }
    // A sound file next to them loads, so the rejections are about the bytes.
    testsupport::writeFile(folder.file("bad.out"), testsupport::bigEndian({1}) + recordHeader(4, 4) + texels4x4);
    EXPECT_EQ(runViewer({"--snapshot", "frame.png"}).status, 0);
    // A folder opens like a file, but nothing can be read from it.
    std::filesystem::create_directory(folder.file("folder.out"));
    testsupport::writeFile(folder.file("GlowbakeView.ini"), settingsText(64, 48, "folder.out"));
    EXPECT_EQ(runViewer({"--snapshot", "frame.png"}).status, 3);
    EXPECT_EQ(testsupport::readFile(folder.file("GlowbakeView.log")),
              "Scene file folder.out is malformed: cannot read the patch count (Is a directory)\n");
}

TEST_F(ViewerProgram, InteractiveSessionEndsWithStatusOneOnTheQuitKey) {
    const std::vector<Vec3> corners = triangleAhead(true);
    writeScene(folder.file("one.out"), {uniformPatch(corners[0], corners[1], corners[2], 4, 0xFFFFFFFFu)});
    testsupport::writeFile(folder.file("GlowbakeView.ini"), settingsText(200, 150, "one.out"));
    viewertest::ChildProcess viewer(folder.path.string(), {kViewer, "--eye", "1", "2", "3", "--look-at", "11", "2", "3"},
                                    xServer->display());

    const std::string& display = xServer->display();
    // Only a window on screen can take the keyboard focus.
    const Finished search = viewertest::run(
        folder.path.string(), {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^GlowbakeView$"}, display, 10.0);
    ASSERT_EQ(search.status, 0) << "no window: " << search.err;
    const std::string window = search.out.substr(0, search.out.find('\n'));

    // Print the view, walk, look around, switch mouse look off and on, print
    // the view again, then quit.
    const std::vector<std::vector<std::string>> steps = {
        {"xdotool", "windowfocus", "--sync", window},
        {"xdotool", "key", "p"},
        {"xdotool", "mousemove", "--window", window, "100", "75"},
        {"xdotool", "key", "e", "a", "z"},
        {"xdotool", "mousemove", "--window", window, "130", "60"},
        {"xdotool", "mousemove", "--window", window, "199", "60"},
        {"xdotool", "key", "m"},
        {"xdotool", "mousemove", "--window", window, "50", "50"},
        {"xdotool", "key", "M", "d", "s", "x", "P"},
        {"xdotool", "key", "Q"},
    };
    for (const std::vector<std::string>& step : steps) {
        const Finished done = viewertest::run(folder.path.string(), step, display, 10.0);
        EXPECT_EQ(done.status, 0) << step[1] << ": " << done.err;
    }
    const Finished finished = viewer.wait(10.0);
    EXPECT_FALSE(finished.timedOut);
    EXPECT_EQ(finished.status, 1);
    EXPECT_EQ(finished.err, "");  // no X or GL complaints on the way
    const std::string firstView = "eye 1 2 3, yaw 90, pitch 0 (degrees; yaw 0 looks along +z, 90 along +x; "
                                  "positive pitch looks down)\n  --eye 1 2 3 --look-at 11 2 3\n";
    EXPECT_EQ(finished.out.rfind(firstView, 0), 0u) << finished.out;
    EXPECT_EQ(countLines(finished.out), 4) << finished.out;
    const std::string log = testsupport::readFile(folder.file("GlowbakeView.log"));
    EXPECT_NE(log.find("texture data read successfully\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
}
