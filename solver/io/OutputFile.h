#pragma once

#include <cstdio>
#include <string>

// An output appears complete or not at all: everything is written to a
// temporary file beside the output, which replaces the output by rename only
// in commit(). Destroying an uncommitted OutputFile removes the temporary, so
// a failing run never creates, empties or changes the user's file. A run that
// writes several files finishes them all before it publishes any.
//
// An output that is a symbolic link keeps it: the temporary goes beside the
// file the link leads to and replaces that file. A device or a FIFO is
// written directly, with no temporary (so not all-or-nothing); nothing that
// is not a regular file is ever replaced by one.
struct OutputFile {
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the temporary file in the folder of the output (or of the file
    // its link leads to), or opens a device or FIFO for writing; false when
    // the folder cannot take it or the output names a folder, a socket or a
    // link that leads nowhere it can write. `kind` names the file in error
    // messages.
    bool open(const std::string& outputName, const std::string& kind = "scene file");
    // Flushes, closes and renames; throws GlowbakeError on any failure.
    void commit();
    // The two halves of commit: flush and close, then rename.
    void finish();
    void publish();

    std::FILE* stream() const { return file; }
    const std::string& name() const { return outputName; }

private:
    void discard();

    std::FILE* file = nullptr;
    std::string outputName;
    std::string tempName;
    std::string targetName;  // what the temporary replaces: the output or its link's file
    std::string kind;
};
