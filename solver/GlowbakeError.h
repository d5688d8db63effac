#pragma once

#include <stdexcept>
#include <string>

// A failure the user can cause (a bad input file, a limit, a write error).
// Thrown where it is found and reported once, by the entry, which then removes
// the unfinished output and exits with status 1.
struct GlowbakeError : std::runtime_error {
    explicit GlowbakeError(const std::string& message) : std::runtime_error(message) {}
};
