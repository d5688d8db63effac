#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ViewerLog.h"
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
        readFromText(std::string("w 10 h 10 s a m ") + flag);
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

    // Zero, negative or missing sizes: 800 x 600 and one log line.
    for (const char* text : {"w 0 h 600 s a.out m 0", "w 1024 h -5 s a.out m 0", "w wide h 600 s a.out m 0",
                             "w 1024"}) {
        const std::string logged = readFromText(text);
        EXPECT_EQ(windowSize.windowWidth, 800) << text;
        EXPECT_EQ(windowSize.windowHeight, 600) << text;
        EXPECT_EQ(windowSize.halfWidth, 400) << text;
        EXPECT_FLOAT_EQ(windowSize.invHalfHeight, 1.0f / 300.0f) << text;
        EXPECT_NE(logged.find("test.ini"), std::string::npos) << logged;
        EXPECT_NE(logged.find("800 x 600"), std::string::npos) << logged;
        EXPECT_EQ(logged.find('\n'), logged.size() - 1) << logged;
    }

    // A number too large for an int saturates rather than wrapping negative.
    readFromText("w 99999999999999999999 h 600 s a.out m 0");
    EXPECT_GT(windowSize.windowWidth, 0);

    // An empty file: fallback size, no path, pointer sign +1.
    readFromText("");
    EXPECT_EQ(windowSize.windowWidth, 800);
    EXPECT_EQ(sceneFileName, "");
    EXPECT_EQ(mouseYSign, 1);
}
