#include "HemicubeFile.h"

#include "FileIO.h"
#include "GlowbakeError.h"

namespace {

// Bytes left from the current position, or -1 when the stream cannot tell
// (a pipe).
long long bytesLeft(std::FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return end < here ? -1 : static_cast<long long>(end - here);
}

}  // namespace

HemicubeTables readHemicubeFile(std::FILE* file, const std::string& fileName) {
    const std::string where = "hemicube file " + fileName + ": ";
    FileIO fileIO;
    HemicubeTables tables;
    tables.resolution = fileIO.readInt(file);
    if (!fileIO.ok) throw GlowbakeError(where + "too short to hold the resolution");
    const int n = tables.resolution;
    if (n < 2 || n % 2 != 0 || n > Hemicube::kMaxResolution) {
        throw GlowbakeError(where + hemicubeTablesProblem(tables));
    }
    const int half = n / 2;
    const long long needed = 8LL * half * half;
    const std::string shortMessage = where + "ends before its " + std::to_string(2 * half * half) +
                                     " delta form factors for resolution " + std::to_string(n) + " (expected " +
                                     std::to_string(4 + needed) + " bytes)";
    const long long left = bytesLeft(file);
    if (left >= 0 && left < needed) throw GlowbakeError(shortMessage);

    // A stream that cannot tell its length (a pipe) is read as it comes: the
    // arrays grow with the values actually there, so a short file claiming a
    // large N never costs the memory of that N.
    if (left >= 0) {
        tables.topQuadrant.reserve(static_cast<size_t>(half) * half);
        tables.sideQuadrant.reserve(static_cast<size_t>(half) * half);
    }
    for (int i = 0; i < half * half && fileIO.ok; ++i) tables.topQuadrant.push_back(fileIO.readFloat(file));
    for (int i = 0; i < half * half && fileIO.ok; ++i) tables.sideQuadrant.push_back(fileIO.readFloat(file));
    if (!fileIO.ok) throw GlowbakeError(shortMessage);
    const std::string problem = hemicubeTablesProblem(tables);
    if (!problem.empty()) throw GlowbakeError(where + problem);
    return tables;
}
