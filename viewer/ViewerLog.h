#pragma once

#include <cstdio>

// The viewer's diagnostics: "GlowbakeView.log" in the working directory,
// truncated at every start. Failures are also echoed on standard error.
constexpr const char* kLogFileName = "GlowbakeView.log";

extern std::FILE* logFile;

// Opens (truncating) the log; false if it cannot be created, in which case
// every later message is dropped instead of written through a null stream.
bool openLog();
void closeLog();

// printf-style line to the log, a no-op while no log is open.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A line about a failure: to the log exactly as logMessage writes it, and to
// standard error prefixed "GlowbakeViewer: ", whether or not a log is open.
void logFailure(const char* format, ...) __attribute__((format(printf, 1, 2)));
