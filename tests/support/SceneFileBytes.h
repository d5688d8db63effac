#pragma once

// The scene file as the tests read and write it, with their own code: the
// patch count, then per patch three corners (nine floats), the texture's
// width and height, three (u, v) anchors and width x height texels
// (0xAARRGGBB), all big-endian.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

struct SceneRecord {
    std::array<std::array<double, 3>, 3> corners{};
    int width = 0, height = 0;
    std::array<int, 6> anchors{};  // u0 v0 u1 v1 u2 v2
    std::vector<std::uint32_t> texels;

    // Channel 0 red, 1 green, 2 blue of a texel, 0 to 255.
    int channel(size_t texel, int ch) const { return static_cast<int>((texels[texel] >> (16 - 8 * ch)) & 0xFFu); }
    // Mean red, green and blue of the texture.
    std::array<double, 3> meanColour() const {
        std::array<double, 3> sum{0, 0, 0};
        for (size_t t = 0; t < texels.size(); ++t)
            for (int ch = 0; ch < 3; ++ch) sum[ch] += channel(t, ch);
        if (!texels.empty())
            for (double& s : sum) s /= static_cast<double>(texels.size());
        return sum;
    }
};

struct SceneFile {
    bool complete = false;  // every record was whole and nothing followed
    int count = -1;
    std::vector<SceneRecord> patches;
};

inline SceneFile parseSceneFile(const std::string& bytes) {
    SceneFile scene;
    size_t at = 0;
    auto word = [&](std::uint32_t& out) {
        if (at + 4 > bytes.size()) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) out = out << 8 | static_cast<unsigned char>(bytes[at + i]);
        at += 4;
        return true;
    };
    auto integer = [&](int& out) {
        std::uint32_t w;
        if (!word(w)) return false;
        out = static_cast<std::int32_t>(w);
        return true;
    };
    if (!integer(scene.count)) return scene;
    for (int p = 0; p < scene.count; ++p) {
        SceneRecord record;
        for (auto& corner : record.corners) {
            for (double& c : corner) {
                std::uint32_t bits;
                if (!word(bits)) return scene;
                float f;
                std::memcpy(&f, &bits, 4);
                c = f;
            }
        }
        if (!integer(record.width) || !integer(record.height)) return scene;
        for (int& a : record.anchors)
            if (!integer(a)) return scene;
        if (record.width <= 0 || record.height <= 0 ||
            static_cast<std::uint64_t>(record.width) * record.height * 4 > bytes.size() - at)
            return scene;
        record.texels.resize(static_cast<size_t>(record.width) * record.height);
        for (std::uint32_t& t : record.texels) word(t);
        scene.patches.push_back(std::move(record));
    }
    scene.complete = at == bytes.size();
    return scene;
}

// Big-endian 32-bit words.
inline std::string bigEndian(const std::vector<std::int32_t>& values) {
    std::string bytes;
    for (std::int32_t v : values)
        for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((static_cast<std::uint32_t>(v) >> shift) & 0xFF);
    return bytes;
}

// The bytes of one record: its header, then its texels.
inline std::string recordBytes(const SceneRecord& record) {
    std::vector<std::int32_t> words;
    for (const auto& corner : record.corners) {
        for (double c : corner) {
            const float f = static_cast<float>(c);
            std::int32_t bits;
            std::memcpy(&bits, &f, 4);
            words.push_back(bits);
        }
    }
    words.push_back(record.width);
    words.push_back(record.height);
    words.insert(words.end(), record.anchors.begin(), record.anchors.end());
    for (std::uint32_t t : record.texels) words.push_back(static_cast<std::int32_t>(t));
    return bigEndian(words);
}

inline std::string sceneFileBytes(const std::vector<SceneRecord>& records) {
    std::string bytes = bigEndian({static_cast<std::int32_t>(records.size())});
    for (const SceneRecord& r : records) bytes += recordBytes(r);
    return bytes;
}

}  // namespace testsupport
