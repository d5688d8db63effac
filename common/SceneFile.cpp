#include "SceneFile.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace scene {

namespace {

// "cannot read WHAT", with the system's reason when the stream has one (a
// folder opens, but every read of it fails).
std::string unreadable(std::FILE* file, const std::string& what) {
    std::string problem = "cannot read " + what;
    if (std::ferror(file) && errno != 0) problem += std::string(" (") + std::strerror(errno) + ")";
    return problem;
}

}  // namespace

void writeHeader(std::FILE* file, FileIO& fileIO, int numPatches) { fileIO.writeInt(file, numPatches); }

void writeRecordHeader(std::FILE* file, FileIO& fileIO, const RecordHeader& record) {
    for (const Vec3& c : record.corners) {
        fileIO.writeFloat(file, c.x);
        fileIO.writeFloat(file, c.y);
        fileIO.writeFloat(file, c.z);
    }
    fileIO.writeInt(file, record.textWide);
    fileIO.writeInt(file, record.textHigh);
    for (int t = 0; t < 3; ++t) {
        fileIO.writeInt(file, record.anchorU[t]);
        fileIO.writeInt(file, record.anchorV[t]);
    }
}

void writeTexels(std::FILE* file, FileIO& fileIO, const std::uint32_t* texels, long long count) {
    // Packed big-endian in blocks: one fwrite per block instead of per texel.
    std::vector<unsigned char> block;
    const long long kBlock = 16384;
    for (long long start = 0; start < count; start += kBlock) {
        const long long n = count - start < kBlock ? count - start : kBlock;
        block.resize(static_cast<size_t>(n) * 4);
        for (long long i = 0; i < n; ++i) {
            const std::uint32_t v = texels[start + i];
            block[i * 4 + 0] = static_cast<unsigned char>(v >> 24);
            block[i * 4 + 1] = static_cast<unsigned char>(v >> 16);
            block[i * 4 + 2] = static_cast<unsigned char>(v >> 8);
            block[i * 4 + 3] = static_cast<unsigned char>(v);
        }
        if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) fileIO.ok = false;
    }
}

RecordHeader readRecordHeader(std::FILE* file, FileIO& fileIO) {
    RecordHeader record;
    for (Vec3& c : record.corners) {
        c.x = fileIO.readFloat(file);
        c.y = fileIO.readFloat(file);
        c.z = fileIO.readFloat(file);
    }
    record.textWide = fileIO.readInt(file);
    record.textHigh = fileIO.readInt(file);
    for (int t = 0; t < 3; ++t) {
        record.anchorU[t] = fileIO.readInt(file);
        record.anchorV[t] = fileIO.readInt(file);
    }
    return record;
}

bool validate(std::FILE* file, std::string& problem) {
    if (std::fseek(file, 0, SEEK_END) != 0) {
        problem = "cannot seek in the file";
        return false;
    }
    const long long fileSize = std::ftell(file);
    std::rewind(file);
    if (fileSize < kHeaderBytes) {
        problem = "file is " + std::to_string(fileSize) + " bytes long, too short for the patch count";
        return false;
    }
    FileIO fileIO;
    errno = 0;
    const long long numPatches = fileIO.readInt(file);
    if (!fileIO.ok) {
        problem = unreadable(file, "the patch count");
        return false;
    }
    if (numPatches < 0) {
        problem = "negative patch count " + std::to_string(numPatches);
        return false;
    }
    if (numPatches > (fileSize - kHeaderBytes) / kRecordHeaderBytes) {
        problem = "patch count " + std::to_string(numPatches) + " does not fit in a file of " +
                  std::to_string(fileSize) + " bytes";
        return false;
    }
    long long offset = kHeaderBytes;
    for (long long p = 0; p < numPatches; ++p) {
        if (offset + kRecordHeaderBytes > fileSize) {
            problem = "record of patch " + std::to_string(p) + " runs past the end of the file";
            return false;
        }
        if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) {
            problem = "cannot seek to the record of patch " + std::to_string(p);
            return false;
        }
        const RecordHeader record = readRecordHeader(file, fileIO);
        if (!fileIO.ok) {
            problem = unreadable(file, "the record of patch " + std::to_string(p));
            return false;
        }
        if (record.textWide < 1 || record.textHigh < 1) {
            problem = "patch " + std::to_string(p) + " has texture size " + std::to_string(record.textWide) + " x " +
                      std::to_string(record.textHigh);
            return false;
        }
        // 4 * W * H can exceed 64 bits for sides near 2^31: compare the texel
        // count with the room left instead of multiplying first.
        const long long texelRoom = (fileSize - offset - kRecordHeaderBytes) / 4;
        if (record.textWide > texelRoom / record.textHigh) {
            problem = "texels of patch " + std::to_string(p) + " (" + std::to_string(record.textWide) + " x " +
                      std::to_string(record.textHigh) + ") run past the end of the file";
            return false;
        }
        offset += recordBytes(record.textWide, record.textHigh);
    }
    std::rewind(file);
    return true;
}

}  // namespace scene
