#pragma once

#include <cstdio>

// The viewer's only diagnostic channel: "GlowbakeView.log" in the working
// directory, truncated at every start. Nothing goes to standard output.
constexpr const char* kLogFileName = "GlowbakeView.log";

extern std::FILE* logFile;

// Opens (truncating) the log; false if it cannot be created, in which case
// every later message is dropped instead of written through a null stream.
bool openLog();
void closeLog();

// printf-style line to the log, a no-op while no log is open.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
