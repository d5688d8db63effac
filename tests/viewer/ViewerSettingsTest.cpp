#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <vector>

#include "ViewerLog.h"
#include "ViewerOptions.h"
#include "ViewerSettings.h"

namespace {

// Runs readSettingsFrom on `text` from a fresh program-wide state and
// returns what it logged.
std::string readFromText(const std::string& text) {
    windowSize = WindowSize();
    sceneFileName.clear();
    mouseYSign = 0;
    std::FILE* file = std::tmpfile();
    std::fputs(text.c_str(), file);
    std::rewind(file);
    logFile = std::tmpfile();
    readSettingsFrom(file, "test.ini");
    std::fclose(file);

    std::string logged;
    std::rewind(logFile);
    for (int c = std::getc(logFile); c != EOF; c = std::getc(logFile)) logged += static_cast<char>(c);
    closeLog();
    return logged;
}

}  // namespace

TEST(ViewerSettings, ReadsFourLabelledValuesWhateverTheLineBreaks) {
    EXPECT_EQ(readFromText("width 801\nheight 600\nscene room.out\nmouseY 0\n"), "");
    EXPECT_EQ(windowSize.windowWidth, 801);
    EXPECT_EQ(windowSize.windowHeight, 600);
    EXPECT_EQ(windowSize.halfWidth, 400);
    EXPECT_FLOAT_EQ(windowSize.invHalfWidth, 0.0025f);
    EXPECT_FLOAT_EQ(windowSize.invHalfHeight, 1.0f / 300.0f);
    EXPECT_EQ(sceneFileName, "room.out");
    EXPECT_EQ(mouseYSign, 1);

    readFromText("W 640 H 480 S dir/room.out M 1");
    EXPECT_EQ(windowSize.windowWidth, 640);
    EXPECT_EQ(windowSize.windowHeight, 480);
    EXPECT_EQ(windowSize.halfHeight, 240);
    EXPECT_EQ(sceneFileName, "dir/room.out");
    EXPECT_EQ(mouseYSign, -1);

    readFromText("\n\nW\n\n640\tH   480\r\nS\nx.out\n\nM\n\n0 trailing words ignored 5");
    EXPECT_EQ(windowSize.windowHeight, 480);
    EXPECT_EQ(sceneFileName, "x.out");
    EXPECT_EQ(mouseYSign, 1);

    for (const char* flag : {"-1", "7", "1"}) {
        readFromText(std::string("w 100 h 100 s a m ") + flag);
        EXPECT_EQ(mouseYSign, -1) << flag;
    }
}

TEST(ViewerSettings, LongWordsAreReadWholeAndBadSizesFallBack) {
    // Labels and the path far beyond any fixed buffer.
    const std::string longLabel(500, 'L');
    const std::string longPath = "scenes/" + std::string(300, 'p') + ".out";
    readFromText(longLabel + " 320 " + longLabel + " 200 " + longLabel + " " + longPath + " " + longLabel + " 0");
    EXPECT_EQ(windowSize.windowWidth, 320);
    EXPECT_EQ(windowSize.windowHeight, 200);
    EXPECT_EQ(sceneFileName, longPath);
    EXPECT_EQ(mouseYSign, 1);

    // Sizes from 16 to 16384 are taken as they are.
    for (const char* text : {"w 16 h 16384 s a.out m 0", "w 16384 h 16 s a.out m 0"}) {
        EXPECT_EQ(readFromText(text), "") << text;
        EXPECT_EQ(windowSize.windowWidth + windowSize.windowHeight, 16400) << text;
    }
    // A window reshaped to one pixel has no half size: mouse look gets a zero
    // scale, never an infinite one.
    WindowSize tiny;
    setWindowSize(tiny, 1, 1);
    EXPECT_TRUE(tiny.halfWidth == 0 && tiny.invHalfWidth == 0.0f && tiny.invHalfHeight == 0.0f);
    EXPECT_TRUE(windowSizeUsable(4096, 4096, 8192, 4096));
    EXPECT_FALSE(windowSizeUsable(4096, 4097, 8192, 4096));  // beyond what the display allows
    EXPECT_FALSE(windowSizeUsable(16385, 100, 32768, 32768));

    // Missing, zero, negative, tiny or enormous sizes: 800 x 600 and one log line.
    for (const char* text : {"w 0 h 600 s a.out m 0", "w 1024 h -5 s a.out m 0", "w wide h 600 s a.out m 0",
                             "w 1024", "w 1 h 1 s a.out m 0", "w 600 h 15 s a.out m 0", "w 16385 h 600 s a.out m 0",
                             "w 100000 h 100000 s a.out m 0", "w 99999999999999999999 h 600 s a.out m 0"}) {
        const std::string logged = readFromText(text);
        EXPECT_EQ(windowSize.windowWidth, 800) << text;
        EXPECT_EQ(windowSize.windowHeight, 600) << text;
        EXPECT_EQ(windowSize.halfWidth, 400) << text;
        EXPECT_FLOAT_EQ(windowSize.invHalfHeight, 1.0f / 300.0f) << text;
        EXPECT_NE(logged.find("test.ini"), std::string::npos) << logged;
        EXPECT_NE(logged.find("800 x 600"), std::string::npos) << logged;
        EXPECT_EQ(logged.find('\n'), logged.size() - 1) << logged;
    }

    // An empty file: fallback size, no path, pointer sign +1.
    readFromText("");
    EXPECT_EQ(windowSize.windowWidth, 800);
    EXPECT_EQ(sceneFileName, "");
    EXPECT_EQ(mouseYSign, 1);
}

TEST(ViewerOptions, AimAndSnapshotOptionsAndTheirMistakes) {
    const auto parse = [](std::vector<const char*> words, ViewerOptions& options, std::string& error) {
        words.insert(words.begin(), "GlowbakeViewer");
        return parseViewerOptions(static_cast<int>(words.size()), words.data(), options, error);
    };
    ViewerOptions options;
    std::string error;
    ASSERT_TRUE(parse({}, options, error));
    EXPECT_TRUE(options.snapshotPath.empty() && !options.hasEye && !options.hasLookAt && !options.frame);
    ASSERT_TRUE(parse({"--eye", "1", "-2.5", "3e1", "--snapshot", "a.png", "--look-at", "0", "0", "0"}, options, error));
    EXPECT_TRUE(options.snapshotPath == "a.png" && options.hasEye && options.hasLookAt && !options.frame);
    EXPECT_TRUE(options.eye.y == -2.5f && options.eye.z == 30.0f && options.lookAt.x == 0.0f);
    ASSERT_TRUE(parse({"--frame", "--snapshot", "x.png"}, options, error));
    EXPECT_TRUE(options.frame && !options.hasEye && !options.hasLookAt);

    const struct {
        std::vector<const char*> words;
        const char* error;
    } mistakes[] = {
        {{"--bogus"}, "unknown argument '--bogus'"},
        {{"--snapshot"}, "--snapshot needs one PNG path"},
        {{"--snapshot", "a.png", "--snapshot", "b.png"}, "--snapshot given twice"},
        {{"--snapshot", "a.png", "extra"}, "unknown argument 'extra'"},
        {{"--eye", "1", "2"}, "--eye needs three numbers"},
        {{"--look-at", "1", "2", "x"}, "--look-at needs three numbers"},
        {{"--eye", "1", "2", "nan"}, "--eye needs three numbers"},
        {{"--eye", "1", "2", "1e999"}, "--eye needs three numbers"},
        {{"--eye", "1", "2", "3", "--eye", "1", "2", "3"}, "--eye given twice"},
        {{"--frame", "--eye", "1", "2", "3"}, "--frame chooses"},
        {{"--look-at", "1", "2", "3", "--frame"}, "--frame chooses"},
        {{"--frame", "--frame"}, "--frame given twice"},
        {{"--eye", "1", "2", "3", "--look-at", "1", "2", "3"}, "--look-at must differ from the eye"},
        {{"--look-at", "15", "15", "-5"}, "--look-at must differ from the eye"},  // the start eye
    };
    for (const auto& mistake : mistakes) {
        EXPECT_FALSE(parse(mistake.words, options, error)) << mistake.error;
        EXPECT_EQ(error.rfind(mistake.error, 0), 0u) << error;
    }
}
