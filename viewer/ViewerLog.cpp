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
