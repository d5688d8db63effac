#pragma once

#include <string>
#include <vector>

struct Radiosity;

// Findings about a model, its settings and its solve that point at a likely
// mistake. They change nothing; each is one line of text without its
// newline, for the caller to show (the program prints them on standard
// error, so standard output stays as it is).

// Before the solve: a subdivide threshold far below the brightest emission
// (the thresholds are absolute, in the emission's units).
std::vector<std::string> settingWarnings(const Radiosity& radiosity);

// After the solve: patches that emit nothing and receive no light at all
// (facing away from every light), pairs of patches that share an edge but
// run along it the same way (so face opposite ways), and co-planar
// neighbours whose planes lie apart (their corners are only within the
// corner tolerance, and each is baked with the other's light).
std::vector<std::string> solveWarnings(const Radiosity& radiosity);
