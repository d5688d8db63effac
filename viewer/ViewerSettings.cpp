#include "ViewerSettings.h"

#include <cctype>
#include <climits>

#include "ViewerLog.h"

WindowSize windowSize;
std::string sceneFileName;
int mouseYSign = 0;

void setWindowSize(WindowSize& size, int width, int height) {
    size.windowWidth = width;
    size.windowHeight = height;
    size.halfWidth = width / 2;
    size.halfHeight = height / 2;
    size.invHalfWidth = size.halfWidth != 0 ? 1.0f / static_cast<float>(size.halfWidth) : 0.0f;
    size.invHalfHeight = size.halfHeight != 0 ? 1.0f / static_cast<float>(size.halfHeight) : 0.0f;
}

bool windowSizeUsable(int width, int height, int maxWidth, int maxHeight) {
    const int widest = maxWidth < kMaxWindowSide ? maxWidth : kMaxWindowSide;
    const int highest = maxHeight < kMaxWindowSide ? maxHeight : kMaxWindowSide;
    return kMinWindowSide <= width && width <= widest && kMinWindowSide <= height && height <= highest;
}

namespace {

int skipSpace(std::FILE* file) {
    int c = std::getc(file);
    while (c != EOF && std::isspace(c)) c = std::getc(file);
    return c;
}

// One whitespace-separated word, as "%s" reads it but without a buffer limit.
bool readWord(std::FILE* file, std::string& word) {
    int c = skipSpace(file);
    if (c == EOF) return false;
    word.clear();
    while (c != EOF && !std::isspace(c)) {
        word += static_cast<char>(c);
        c = std::getc(file);
    }
    if (c != EOF) std::ungetc(c, file);
    return true;
}

// A decimal integer as "%d" reads it: optional sign, then digits, stopping at
// the first other character, which stays in the stream. Out-of-range values
// saturate instead of overflowing. False (value untouched) without digits.
bool readNumber(std::FILE* file, int& value) {
    int c = skipSpace(file);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::getc(file);
    }
    if (c == EOF || !std::isdigit(c)) {
        if (c != EOF) std::ungetc(c, file);
        return false;
    }
    long long magnitude = 0;
    while (c != EOF && std::isdigit(c)) {
        if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (c - '0');
        c = std::getc(file);
    }
    if (c != EOF) std::ungetc(c, file);
    const long long signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int>(signedValue < INT_MIN ? INT_MIN : signedValue > INT_MAX ? INT_MAX : signedValue);
    return true;
}

}  // namespace

void readSettingsFrom(std::FILE* file, const char* fileName) {
    std::string label;
    int width = windowSize.windowWidth;
    int height = windowSize.windowHeight;
    readWord(file, label);
    readNumber(file, width);
    readWord(file, label);
    readNumber(file, height);
    if (!windowSizeUsable(width, height)) {
        logFailure("Window size %d x %d in %s is missing or unusable (each side %d to %d), using %d x %d\n", width,
                   height, fileName, kMinWindowSide, kMaxWindowSide, kFallbackWidth, kFallbackHeight);
        width = kFallbackWidth;
        height = kFallbackHeight;
    }
    setWindowSize(windowSize, width, height);

    readWord(file, label);
    readWord(file, sceneFileName);
    readWord(file, label);
    int mouseYFlag = 0;
    readNumber(file, mouseYFlag);
    mouseYSign = mouseYFlag == 0 ? 1 : -1;
}

int readSettings() {
    std::FILE* file = std::fopen(kSettingsFileName, "r");
    if (file == nullptr) return -1;
    readSettingsFrom(file, kSettingsFileName);
    std::fclose(file);
    return 0;
}

void shutdown() {
    closeLog();
    sceneFileName.clear();
}
