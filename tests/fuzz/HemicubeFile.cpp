// The hemicube file reader on any bytes: tables or GlowbakeError, and no
// allocation beyond what the bytes can fill.
#include <cstdint>

#include "FuzzInput.h"
#include "GlowbakeError.h"
#include "HemicubeFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = fuzz::openBytes(data, size);
    if (file == nullptr) return 0;
    try {
        readHemicubeFile(file, "fuzz.hc");
    } catch (const GlowbakeError&) {
    }
    std::fclose(file);
    return 0;
}
