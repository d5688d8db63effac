// End-to-end tests: the real GlowbakeViewer in a scratch folder, drawing into
// a private Xvfb server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "FileIO.h"
#include "SceneFile.h"
#include "ViewerProcess.h"

using viewertest::Finished;
using viewertest::Image;

namespace {

const std::string kViewer = GLOWBAKE_VIEWER_PATH;

struct Patch {
    scene::RecordHeader header;
    std::vector<std::uint32_t> texels;  // 0xAARRGGBB, row 0 first
};

Patch uniformPatch(const Vec3& a, const Vec3& b, const Vec3& c, int size, std::uint32_t texel) {
    Patch patch;
    patch.header.corners[0] = a;
    patch.header.corners[1] = b;
    patch.header.corners[2] = c;
    patch.header.textWide = size;
    patch.header.textHigh = size;
    patch.texels.assign(static_cast<size_t>(size) * size, texel);
    return patch;
}

void writeScene(const std::string& path, const std::vector<Patch>& patches) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    FileIO fileIO;
    scene::writeHeader(file, fileIO, static_cast<int>(patches.size()));
    for (const Patch& patch : patches) {
        scene::writeRecordHeader(file, fileIO, patch.header);
        scene::writeTexels(file, fileIO, patch.texels.data(), static_cast<long long>(patch.texels.size()));
    }
    std::fclose(file);
    ASSERT_TRUE(fileIO.ok);
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
        ASSERT_FALSE(folder.path().empty());
    }

    Finished runViewer(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv = {kViewer};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return viewertest::run(folder.path(), argv, xServer->display());
    }

    // Runs a snapshot of the scene from `settings` into `image`.
    void snapshot(const std::string& settings, Image& image) {
        folder.write("GlowbakeView.ini", settings);
        const Finished finished = runViewer({"--snapshot", "frame.png"});
        ASSERT_EQ(finished.status, 0) << finished.err << folder.read("GlowbakeView.log");
        EXPECT_EQ(finished.out, "");
        ASSERT_TRUE(viewertest::readPng(folder.file("frame.png"), image));
    }

    static std::unique_ptr<viewertest::XvfbServer> xServer;
    viewertest::ScratchFolder folder;
};

std::unique_ptr<viewertest::XvfbServer> ViewerProgram::xServer;

TEST_F(ViewerProgram, StartsOnlyWithItsSettingsFileAndKnownArguments) {
    // No settings: one log line (replacing the previous log), status 2, and
    // no window, so not even a display is needed.
    folder.write("GlowbakeView.log", "previous run\n");
    Finished finished = viewertest::run(folder.path(), {kViewer}, "");
    EXPECT_EQ(finished.status, 2) << finished.err;
    EXPECT_EQ(folder.read("GlowbakeView.log"), "Settings file GlowbakeView.ini failed to open\n");
    EXPECT_EQ(finished.out, "");

    // Arguments other than --snapshot PATH are refused on stderr before the
    // log is touched.
    folder.write("GlowbakeView.log", "previous run\n");
    folder.write("GlowbakeView.ini", settingsText(64, 64, "none.out"));
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--bogus"}, {"--snapshot"}, {"--snapshot", "a.png", "extra"}}) {
        finished = runViewer(arguments);
        EXPECT_EQ(finished.status, 1) << arguments[0];
        EXPECT_NE(finished.err.find("usage: GlowbakeViewer"), std::string::npos) << finished.err;
        EXPECT_EQ(finished.out, "");
    }
    EXPECT_NE(finished.err.find("extra"), std::string::npos) << finished.err;
    EXPECT_EQ(folder.read("GlowbakeView.log"), "previous run\n");
    EXPECT_FALSE(folder.exists("a.png"));
}

TEST_F(ViewerProgram, LogsEveryRecordItReads) {
    Patch first = uniformPatch(Vec3(1.5f, -2.25f, 3.0f), Vec3(0.0f, 10.0f, -7.125f), Vec3(100.0f, 0.5f, 1e-3f), 16,
                               0xFF808080u);
    first.header.anchorU[1] = 8;
    first.header.anchorV[2] = 8;
    Patch second = uniformPatch(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), 4, 0xFF000000u);
    second.header.textWide = 32;
    second.header.textHigh = 16;
    second.texels.assign(32 * 16, 0xFF102030u);
    second.header.anchorU[0] = 31;
    second.header.anchorV[0] = 15;
    second.header.anchorU[1] = 16;
    second.header.anchorV[2] = 4;
    writeScene(folder.file("two.out"), {first, second});

    Image image;
    snapshot(settingsText(64, 48, "two.out"), image);
    EXPECT_EQ(folder.read("GlowbakeView.log"),
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
    EXPECT_EQ(folder.read("GlowbakeView.log"), "Scene file opened.\nnum patches = 0\n");
    EXPECT_TRUE(allBlack(image));
}

TEST_F(ViewerProgram, MissingSceneFileGivesAnEmptySceneAndSaysWhich) {
    Image image;
    snapshot(settingsText(64, 48, "nowhere/lost.out"), image);
    const std::string log = folder.read("GlowbakeView.log");
    EXPECT_EQ(countLines(log), 1) << log;
    EXPECT_EQ(log.rfind("Scene file nowhere/lost.out ", 0), 0u) << log;
    EXPECT_TRUE(allBlack(image));
}

TEST_F(ViewerProgram, UnusableWindowSizeFallsBackTo800By600) {
    writeScene(folder.file("empty.out"), {});
    for (const std::string& settings :
         {settingsText(0, 300, "empty.out"), settingsText(640, -480, "empty.out"),
          std::string("windowWidth\nwindowHeight\nsceneFile empty.out\nmouseYFlag 0\n")}) {
        Image image;
        snapshot(settings, image);
        EXPECT_EQ(image.width, 800) << settings;
        EXPECT_EQ(image.height, 600) << settings;
        const std::string log = folder.read("GlowbakeView.log");
        EXPECT_EQ(log.rfind("Window size ", 0), 0u) << log;
        EXPECT_NE(log.find("800 x 600"), std::string::npos) << log;
        EXPECT_EQ(countLines(log), 3) << log;  // then the scene's two lines
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

TEST_F(ViewerProgram, TriangleFacingTheStartCameraIsDrawnWhereItProjectsAndCulledFromBehind) {
    const int width = 240, height = 160;  // aspect 1.5
    const std::uint32_t texel = 0xFFFFC080u;  // red FF, green C0, blue 80: channel order shows
    for (bool clockwise : {true, false}) {
        SCOPED_TRACE(clockwise ? "clockwise on screen" : "counter-clockwise on screen");
        const std::vector<Vec3> corners = triangleAhead(clockwise);
        writeScene(folder.file("one.out"), {uniformPatch(corners[0], corners[1], corners[2], 4, texel)});
        const ScreenPoint screen[3] = {project(corners[0], width, height), project(corners[1], width, height),
                                       project(corners[2], width, height)};
        ASSERT_EQ(screenWinding(screen[0], screen[1], screen[2]) < 0, clockwise);

        Image image;
        snapshot(settingsText(width, height, "one.out"), image);
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        if (!clockwise) {
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
                    EXPECT_TRUE(near(pixel, 0xFF, 0xC0, 0x80)) << column << ", " << row;
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

TEST_F(ViewerProgram, TextureAnchorsPickTheTexelsDrawn) {
    // Rows 0 and 1 one colour, rows 2 and 3 another; every corner of the
    // triangle anchored on the same texel, so the whole triangle shows the
    // colour around that point of the texture (row 0 is t = 0).
    const std::vector<Vec3> corners = triangleAhead(true);
    Patch patch = uniformPatch(corners[0], corners[1], corners[2], 4, 0xFF20C040u);
    for (int i = 8; i < 16; ++i) patch.texels[i] = 0xFFC02080u;
    struct Case {
        int u, v;
        int r, g, b;
    };
    for (const Case& c : {Case{1, 1, 0x20, 0xC0, 0x40}, Case{1, 3, 0xC0, 0x20, 0x80}, Case{3, 1, 0x20, 0xC0, 0x40}}) {
        for (int k = 0; k < 3; ++k) {
            patch.header.anchorU[k] = c.u;
            patch.header.anchorV[k] = c.v;
        }
        writeScene(folder.file("one.out"), {patch});
        Image image;
        snapshot(settingsText(120, 80, "one.out"), image);
        const ScreenPoint centre = project((corners[0] + corners[1] + corners[2]) * (1.0f / 3.0f), 120, 80);
        const unsigned char* pixel = image.pixel(static_cast<int>(centre.column), static_cast<int>(centre.row));
        EXPECT_TRUE(near(pixel, c.r, c.g, c.b)) << "anchor " << c.u << ", " << c.v << ": " << int(pixel[0]) << " "
                                                << int(pixel[1]) << " " << int(pixel[2]);
    }
}

namespace {

std::string bigEndian(std::initializer_list<std::int32_t> values) {
    std::string bytes;
    for (std::int32_t v : values) {
        const std::uint32_t u = static_cast<std::uint32_t>(v);
        for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((u >> shift) & 0xFF);
    }
    return bytes;
}

// A record header with nine zero coordinates, the given size, zero anchors.
std::string recordHeader(std::int32_t textWide, std::int32_t textHigh) {
    return bigEndian({0, 0, 0, 0, 0, 0, 0, 0, 0, textWide, textHigh, 0, 0, 0, 0, 0, 0});
}

}  // namespace

TEST_F(ViewerProgram, MalformedSceneFilesAreRejectedBeforeLoading) {
    const std::string texels4x4(64, '\xff');
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"too short for the count", std::string("\0\0", 2)},
        {"negative count", bigEndian({-1})},
        {"absurd count", bigEndian({2147483647}) + recordHeader(4, 4) + texels4x4},
        {"count beyond the records", bigEndian({3}) + recordHeader(4, 4) + texels4x4},
        {"record header cut short", bigEndian({1}) + recordHeader(4, 4).substr(0, 30)},
        {"texels cut short", bigEndian({1}) + recordHeader(4, 4) + texels4x4.substr(0, 60)},
        {"zero width", bigEndian({1}) + recordHeader(0, 4) + texels4x4},
        {"negative height", bigEndian({1}) + recordHeader(4, -4) + texels4x4},
        {"huge texture", bigEndian({1}) + recordHeader(65536, 65536) + texels4x4},
        {"second record bad", bigEndian({2}) + recordHeader(4, 4) + texels4x4 + recordHeader(4, 1000)},
    };
    for (const auto& c : cases) {
        folder.write("bad.out", c.bytes);
        folder.write("GlowbakeView.ini", settingsText(64, 48, "bad.out"));
        const Finished finished = runViewer({"--snapshot", "frame.png"});
        EXPECT_EQ(finished.status, 3) << c.what << finished.err;
        const std::string log = folder.read("GlowbakeView.log");
        EXPECT_EQ(countLines(log), 1) << c.what << ": " << log;
        EXPECT_EQ(log.rfind("Scene file bad.out is malformed: ", 0), 0u) << c.what << ": " << log;
        EXPECT_FALSE(folder.exists("frame.png")) << c.what;
    }
    // A sound file next to them loads, so the rejections are about the bytes.
    folder.write("bad.out", bigEndian({1}) + recordHeader(4, 4) + texels4x4);
    EXPECT_EQ(runViewer({"--snapshot", "frame.png"}).status, 0);
}

TEST_F(ViewerProgram, TextureSizeWhoseByteCountOverflowsIsRejected) {
    // 4 * W * H does not fit in 64 bits for these sizes.
    folder.write("bad.out", bigEndian({1}) + recordHeader(2147483647, 2147483647) + std::string(64, '\0'));
    folder.write("GlowbakeView.ini", settingsText(64, 48, "bad.out"));
    const Finished finished = runViewer({"--snapshot", "frame.png"});
    EXPECT_EQ(finished.status, 3) << finished.err;
    const std::string log = folder.read("GlowbakeView.log");
    EXPECT_EQ(log.rfind("Scene file bad.out is malformed: ", 0), 0u) << log;
    EXPECT_EQ(countLines(log), 1) << log;
}

TEST_F(ViewerProgram, InteractiveSessionEndsWithStatusOneOnTheQuitKey) {
    const std::vector<Vec3> corners = triangleAhead(true);
    writeScene(folder.file("one.out"), {uniformPatch(corners[0], corners[1], corners[2], 4, 0xFFFFFFFFu)});
    folder.write("GlowbakeView.ini", settingsText(200, 150, "one.out"));
    viewertest::ChildProcess viewer(folder.path(), {kViewer}, xServer->display());

    const std::string& display = xServer->display();
    // Only a window on screen can take the keyboard focus.
    const Finished search = viewertest::run(
        folder.path(), {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^GlowbakeView$"}, display, 10.0);
    ASSERT_EQ(search.status, 0) << "no window: " << search.err;
    const std::string window = search.out.substr(0, search.out.find('\n'));

    // Walk, look around, switch mouse look off and on, then quit.
    const std::vector<std::vector<std::string>> steps = {
        {"xdotool", "windowfocus", "--sync", window},
        {"xdotool", "mousemove", "--window", window, "100", "75"},
        {"xdotool", "key", "e", "a", "z"},
        {"xdotool", "mousemove", "--window", window, "130", "60"},
        {"xdotool", "mousemove", "--window", window, "199", "60"},
        {"xdotool", "key", "m"},
        {"xdotool", "mousemove", "--window", window, "50", "50"},
        {"xdotool", "key", "M", "d", "s", "x"},
        {"xdotool", "key", "Q"},
    };
    for (const std::vector<std::string>& step : steps) {
        const Finished done = viewertest::run(folder.path(), step, display, 10.0);
        EXPECT_EQ(done.status, 0) << step[1] << ": " << done.err;
    }
    const Finished finished = viewer.wait(10.0);
    EXPECT_FALSE(finished.timedOut);
    EXPECT_EQ(finished.status, 1);
    EXPECT_EQ(finished.err, "");  // no X or GL complaints on the way
    EXPECT_EQ(finished.out, "");
    const std::string log = folder.read("GlowbakeView.log");
    EXPECT_NE(log.find("texture data read successfully\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
}
