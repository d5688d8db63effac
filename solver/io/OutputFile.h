#pragma once

#include <cstdio>
#include <string>

// The scene file appears complete or not at all: everything is written to a
// temporary file beside the output, which replaces the output by rename only
// in commit(). Destroying an uncommitted OutputFile removes the temporary, so
// a failing run never creates, empties or changes the user's file.
struct OutputFile {
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the temporary file in the output's folder; false when the
    // folder cannot take it or the output names a folder.
    bool open(const std::string& outputName);
    // Flushes, closes and renames; throws GlowbakeError on any failure.
    void commit();

    std::FILE* stream() const { return file; }
    const std::string& name() const { return outputName; }

private:
    void discard();

    std::FILE* file = nullptr;
    std::string outputName;
    std::string tempName;
};
