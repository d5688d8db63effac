// The text model reader on any bytes: it returns a model or throws
// GlowbakeError, nothing else.
#include <cstdint>

#include "FuzzInput.h"
#include "GlowbakeError.h"
#include "ModelFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = fuzz::openBytes(data, size);
    if (file == nullptr) return 0;
    try {
        readModel(file, "fuzz.mdl", Progress());
    } catch (const GlowbakeError&) {
    }
    std::fclose(file);
    return 0;
}
