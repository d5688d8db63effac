#pragma once

#include <cstdarg>

// What the solver is doing, for a display of progress.
enum class ProgressStage {
    Projection,   // form-factor rows of every group; done/total count groups
    Gathering,    // Gauss-Seidel sweeps of one channel; done counts sweeps
    Subdivision,  // marking and splitting uneven groups
    Baking,       // one texture per input patch; done/total count patches
    FinalGather,  // every texel lit afresh by rays; done/total count texels
};

struct ProgressEvent {
    ProgressStage stage = ProgressStage::Projection;
    int pass = 0;        // subdivision restart the stage belongs to, from 0
    int channel = -1;    // colour channel being gathered, or -1
    long long done = 0;  // units finished in this stage
    long long total = 0; // units the stage has; 0 when not known in advance
};

// How the solver reports what it does. Both outlets are optional: a record
// left as constructed makes the solver silent.
//
// `text` receives the fixed progress text (the lines a run prints on
// standard output) exactly as it is to be printed, in order. `event`
// receives the same progress as numbers. Both are called from one thread at
// a time, though not always the same thread.
struct Progress {
    void (*text)(void* user, const char* chunk) = nullptr;
    void (*event)(void* user, const ProgressEvent& event) = nullptr;
    // One warning about the solve, without a prefix or newline. When it is
    // not set, warnings go to `text` as lines beginning "warning: ".
    void (*warning)(void* user, const char* line) = nullptr;
    void* user = nullptr;

    // Formats like printf and hands the result to `text`.
    void say(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // Formats like printf and hands the result to `warning` (or `text`).
    void warn(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void report(const ProgressEvent& e) const {
        if (event) event(user, e);
    }
};
