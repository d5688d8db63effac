#pragma once

// Reading the sample models (scenes/*.mdl) and scene files in tests, with
// plain double arithmetic independent of the solver's own code.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace scenetest {

using Point = std::array<double, 3>;

inline Point sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Point add(const Point& a, const Point& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Point scale(const Point& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Point cross(const Point& a, const Point& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double length(const Point& a) { return std::sqrt(dot(a, a)); }

struct Triangle {
    std::array<Point, 3> v;
    Point reflectance;
    Point emission;

    // The lit side: (v2 - v0) x (v1 - v0), not normalised.
    Point normal() const { return cross(sub(v[2], v[0]), sub(v[1], v[0])); }
    double area() const { return 0.5 * length(normal()); }
    Point centroid() const { return scale(add(add(v[0], v[1]), v[2]), 1.0 / 3.0); }
    bool emits() const { return emission[0] > 0 || emission[1] > 0 || emission[2] > 0; }
};

struct Model {
    bool countRead = false;
    long declaredCount = -1;
    std::vector<Triangle> triangles;
    size_t leftoverNumbers = 0;  // numbers after the last complete triangle
    bool stray = false;          // a word that is not a number
};

inline Model readModel(const std::string& path) {
    Model model;
    std::ifstream in(path);
    std::string word;
    std::vector<double> numbers;
    if (in >> word) {
        char* end = nullptr;
        model.declaredCount = std::strtol(word.c_str(), &end, 10);
        model.countRead = end != word.c_str() && *end == '\0';
    }
    while (in >> word) {
        char* end = nullptr;
        const double value = std::strtod(word.c_str(), &end);
        if (end == word.c_str() || *end != '\0') {
            model.stray = true;
            break;
        }
        numbers.push_back(value);
    }
    size_t i = 0;
    for (; i + 15 <= numbers.size(); i += 15) {
        Triangle t;
        for (int c = 0; c < 3; ++c) t.v[c] = {numbers[i + 3 * c], numbers[i + 3 * c + 1], numbers[i + 3 * c + 2]};
        t.reflectance = {numbers[i + 9], numbers[i + 10], numbers[i + 11]};
        t.emission = {numbers[i + 12], numbers[i + 13], numbers[i + 14]};
        model.triangles.push_back(t);
    }
    model.leftoverNumbers = numbers.size() - i;
    return model;
}

inline std::vector<std::string> sampleModels() {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(GLOWBAKE_SOURCE_DIR) + "/scenes"))
        if (entry.path().extension() == ".mdl") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A scene file: the patch count, then per patch three corners, the texture
// size, three anchors and W x H texels (0xAARRGGBB), all big-endian.
struct ScenePatch {
    std::array<Point, 3> corners;
    int width = 0, height = 0;
    std::array<int, 6> anchors{};
    std::vector<uint32_t> texels;

    // Mean red, green and blue of the texture, 0 to 255.
    Point meanColour() const {
        Point sum{0, 0, 0};
        for (uint32_t t : texels) sum = add(sum, Point{double((t >> 16) & 255), double((t >> 8) & 255), double(t & 255)});
        return texels.empty() ? sum : scale(sum, 1.0 / texels.size());
    }
};

struct SceneFile {
    bool complete = false;  // every record was whole and nothing followed
    int count = -1;
    std::vector<ScenePatch> patches;
};

inline SceneFile parseSceneFile(const std::string& bytes) {
    SceneFile scene;
    size_t at = 0;
    auto word = [&](uint32_t& out) {
        if (at + 4 > bytes.size()) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) out = out << 8 | static_cast<unsigned char>(bytes[at + i]);
        at += 4;
        return true;
    };
    auto real = [&](double& out) {
        uint32_t bits;
        if (!word(bits)) return false;
        float f;
        std::memcpy(&f, &bits, 4);
        out = f;
        return true;
    };
    uint32_t n;
    if (!word(n)) return scene;
    scene.count = static_cast<int32_t>(n);
    for (int p = 0; p < scene.count; ++p) {
        ScenePatch patch;
        for (auto& corner : patch.corners)
            for (double& c : corner)
                if (!real(c)) return scene;
        uint32_t w, h;
        if (!word(w) || !word(h)) return scene;
        patch.width = static_cast<int32_t>(w);
        patch.height = static_cast<int32_t>(h);
        for (int& a : patch.anchors) {
            uint32_t v;
            if (!word(v)) return scene;
            a = static_cast<int32_t>(v);
        }
        if (patch.width <= 0 || patch.height <= 0 ||
            static_cast<uint64_t>(patch.width) * patch.height * 4 > bytes.size() - at)
            return scene;
        patch.texels.resize(static_cast<size_t>(patch.width) * patch.height);
        for (uint32_t& t : patch.texels) word(t);
        scene.patches.push_back(std::move(patch));
    }
    scene.complete = at == bytes.size();
    return scene;
}

}  // namespace scenetest
