#pragma once

// Shared helpers for the solver's unit tests: hemicube files built in memory,
// patch groups made by hand, analytic form factors and big-endian readers.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Color.h"
#include "GrowArray.h"
#include "Hemicube.h"
#include "Model.h"
#include "PatchGroup.h"
#include "Progress.h"
#include "SolverSettings.h"
#include "Tri.h"

namespace solvertest {

inline void putWord(std::string& out, std::uint32_t w) {
    out.push_back(static_cast<char>(w >> 24));
    out.push_back(static_cast<char>(w >> 16));
    out.push_back(static_cast<char>(w >> 8));
    out.push_back(static_cast<char>(w));
}

inline void putFloat(std::string& out, float f) {
    std::uint32_t w;
    std::memcpy(&w, &f, 4);
    putWord(out, w);
}

inline std::uint32_t wordAt(const std::string& bytes, size_t offset) {
    const auto b = [&](size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

inline int intAt(const std::string& bytes, size_t offset) { return static_cast<int>(wordAt(bytes, offset)); }

inline float floatAt(const std::string& bytes, size_t offset) {
    const std::uint32_t w = wordAt(bytes, offset);
    float f;
    std::memcpy(&f, &w, 4);
    return f;
}

// A hemicube file: N, then the top and side quadrants, row by row.
inline std::string hemicubeFile(int n, const std::vector<float>& topQuadrant, const std::vector<float>& sideQuadrant) {
    std::string out;
    putWord(out, static_cast<std::uint32_t>(n));
    for (float v : topQuadrant) putFloat(out, v);
    for (float v : sideQuadrant) putFloat(out, v);
    return out;
}

// The delta form factors of a unit hemicube (top face at distance 1, faces
// spanning [-1, 1], pixel side d = 2/N): d^2 / (pi (x^2 + y^2 + 1)^2) on the
// top face, z d^2 / (pi (x^2 + z^2 + 1)^2) on a side face.
inline HemicubeTables unitHemicubeTables(int n) {
    const int half = n / 2;
    const double d = 2.0 / n;
    const double pi = 3.14159265358979323846;
    std::vector<float> top, side;
    for (int r = 0; r < half; ++r) {
        for (int c = 0; c < half; ++c) {
            const double x = -1.0 + (c + 0.5) * d, y = -1.0 + (r + 0.5) * d;
            const double q = x * x + y * y + 1.0;
            top.push_back(static_cast<float>(d * d / (pi * q * q)));
        }
    }
    for (int r = 0; r < half; ++r) {
        for (int c = 0; c < half; ++c) {
            const double x = -1.0 + (c + 0.5) * d, z = (r + 0.5) * d;
            const double q = x * x + z * z + 1.0;
            side.push_back(static_cast<float>(z * d * d / (pi * q * q)));
        }
    }
    return HemicubeTables{n, top, side};
}

inline std::string unitHemicubeFile(int n) {
    const HemicubeTables t = unitHemicubeTables(n);
    return hemicubeFile(n, t.topQuadrant, t.sideQuadrant);
}

inline std::unique_ptr<Hemicube> unitHemicube(int n, float worldWidth) {
    return std::make_unique<Hemicube>(worldWidth, unitHemicubeTables(n));
}

inline Tri tri(float ax, float ay, float az, float bx, float by, float bz, float cx, float cy, float cz) {
    return Tri(Vec3(ax, ay, az), Vec3(bx, by, bz), Vec3(cx, cy, cz));
}

// Patch groups made by hand, with the colours they share.
struct GroupSet {
    GroupArray groups;
    std::vector<std::unique_ptr<Color>> colors;
    const Hemicube* hemicube = nullptr;

    explicit GroupSet(const Hemicube* cube) : hemicube(cube) {}

    PatchGroup* add(const Tri& t, int patchId, Color reflectance = Color(0.5f, 0.5f, 0.5f, 1.0f),
                    Color emission = Color(0.0f, 0.0f, 0.0f, 1.0f)) {
        colors.push_back(std::make_unique<Color>(reflectance));
        const Color* refl = colors.back().get();
        colors.push_back(std::make_unique<Color>(emission));
        const Color* emit = colors.back().get();
        auto g = std::make_unique<PatchGroup>();
        g->initFromTri(t, patchId, refl, emit, Color(0.0f, 0.0f, 0.0f, 1.0f), hemicube);
        PatchGroup* added = g.get();
        groups.push(std::move(g));
        return added;
    }

    void computeAll() {
        for (int i = 0; i < groups.count(); ++i) groups[i]->computeFormFactors(groups);
    }
};

// Sum of the entries of one row that belong to group g.
inline double groupShare(const PatchGroup& receiver, int element, int g) {
    double s = 0.0;
    for (int k = 0; k < 4; ++k) s += receiver.formFactors[element][4 * g + k];
    return s;
}

inline double rowSum(const PatchGroup& receiver, int element) {
    double s = 0.0;
    for (int i = 0; i < 4 * receiver.formFactorGroupCount; ++i) s += receiver.formFactors[element][i];
    return s;
}

// Form factor from a differential area to a parallel rectangle at height c
// with one corner straight above it and sides a and b; odd in a and in b.
inline double cornerRectangle(double a, double b, double c) {
    const double A = a / c, B = b / c;
    const double pi = 3.14159265358979323846;
    const double sa = std::sqrt(1.0 + A * A), sb = std::sqrt(1.0 + B * B);
    return (A / sa * std::atan(B / sa) + B / sb * std::atan(A / sb)) / (2.0 * pi);
}

// Form factor from a differential area at (x, y) to the parallel rectangle
// [x1, x2] x [y1, y2] at height c above it (facing it).
inline double pointToRectangle(double x, double y, double x1, double x2, double y1, double y2, double c) {
    return cornerRectangle(x2 - x, y2 - y, c) - cornerRectangle(x1 - x, y2 - y, c) -
           cornerRectangle(x2 - x, y1 - y, c) + cornerRectangle(x1 - x, y1 - y, c);
}

// A closed axis-aligned cube [lo, hi]^3 as 12 triangles whose fronts face
// inward; each is given as (v0, v1, v2).
inline std::vector<Tri> inwardCube(float lo, float hi) {
    const float L = lo, H = hi;
    // Each face as four corners around it, split along the c0-c2 diagonal.
    const Vec3 p[8] = {Vec3(L, L, L), Vec3(H, L, L), Vec3(H, H, L), Vec3(L, H, L),
                       Vec3(L, L, H), Vec3(H, L, H), Vec3(H, H, H), Vec3(L, H, H)};
    const int faces[6][4] = {
        {0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 2, 6, 7}, {0, 3, 7, 4}, {1, 2, 6, 5},
    };
    std::vector<Tri> out;
    const float mid = 0.5f * (lo + hi);
    const Vec3 centre(mid, mid, mid);
    for (const auto& f : faces) {
        for (const Tri& t : {Tri(p[f[0]], p[f[1]], p[f[2]]), Tri(p[f[0]], p[f[2]], p[f[3]])}) {
            // Wind each triangle so that its front faces the cube's centre.
            if (dot(t.normal(), centre - t.centroid()) > 0.0f) {
                out.push_back(t);
            } else {
                out.emplace_back(t.vertices[0], t.vertices[2], t.vertices[1]);
            }
        }
    }
    return out;
}

// Model file text for triangles with one reflectance and emission each.
struct ModelPatch {
    Tri t;
    Color reflectance;
    Color emission;
};

inline std::string modelText(const std::vector<ModelPatch>& patches) {
    std::string s = std::to_string(patches.size()) + "\n";
    char buf[512];
    for (const ModelPatch& p : patches) {
        const Vec3* v = p.t.vertices;
        std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g  %.9g %.9g %.9g  %.9g %.9g %.9g  %.9g %.9g %.9g  %.9g %.9g %.9g\n",
                      v[0].x, v[0].y, v[0].z, v[1].x, v[1].y, v[1].z, v[2].x, v[2].y, v[2].z, p.reflectance.r,
                      p.reflectance.g, p.reflectance.b, p.emission.r, p.emission.g, p.emission.b);
        s += buf;
    }
    return s;
}

// The same patches as a model in memory.
inline Model modelOf(const std::vector<ModelPatch>& patches) {
    Model m;
    for (const ModelPatch& p : patches) {
        m.patches.push_back(p.t);
        m.colors.push_back({p.reflectance, p.emission});
    }
    m.meshes.push_back({"model", "", 0, static_cast<int>(patches.size())});
    return m;
}

inline SolverSettings settingsOf(float worldWidth, float maxArea, float iter, float sub, float gamma = 1.0f,
                                 int textSize = 16) {
    SolverSettings s;
    s.hemicubeWorldWide = worldWidth;
    s.maxPatchArea = maxArea;
    s.iterThreshold = iter;
    s.subDivideThreshold = sub;
    s.gamma = gamma;
    s.textSize = textSize;
    return s;
}

// The triangle wound so that its lit side faces `towards`.
inline Tri facing(Tri t, const Vec3& towards) {
    if (dot(t.normal(), towards) < 0.0f) std::swap(t.vertices[1], t.vertices[2]);
    return t;
}

// Two triangles covering the axis-aligned rectangle [x1, x2] x [z1, z2] at
// height y, lit side up or down.
inline void addRectangleY(std::vector<ModelPatch>& patches, float x1, float x2, float z1, float z2, float y, bool up,
                   Color reflectance, Color emission) {
    const Vec3 towards(0.0f, up ? 1.0f : -1.0f, 0.0f);
    patches.push_back({facing(Tri(Vec3(x1, y, z1), Vec3(x2, y, z1), Vec3(x2, y, z2)), towards), reflectance, emission});
    patches.push_back({facing(Tri(Vec3(x1, y, z1), Vec3(x2, y, z2), Vec3(x1, y, z2)), towards), reflectance, emission});
}

// Barycentric weights of a point of a triangle's plane.
inline void barycentric(const Tri& t, double px, double py, double pz, double w[3]) {
    const Vec3 &a = t.vertices[0], &b = t.vertices[1], &c = t.vertices[2];
    const double e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
    const double d[3] = {px - a.x, py - a.y, pz - a.z};
    auto dp = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    const double d11 = dp(e1, e1), d12 = dp(e1, e2), d22 = dp(e2, e2), d1 = dp(d, e1), d2 = dp(d, e2);
    const double den = d11 * d22 - d12 * d12;
    w[1] = (d22 * d1 - d12 * d2) / den;
    w[2] = (d11 * d2 - d12 * d1) / den;
    w[0] = 1.0 - w[1] - w[2];
}

// A closed 4 m room (walls of reflectance 0.6) with a 1 m emitting panel
// under the ceiling and a 0.8 m box on the floor below it.
inline std::vector<ModelPatch> litRoom() {
    std::vector<ModelPatch> patches;
    const Color wall(0.6f, 0.6f, 0.6f, 1.0f), none(0.0f, 0.0f, 0.0f, 1.0f);
    for (const Tri& t : inwardCube(0.0f, 4.0f)) patches.push_back({t, wall, none});
    addRectangleY(patches, 1.5f, 2.5f, 1.5f, 2.5f, 3.95f, false, Color(0.0f, 0.0f, 0.0f, 1.0f),
                  Color(20.0f, 20.0f, 20.0f, 1.0f));
    for (Tri t : inwardCube(0.0f, 0.8f)) {
        std::swap(t.vertices[1], t.vertices[2]);  // fronts outward
        t.translate(Vec3(1.6f, 0.0f, 1.6f));
        patches.push_back({t, Color(0.4f, 0.5f, 0.6f, 1.0f), none});
    }
    return patches;
}

// Progress that goes nowhere, and progress text collected in a string.
inline const Progress kSilent{};

struct TextCollector {
    std::string text;
    Progress progress;
    TextCollector() {
        progress.user = &text;
        progress.text = [](void* user, const char* chunk) { *static_cast<std::string*>(user) += chunk; };
    }
    TextCollector(const TextCollector&) = delete;
    TextCollector& operator=(const TextCollector&) = delete;
};

}  // namespace solvertest
