#pragma once

// The whole run of the solver for a command line: banner, settings, files,
// solving and the scene file. Returns the process exit status: 0 on success
// and for -?, 1 on any failure (after its message; the output file is left
// untouched).
int runGlowbake(int argc, const char* const* argv);
