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

// Bytes of form-factor storage per pair of groups: four rows of four floats.
constexpr long long kFormFactorBytesPerGroupPair = 64;

// The largest group count whose form-factor rows fit in this machine's
// physical memory.
long long maxGroupCount();

// Physical memory of this machine in bytes.
long long physicalMemoryBytes();
