#pragma once

#include <cstdint>
#include <cstdio>

// Reader and writer of the 4-byte big-endian values that every binary file
// of the system is made of: 32-bit two's-complement integers and IEEE-754
// single floats, most significant byte first whatever the host.
//
// A short read or a failed write clears `ok`, so that a caller can check a
// whole sequence of values once instead of after every call.
struct FileIO {
    bool hostBigEndian;
    std::uint8_t intSize = 4;
    std::uint8_t floatSize = 4;
    bool ok = true;

    FileIO();

    int readInt(std::FILE* file);
    float readFloat(std::FILE* file);
    void writeInt(std::FILE* file, int value);
    void writeFloat(std::FILE* file, float value);

private:
    std::uint32_t readWord(std::FILE* file, std::uint8_t size);
    void writeWord(std::FILE* file, std::uint32_t word);
};
