#pragma once

// What every fuzz target shares: the input as a stream or as a file in a
// private scratch folder, and a quiet standard output.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzz {

// The bytes as a read-only stream (a file of no bytes when there are none,
// which fmemopen refuses). The caller closes it.
inline std::FILE* openBytes(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return std::fopen("/dev/null", "rb");
    return fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
}

// A folder of this process's own under TMPDIR (or /tmp), made on first use
// and removed, with the files named here, when the process ends normally.
inline const std::string& scratchDir() {
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/glowbake-fuzz-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) std::abort();
        return pattern;
    }();
    return dir;
}

// Writes the bytes to NAME in the scratch folder and returns its path.
inline std::string writeFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    static std::string written[8];
    static int count = 0;
    const std::string path = scratchDir() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    if (std::fclose(file) != 0) std::abort();
    bool known = false;
    for (int i = 0; i < count; ++i) known = known || written[i] == path;
    if (!known && count < 8) {
        written[count++] = path;
        if (count == 1) {
            std::atexit([] {
                for (int i = 0; i < count; ++i) std::remove(written[i].c_str());
                rmdir(scratchDir().c_str());
            });
        }
    }
    return path;
}

// Standard output to /dev/null: the readers' progress text is noise here.
// Sanitizer and libFuzzer reports go to standard error.
inline void quietStdout() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
}

}  // namespace fuzz
