#pragma once

#include "PngImage.h"
#include "TestSupport.h"

#include <sys/types.h>

#include <string>
#include <vector>

// Running the real GlowbakeViewer (and X tools) from tests: a private Xvfb
// server, child processes in a scratch folder (testsupport::ScratchDir), and
// PNG reading.
namespace viewertest {

// An Xvfb server on a display number it picks itself (-displayfd), so that
// tests running in parallel never collide. Stopped on destruction.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct Finished {
    int status = -1;      // exit status; -1 if killed by a signal or timed out
    bool timedOut = false;
    std::string out;      // standard output
    std::string err;      // standard error
};

// A child process started in `folder` with DISPLAY set to `display` (unset
// if empty) and Mesa forced to software rendering.
class ChildProcess {
public:
    ChildProcess(const std::string& folder, const std::vector<std::string>& argv, const std::string& display);
    ~ChildProcess();  // kills the child if still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits up to `seconds`, then kills the child and reports a timeout.
    Finished wait(double seconds);

private:
    pid_t pid_ = -1;
    std::string outPath_;
    std::string errPath_;
};

// Starts, waits and collects in one go.
Finished run(const std::string& folder, const std::vector<std::string>& argv, const std::string& display,
             double seconds = 20.0);

// An 8-bit RGB or RGBA PNG as RGB triples, top row first.
using Image = testsupport::PngImage;
using testsupport::readPng;

}  // namespace viewertest
