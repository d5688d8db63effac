#include "ViewerLog.h"

#include <cstdarg>

std::FILE* logFile = nullptr;

bool openLog() {
    logFile = std::fopen(kLogFileName, "w");
    return logFile != nullptr;
}

void closeLog() {
    if (logFile != nullptr) std::fclose(logFile);
    logFile = nullptr;
}

void logMessage(const char* format, ...) {
    if (logFile == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(logFile, format, args);
    va_end(args);
}

void logFailure(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (logFile != nullptr) {
        va_list copy;
        va_copy(copy, args);
        std::vfprintf(logFile, format, copy);
        va_end(copy);
    }
    std::fputs("GlowbakeViewer: ", stderr);
    std::vfprintf(stderr, format, args);
    va_end(args);
}
