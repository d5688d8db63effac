#include "SceneScreen.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <vector>

#include "GlowbakeError.h"
#include "MtlDiffuse.h"
#include "PathParts.h"

namespace {

[[noreturn]] void refuse(const std::string& fileName, const std::string& why) {
    throw GlowbakeError("model file " + fileName + ": " + why);
}

// A line's first word, blanks and a carriage return around it dropped.
std::string firstWord(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    return word;
}

// The importer's PLY reader takes any file starting "ply", in any letter
// case, for a PLY file.
bool isPlyMagic(const std::string& start) {
    const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    return lower(start[0]) == 'p' && lower(start[1]) == 'l' && lower(start[2]) == 'y';
}

// The keyword as the importer's PLY reader matches it: after blanks and
// tabs, followed by one, a form feed, a NUL or the end of the line.
bool isEndHeader(const std::string& line) {
    static const std::string keyword = "end_header";
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, keyword.size(), keyword) != 0) return false;
    const std::size_t after = start + keyword.size();
    return after == line.size() || std::string(" \t\f\0", 4).find(line[after]) != std::string::npos;
}

// The importer's PLY reader looks for end_header past the end of the file
// and never stops.
void screenPly(const std::string& fileName, std::ifstream& in) {
    std::string head(static_cast<std::size_t>(kMaxPlyHeaderBytes), '\0');
    in.read(&head[0], kMaxPlyHeaderBytes);
    head.resize(static_cast<std::size_t>(in.gcount()));
    const bool whole = static_cast<long>(head.size()) < kMaxPlyHeaderBytes;
    std::replace(head.begin(), head.end(), '\r', '\n');
    std::istringstream lines(head);
    for (std::string line; std::getline(lines, line);) {
        // A last line the bound cut off is not a line of the file.
        if (isEndHeader(line) && (whole || !lines.eof())) return;
    }
    refuse(fileName, whole
                         ? "the PLY header has no end_header line (the file ends in its header)"
                         : "the PLY header has no end_header line within its first " +
                               std::to_string(kMaxPlyHeaderBytes) + " bytes");
}

std::uint32_t littleEndian32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The importer allocates the lengths a binary glTF's header claims before
// it compares them with the file. Version 1 has one scene length after the
// 12-byte header; version 2 a run of chunks, each an 8-byte head (length,
// type) and its bytes.
void screenGlb(const std::string& fileName, std::ifstream& in) {
    in.seekg(0, std::ios::end);
    const std::uint64_t size = static_cast<std::uint64_t>(in.tellg());
    in.seekg(0);
    std::vector<unsigned char> head(20, 0);
    in.read(reinterpret_cast<char*>(head.data()), 20);
    const std::string fileBytes = " (the file holds " + std::to_string(size) + " bytes)";
    if (size < 20) refuse(fileName, "the binary glTF is too short for its header" + fileBytes);
    const std::uint32_t version = littleEndian32(&head[4]);
    const std::uint64_t length = littleEndian32(&head[8]);
    if (length > size)
        refuse(fileName, "the binary glTF header claims " + std::to_string(length) + " bytes" + fileBytes);
    if (version == 1) {
        const std::uint64_t scene = littleEndian32(&head[12]);
        if (20 + scene > length)
            refuse(fileName, "the binary glTF scene at byte 20 claims " + std::to_string(scene) +
                                 " bytes, more than the " + std::to_string(length) + " the header gives the file");
        return;
    }
    std::uint64_t offset = 12;
    for (int chunk = 0; offset + 8 <= length; ++chunk) {
        in.seekg(static_cast<std::streamoff>(offset));
        unsigned char chunkHead[4] = {0, 0, 0, 0};
        in.read(reinterpret_cast<char*>(chunkHead), 4);
        const std::uint64_t chunkLength = littleEndian32(chunkHead);
        if (offset + 8 + chunkLength > length)
            refuse(fileName, "binary glTF chunk " + std::to_string(chunk) + " at byte " + std::to_string(offset) +
                                 " claims " + std::to_string(chunkLength) + " bytes, but only " +
                                 std::to_string(length - offset - 8) + " follow it in the file");
        offset += 8 + chunkLength;
    }
}

// Every statement of a material library belongs to the material its newmtl
// names; the importer's MTL reader writes one that comes before the first
// newmtl through a material that does not exist, and crashes. Such a line
// is refused rather than skipped: it was meant for some material, and only
// the file's author knows which.
void screenMtl(const std::string& fileName, const std::string& library) {
    std::ifstream in(library);
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        const std::string word = firstWord(line);
        if (word.empty() || word[0] == '#') continue;
        if (word == "newmtl") return;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        refuse(fileName, "material library " + library + ", line " + std::to_string(number) + ": \"" + line +
                             "\" comes before the first newmtl; every statement must follow the newmtl of its "
                             "material");
    }
}

}  // namespace

void screenSceneFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return;
    char magic[4] = {0, 0, 0, 0};
    in.read(magic, 4);
    in.clear();
    in.seekg(0);
    const std::string start(magic, 4);
    if (start == "glTF") {
        screenGlb(fileName, in);
    } else if (isPlyMagic(start)) {
        screenPly(fileName, in);
    }
    if (isObjName(fileName)) {
        // A library that is not there is replaced by the OBJ's name with .mtl.
        const std::string fallback = fileName.substr(0, fileName.size() - 3) + "mtl";
        for (const std::string& library : mtlLibraryPaths(fileName))
            screenMtl(fileName, std::ifstream(library) ? library : fallback);
    }
}
