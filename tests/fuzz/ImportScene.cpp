// The scene importer on any bytes, as a file named with the extension
// FUZZ_EXTENSION (one target per extension, since the extension picks
// Assimp's reader and ours around it).
#include <cstdint>

#include "FuzzInput.h"
#include "GlowbakeError.h"
#include "SceneImport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::writeFile(std::string("scene") + FUZZ_EXTENSION, data, size);
    try {
        importScene(path, Progress());
    } catch (const GlowbakeError&) {
    }
    return 0;
}
