#pragma once

// Limits the solver applies so that no input can make it run forever or
// exhaust memory. None of them binds in an ordinary scene.

// Gauss-Seidel sweeps of one colour channel in one pass. A channel whose
// gathering contracts (every reflectance below 1) converges in tens to a few
// hundred sweeps; one that does not (reflectance 1 or more) stops here with a
// warning. Raising it only matters for reflectances very close to 1.
constexpr int kMaxSweeps = 5000;

// Subdivision restarts (passes after the first). Ordinary scenes settle in
// two to six; each pass recomputes every form factor, so more is costly.
constexpr int kMaxRestarts = 16;

// Adaptive splitting never makes elements smaller than the maximum patch area
// divided by this (five levels finer than the initial subdivision).
constexpr float kMinElementAreaDivisor = 1024.0f;

// Form-factor rows are stored sparsely, 8 bytes per non-zero entry. A row
// holds at most one entry per element of the scene (4 per group) and at most
// one per hemicube pixel (3 N^2), so the rows of G groups take at most
// 32 G min(4G, 3N^2) bytes. The solver lets them use up to three quarters of
// physical memory.
constexpr long long kFormFactorEntryBytes = 8;

// The largest group count whose form-factor rows are sure to fit, for a
// hemicube of the given resolution.
long long maxGroupCount(int hemicubeResolution);

// Physical memory of this machine in bytes.
long long physicalMemoryBytes();
