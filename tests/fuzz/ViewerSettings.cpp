// The viewer's settings reader on any bytes, from the settings a fresh
// viewer starts with.
#include <cstdint>

#include "FuzzInput.h"
#include "ViewerSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = fuzz::openBytes(data, size);
    if (file == nullptr) return 0;
    windowSize = WindowSize();
    sceneFileName.clear();
    mouseYSign = 0;
    readSettingsFrom(file, kSettingsFileName);
    std::fclose(file);
    return 0;
}
