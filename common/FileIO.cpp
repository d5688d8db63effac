#include "FileIO.h"

#include <cstring>

FileIO::FileIO() {
    hostBigEndian = true;
    const int one = 1;
    unsigned char firstByte;
    std::memcpy(&firstByte, &one, 1);
    if (firstByte == 1) hostBigEndian = false;
}

std::uint32_t FileIO::readWord(std::FILE* file, std::uint8_t size) {
    unsigned char b[4] = {0, 0, 0, 0};
    if (std::fread(b, 1, size, file) != size) ok = false;
    // Assembling the bytes arithmetically gives the same value on hosts of
    // either byte order.
    return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) |
           std::uint32_t(b[3]);
}

void FileIO::writeWord(std::FILE* file, std::uint32_t word) {
    const unsigned char b[4] = {static_cast<unsigned char>(word >> 24), static_cast<unsigned char>(word >> 16),
                                static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
    if (std::fwrite(b, 1, 4, file) != 4) ok = false;
}

int FileIO::readInt(std::FILE* file) {
    const std::uint32_t word = readWord(file, intSize);
    int returnVal;
    std::memcpy(&returnVal, &word, sizeof returnVal);
    return returnVal;
}

float FileIO::readFloat(std::FILE* file) {
    const std::uint32_t word = readWord(file, floatSize);
    float returnVal;
    std::memcpy(&returnVal, &word, sizeof returnVal);
    return returnVal;
}

void FileIO::writeInt(std::FILE* file, int value) {
    std::uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    writeWord(file, word);
}

void FileIO::writeFloat(std::FILE* file, float value) {
    std::uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    writeWord(file, word);
}
