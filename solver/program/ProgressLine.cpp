#include "ProgressLine.h"

#include <cstdio>
#include <unistd.h>

namespace {

std::string clockText(double seconds) {
    if (!(seconds >= 0.0)) seconds = 0.0;
    const long long s = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    }
    return text;
}

bool sameStage(const ProgressEvent& a, const ProgressEvent& b) {
    return a.stage == b.stage && a.pass == b.pass && a.channel == b.channel;
}

}  // namespace

ProgressLine::ProgressLine()
    : enabled_(isatty(STDERR_FILENO) == 1), sharesTerminal_(enabled_ && isatty(STDOUT_FILENO) == 1) {
    runStart = stageStart = Clock::now();
    lastDraw = runStart - std::chrono::seconds(1);
}

std::string ProgressLine::describe(const ProgressEvent& e, double stageSeconds, double runSeconds) {
    char head[96];
    switch (e.stage) {
        case ProgressStage::Projection:
            std::snprintf(head, sizeof head, "pass %d: projection, group %lld of %lld", e.pass, e.done, e.total);
            break;
        case ProgressStage::Gathering:
            std::snprintf(head, sizeof head, "pass %d: gathering colour %d, sweep %lld", e.pass, e.channel, e.done);
            break;
        case ProgressStage::Subdivision:
            std::snprintf(head, sizeof head, "pass %d: subdivision of %lld groups", e.pass, e.total);
            break;
        case ProgressStage::Baking:
            std::snprintf(head, sizeof head, "baking: patch %lld of %lld", e.done, e.total);
            break;
        case ProgressStage::FinalGather:
            std::snprintf(head, sizeof head, "final gather: texel %lld of %lld", e.done, e.total);
            break;
    }
    std::string line = head;
    line += "  elapsed " + clockText(runSeconds);
    // Time left from the stage's own rate; a stage without a known total
    // (gathering stops when it converges) has none.
    if (e.total > 0 && e.done > 0 && e.done <= e.total && stageSeconds >= 1.0) {
        const double left = stageSeconds * static_cast<double>(e.total - e.done) / static_cast<double>(e.done);
        line += "  stage left ~" + clockText(left);
    }
    return line;
}

void ProgressLine::update(const ProgressEvent& e) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (!haveStage || !sameStage(stage, e)) {
        stage = e;
        haveStage = true;
        stageStart = now;
    }
    if (now - lastDraw < std::chrono::milliseconds(100)) return;
    lastDraw = now;
    const double stageSeconds = std::chrono::duration<double>(now - stageStart).count();
    const double runSeconds = std::chrono::duration<double>(now - runStart).count();
    current = describe(e, stageSeconds, runSeconds);
    draw();
}

void ProgressLine::draw() {
    const std::string line = "\r" + current + "\x1b[K";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::writeText(const char* chunk) {
    if (!shown_ || !sharesTerminal_) {
        std::fputs(chunk, stdout);
        return;
    }
    finish();
    std::fputs(chunk, stdout);
    std::fflush(stdout);
    const size_t length = std::char_traits<char>::length(chunk);
    if (length > 0 && chunk[length - 1] == '\n') draw();
}

void ProgressLine::finish() {
    if (!shown_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}
