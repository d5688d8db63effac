#include "Progress.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string formatted(const char* format, va_list args) {
    char small[512];
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return std::string();
    }
    if (static_cast<size_t>(length) < sizeof small) {
        va_end(again);
        return small;
    }
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, again);
    va_end(again);
    return large.data();
}

}  // namespace

void Progress::warn(const char* format, ...) const {
    if (!warning && !text) return;
    va_list args;
    va_start(args, format);
    const std::string line = formatted(format, args);
    va_end(args);
    if (warning) {
        warning(user, line.c_str());
    } else {
        text(user, ("warning: " + line + "\n").c_str());
    }
}

void Progress::say(const char* format, ...) const {
    if (!text) return;
    char small[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        va_end(again);
        text(user, small);
        return;
    }
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, again);
    va_end(again);
    text(user, large.data());
}
