#include "Hemicube.h"

#include <string>

#include "FileIO.h"
#include "GlowbakeError.h"

Hemicube::Hemicube(float worldWidth, std::FILE* file, const std::string& fileName) : worldWidth_(worldWidth) {
    FileIO fileIO;
    const int n = fileIO.readInt(file);
    if (!fileIO.ok) throw GlowbakeError("hemicube file " + fileName + ": too short to hold the resolution");
    if (n < 2 || n % 2 != 0 || n > kMaxResolution) {
        throw GlowbakeError("hemicube file " + fileName + ": resolution " + std::to_string(n) +
                            " is not an even number from 2 to " + std::to_string(kMaxResolution));
    }
    resolution_ = n;
    const int half = n / 2;

    rowOffsets.resize(n);
    for (int i = 0; i < n; ++i) rowOffsets[i] = i * n;
    top.assign(static_cast<size_t>(n) * n, 0.0f);
    side.assign(static_cast<size_t>(n) * n / 2, 0.0f);

    for (int r = 0; r < half; ++r)
        for (int c = 0; c < half; ++c) top[rowOffsets[r] + c] = fileIO.readFloat(file);
    for (int r = 0; r < half; ++r)
        for (int c = 0; c < half; ++c) side[rowOffsets[r] + c] = fileIO.readFloat(file);
    if (!fileIO.ok) {
        throw GlowbakeError("hemicube file " + fileName + ": ends before its " + std::to_string(2 * half * half) +
                            " delta form factors for resolution " + std::to_string(n) + " (expected " +
                            std::to_string(4 + 8LL * half * half) + " bytes)");
    }

    for (int r = 0; r < half; ++r) {
        for (int c = 0; c < half; ++c) {
            const float t = top[rowOffsets[r] + c], sd = side[rowOffsets[r] + c];
            if (!(t >= 0.0f && t <= 1.0f) || !(sd >= 0.0f && sd <= 1.0f)) {
                throw GlowbakeError("hemicube file " + fileName + ": delta form factor of row " + std::to_string(r) +
                                    ", column " + std::to_string(c) + " is not a number from 0 to 1");
            }
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
