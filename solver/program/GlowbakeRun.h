#pragma once

#include "Cluster.h"

// The whole run of the solver for a command line: banner, settings, files,
// solving and the scene file. Returns the process exit status: 0 on success
// and for -?, 1 on any failure (after its message; the output file is left
// untouched).
int runGlowbake(int argc, const char* const* argv);
// The same as one process of a cluster: process 0 runs as above, sharing
// the work; the others take their shares silently and return 0, or 1 when
// the run fails (process 0 says why).
int runGlowbake(int argc, const char* const* argv, const Cluster& cluster);
