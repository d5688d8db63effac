// The token file as the solver meets it: a run without arguments reads
// "Glowbake.ini" from its working folder, here the scratch folder for the
// length of one input, and walks its words as options.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "CommandLine.h"
#include "FuzzInput.h"

namespace {
int startFolder = -1;  // the working folder libFuzzer's own paths are relative to
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    startFolder = open(".", O_RDONLY | O_DIRECTORY);
    if (startFolder < 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::writeFile(kTokenFileName, data, size);
    const char* const argv[] = {"Glowbake", nullptr};
    Settings settings;
    if (chdir(fuzz::scratchDir().c_str()) != 0) std::abort();
    parseCommandLine(1, argv, settings);
    if (fchdir(startFolder) != 0) std::abort();
    return 0;
}
