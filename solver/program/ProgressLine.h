#pragma once

#include <chrono>
#include <string>

#include "Progress.h"

// One status line kept up to date on standard error while the solver runs,
// when standard error is a terminal: the stage, done / total, the elapsed
// time and an estimate of the time the stage still needs, redrawn at most
// ten times a second and erased at the end. Where standard error is not a
// terminal it writes nothing, so logs and pipes see only the fixed output.
struct ProgressLine {
    using Clock = std::chrono::steady_clock;

    ProgressLine();
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return enabled_; }
    void update(const ProgressEvent& event);
    // Erases the line; later updates draw it again.
    void finish();
    // Writes progress text to standard output. When that is a terminal too,
    // the status line is taken away first and drawn again below the text,
    // so the two never mix on one line.
    void writeText(const char* chunk);

    // The line for an event `stageSeconds` into its stage and `runSeconds`
    // into the run, without the terminal's control characters.
    static std::string describe(const ProgressEvent& event, double stageSeconds, double runSeconds);

private:
    void draw();

    bool enabled_ = false;
    bool sharesTerminal_ = false;  // standard output is a terminal as well
    bool shown_ = false;
    std::string current;  // the line last drawn
    Clock::time_point runStart;
    Clock::time_point stageStart;
    Clock::time_point lastDraw;
    ProgressEvent stage;  // the stage in progress (done/total unused)
    bool haveStage = false;
};
