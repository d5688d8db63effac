#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "FileIO.h"
#include "Vec3.h"

// The scene file: the only thing that passes from the solver to the viewer.
//
//   int numPatches
//   numPatches records, each:
//     float corner[3][3]            x, y, z of corners 0, 1, 2
//     int   textWide, textHigh      W, H
//     int   anchorU, anchorV  x 3   texel column and row of each corner
//     int   texel[W * H]            0xAARRGGBB, row 0 first
//
// Every value is 4 bytes, big-endian (see FileIO). No magic, no trailer.
namespace scene {

constexpr long kHeaderBytes = 4;
constexpr long kRecordHeaderBytes = 68;

// The fixed part of one patch record, everything but the texels.
struct RecordHeader {
    Vec3 corners[3];
    int textWide = 0;
    int textHigh = 0;
    int anchorU[3] = {0, 0, 0};
    int anchorV[3] = {0, 0, 0};
};

// Bytes of a whole record with a W x H texture.
constexpr long long recordBytes(long long textWide, long long textHigh) {
    return kRecordHeaderBytes + 4 * textWide * textHigh;
}

void writeHeader(std::FILE* file, FileIO& fileIO, int numPatches);
void writeRecordHeader(std::FILE* file, FileIO& fileIO, const RecordHeader& record);
void writeTexels(std::FILE* file, FileIO& fileIO, const std::uint32_t* texels, long long count);

RecordHeader readRecordHeader(std::FILE* file, FileIO& fileIO);

// Walks the whole file from its start without allocating anything from its
// contents: the count and every record's W and H must be sane and every
// record must lie inside the file. On success the stream is back at offset 0.
// On failure `problem` says what is wrong (without the file name).
bool validate(std::FILE* file, std::string& problem);

}  // namespace scene
