#pragma once

// Reading the sample models (scenes/*.mdl) in tests, with plain double
// arithmetic independent of the solver's own code.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SceneFileBytes.h"

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

// Scene files are read by the shared reader.
using ScenePatch = testsupport::SceneRecord;
using testsupport::parseSceneFile;
using testsupport::SceneFile;

}  // namespace scenetest
