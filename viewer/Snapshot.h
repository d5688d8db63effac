#pragma once

#include <string>
#include <vector>

// One-frame capture for `GlowbakeViewer --snapshot PATH.png`: the first
// displayed frame is read back and written as an RGB PNG, then the program ends.

// Empty unless a snapshot was requested on the command line.
extern std::string snapshotPath;

// Exit status when the PNG cannot be written.
constexpr int kSnapshotFailedStatus = 4;

// Writes `rgb` (height rows of width RGB triples, top row first) as a PNG.
bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);

// Reads the back buffer of the current window (bottom row first in the GL)
// and writes it top row first. False if the file cannot be written.
bool saveFrame(const std::string& path, int width, int height);
