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
// 32 G min(4G, 3N^2) bytes. Every group also costs groupBytes() of its own.
// Rows and groups together may use up to three quarters of physical memory.
constexpr long long kFormFactorEntryBytes = 8;

// What one element costs while its patch (or a patch it neighbours) is
// baked: its texture point and Triangle's vertex, triangles and edges.
constexpr long long kBakeBytesPerElement = 256;

// Bytes a group costs besides its form-factor rows, with `threads`
// projecting threads: the record and its allocation, its slot in the group
// array (three while the array doubles), the gathering's flat copies of a
// channel, the final radiosities and the baking's copy of them, the baking of
// its elements, and each thread's dense row and touched bits.
long long groupBytes(int threads);

// The largest group count whose form-factor rows and groups are sure to fit,
// for a hemicube of the given resolution.
long long maxGroupCount(int hemicubeResolution);

// The same for rows cast by `rays` rays: a row then holds at most one entry
// per ray, plus one per emitting element the rays leave to the emitter part
// (at most kMaxExplicitEmitterElements).
long long maxGroupCountForRays(int rays);

// Co-planar neighbour lists may take up to an eighth of physical memory.
long long neighborListBudget();

// Physical memory of this machine in bytes.
long long physicalMemoryBytes();
