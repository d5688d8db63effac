#include "Hemicube.h"

#include "GlowbakeError.h"

std::string hemicubeTablesProblem(const HemicubeTables& tables) {
    const int n = tables.resolution;
    if (n < 2 || n % 2 != 0 || n > Hemicube::kMaxResolution) {
        return "resolution " + std::to_string(n) + " is not an even number from 2 to " +
               std::to_string(Hemicube::kMaxResolution);
    }
    const size_t half = static_cast<size_t>(n / 2);
    if (tables.topQuadrant.size() != half * half || tables.sideQuadrant.size() != half * half) {
        return "a quadrant does not hold the " + std::to_string(half * half) + " delta form factors of resolution " +
               std::to_string(n);
    }
    for (size_t r = 0; r < half; ++r) {
        for (size_t c = 0; c < half; ++c) {
            const float t = tables.topQuadrant[r * half + c], sd = tables.sideQuadrant[r * half + c];
            if (!(t >= 0.0f && t <= 1.0f) || !(sd >= 0.0f && sd <= 1.0f)) {
                return "delta form factor of row " + std::to_string(r) + ", column " + std::to_string(c) +
                       " is not a number from 0 to 1";
            }
        }
    }
    return "";
}

Hemicube::Hemicube(float worldWidth, const HemicubeTables& tables) : worldWidth_(worldWidth) {
    const std::string problem = hemicubeTablesProblem(tables);
    if (!problem.empty()) throw GlowbakeError("hemicube: " + problem);
    const int n = tables.resolution;
    resolution_ = n;
    const int half = n / 2;

    rowOffsets.resize(n);
    for (int i = 0; i < n; ++i) rowOffsets[i] = i * n;
    top.assign(static_cast<size_t>(n) * n, 0.0f);
    side.assign(static_cast<size_t>(n) * n / 2, 0.0f);
    for (int r = 0; r < half; ++r) {
        for (int c = 0; c < half; ++c) {
            top[rowOffsets[r] + c] = tables.topQuadrant[static_cast<size_t>(r) * half + c];
            side[rowOffsets[r] + c] = tables.sideQuadrant[static_cast<size_t>(r) * half + c];
        }
    }

    // Each row is made symmetric left to right, then the completed top row is
    // copied to its mirror row.
    for (int r = 0; r < half; ++r) {
        for (int c = 0; c < half; ++c) {
            top[rowOffsets[r] + n - 1 - c] = top[rowOffsets[r] + c];
            side[rowOffsets[r] + n - 1 - c] = side[rowOffsets[r] + c];
        }
        for (int c = 0; c < n; ++c) top[rowOffsets[n - 1 - r] + c] = top[rowOffsets[r] + c];
    }
}
