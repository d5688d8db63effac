// The sample models in scenes/: well-formed files, usable materials, and every
// triangle lit on the side that faces into the room.
//
// "Faces into the room" is checked against the viewer's start camera, which
// every sample is laid out for: the camera stands in the room's open space (in
// front of its open side, or inside it). Walking a segment from the camera to
// any point, the surfaces crossed must alternate: first one crossed from its
// lit side to its back (into a solid or out of the room), then one crossed from
// its back to its lit side (out of that solid), and so on. A point just in front
// of a triangle must then be in open space, a point just behind it must not. A
// flipped wall or block face breaks this for its own points at once.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "SceneModelText.h"

using namespace scenetest;

namespace {

// The viewer starts with its eye at (0, 25, 0) and draws the model moved by
// (-15, 10, 5): in model coordinates the eye is here.
const Point kStartEye{15.0, 15.0, -5.0};

enum class Walk { open, solid, inconsistent, ambiguous };

// Follows the segment from `from` to `to` through the model's triangles.
Walk walk(const std::vector<Triangle>& triangles, const Point& from, const Point& to) {
    const Point d = sub(to, from);
    struct Crossing {
        double t;
        bool intoBack;  // crossed from the lit side to the back
    };
    std::vector<Crossing> crossings;
    for (const Triangle& tri : triangles) {
        // Moller-Trumbore on the segment, parameter t in (0, 1).
        const Point e1 = sub(tri.v[1], tri.v[0]), e2 = sub(tri.v[2], tri.v[0]);
        const Point p = cross(d, e2);
        const double det = dot(e1, p);
        const double scaleOfDet = length(d) * length(e1) * length(e2);
        if (std::fabs(det) <= 1e-12 * scaleOfDet) continue;  // parallel to the plane
        const Point s = sub(from, tri.v[0]);
        const double u = dot(s, p) / det;
        const Point q = cross(s, e1);
        const double v = dot(d, q) / det;
        const double t = dot(e2, q) / det;
        if (t <= 0.0 || t >= 1.0) continue;
        const double margin = 1e-7;
        if (u < -margin || v < -margin || u + v > 1.0 + margin) continue;
        // Through an edge or corner, or almost along the plane: try another start.
        if (u < margin || v < margin || u + v > 1.0 - margin) return Walk::ambiguous;
        const double facing = dot(d, tri.normal()) / (length(d) * length(tri.normal()));
        if (std::fabs(facing) < 1e-6) return Walk::ambiguous;
        crossings.push_back({t, facing < 0});
    }
    std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) { return a.t < b.t; });
    bool open = true;
    for (const Crossing& c : crossings) {
        if (c.intoBack != open) return Walk::inconsistent;
        open = !open;
    }
    return open ? Walk::open : Walk::solid;
}

// Walks from the start eye, nudging the start point when the segment grazes
// an edge.
Walk walkFromEye(const std::vector<Triangle>& triangles, const Point& to) {
    Walk result = Walk::ambiguous;
    for (int attempt = 0; attempt < 8 && result == Walk::ambiguous; ++attempt) {
        const Point nudge{0.0137 * attempt, 0.0071 * attempt, -0.0113 * attempt};
        result = walk(triangles, add(kStartEye, nudge), to);
    }
    return result;
}

const char* describe(Walk w) {
    switch (w) {
        case Walk::open: return "open space";
        case Walk::solid: return "behind a surface";
        case Walk::inconsistent: return "a segment crossing surfaces in an impossible order";
        case Walk::ambiguous: return "only edge-grazing segments";
    }
    return "?";
}

}  // namespace

TEST(SampleModels, WellFormedWithUsableMaterialsAndLitTowardsTheRoom) {
    const std::vector<std::string> models = sampleModels();
    ASSERT_GE(models.size(), 3u) << "expected the Cornell room and at least two more samples";
    bool cornellFound = false;
    for (const std::string& path : models) {
        SCOPED_TRACE(path);
        cornellFound = cornellFound || std::filesystem::path(path).filename() == "cornell.mdl";
        const Model model = readModel(path);
        ASSERT_TRUE(model.countRead) << "the file must start with the triangle count";
        EXPECT_FALSE(model.stray) << "only numbers may follow the count";
        EXPECT_EQ(model.leftoverNumbers, 0u) << "the numbers do not make whole triangles";
        EXPECT_EQ(model.declaredCount, static_cast<long>(model.triangles.size()));
        EXPECT_GT(model.triangles.size(), 0u);
        EXPECT_LE(model.triangles.size(), 100u) << "keep samples small: solving is quadratic";
        int emitters = 0;
        for (size_t i = 0; i < model.triangles.size(); ++i) {
            const Triangle& t = model.triangles[i];
            for (int c = 0; c < 3; ++c) {
                // The gathering only converges for reflectances below 1.
                EXPECT_GE(t.reflectance[c], 0.0) << "triangle " << i;
                EXPECT_LT(t.reflectance[c], 1.0) << "triangle " << i;
                EXPECT_GE(t.emission[c], 0.0) << "triangle " << i;
            }
            if (t.emits()) ++emitters;
        }
        EXPECT_GT(emitters, 0) << "a scene without a light solves to black";

        // Every triangle has an area and is lit on the side facing the room.
        Point low{1e300, 1e300, 1e300}, high{-1e300, -1e300, -1e300};
        for (const Triangle& t : model.triangles)
            for (const Point& v : t.v)
                for (int c = 0; c < 3; ++c) {
                    low[c] = std::min(low[c], v[c]);
                    high[c] = std::max(high[c], v[c]);
                }
        const double size = length(sub(high, low));
        ASSERT_GT(size, 0.0);
        const Walk eye = walkFromEye(model.triangles, kStartEye);
        EXPECT_EQ(eye, Walk::open);

        for (size_t i = 0; i < model.triangles.size(); ++i) {
            const Triangle& t = model.triangles[i];
            const double area = t.area();
            EXPECT_GT(area, 1e-6 * size * size) << "triangle " << i << " is degenerate";
            if (!(area > 1e-6 * size * size)) continue;
            const Point n = scale(t.normal(), 1.0 / length(t.normal()));
            const double step = 1e-4 * size;
            const Point front = add(t.centroid(), scale(n, step));
            const Point back = sub(t.centroid(), scale(n, step));
            const Walk inFront = walkFromEye(model.triangles, front);
            const Walk behind = walkFromEye(model.triangles, back);
            EXPECT_EQ(inFront, Walk::open) << "triangle " << i << ": the point in front of its lit side lies in "
                                           << describe(inFront) << " (corners in the wrong order?)";
            EXPECT_EQ(behind, Walk::solid) << "triangle " << i << ": the point behind it lies in "
                                           << describe(behind);
        }
    }
    EXPECT_TRUE(cornellFound) << "scenes/cornell.mdl is the demo's model";
}

// The check above must catch a flipped triangle: turning any one triangle of
// the Cornell room over (swapping two corners) must make it fail there.
TEST(SampleModels, FacingCheckNoticesAFlippedTriangle) {
    const Model model = readModel(std::string(GLOWBAKE_SOURCE_DIR) + "/scenes/cornell.mdl");
    ASSERT_FALSE(model.triangles.empty());
    for (size_t i = 0; i < model.triangles.size(); ++i) {
        std::vector<Triangle> flipped = model.triangles;
        std::swap(flipped[i].v[1], flipped[i].v[2]);
        const Triangle& t = flipped[i];
        const Point n = scale(t.normal(), 1.0 / length(t.normal()));
        const Point front = add(t.centroid(), scale(n, 1e-3));
        EXPECT_NE(walkFromEye(flipped, front), Walk::open) << "flipping triangle " << i << " went unnoticed";
    }
}
