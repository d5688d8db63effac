// The scene importer on the files Blender's exporters wrote
// (tests/fixtures, made by scripts/make-fixtures.sh), checked against what
// the fixture script built: positions from its transforms worked out by hand,
// the texture's mean from the PNG decoded here, the colours it set.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "ModelLoad.h"
#include "PngImage.h"
#include "SceneImport.h"

namespace {

using Point = std::array<double, 3>;

std::string fixture(const std::string& name) { return std::string(GLOWBAKE_SOURCE_DIR) + "/tests/fixtures/" + name; }

Point at(const Vec3& v) { return {v.x, v.y, v.z}; }

// The lit side of a model triangle: (v2 - v0) x (v1 - v0).
Point litSide(const Tri& t) {
    const Point a = at(t.vertices[0]), b = at(t.vertices[1]), c = at(t.vertices[2]);
    const Point u{c[0] - a[0], c[1] - a[1], c[2] - a[2]}, v{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

double srgbToLinear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

// The linear mean of the fixture's texture, decoded with libpng.
Point textureMean() {
    testsupport::PngImage image;
    EXPECT_TRUE(testsupport::readPng(fixture("quad_texture.png"), image));
    Point sum{0, 0, 0};
    const size_t texels = static_cast<size_t>(image.width) * image.height;
    for (size_t i = 0; i < texels; ++i)
        for (int k = 0; k < 3; ++k) sum[k] += srgbToLinear(image.rgb[3 * i + k] / 255.0);
    for (double& s : sum) s /= texels;
    return sum;
}

// The fixture script's quad (0,0,0) (1,0,0) (1,1,0) (0,1,0) in its object:
// turned 90 degrees about z, scaled by 2, moved by (1, 2, 3), under a parent
// moved by (0, 0, 5): (x, y, z) -> (1 - 2y, 2 + 2x, 8 + 2z).
const std::array<Point, 4> kMovedQuad = {Point{1, 2, 8}, Point{1, 4, 8}, Point{-1, 4, 8}, Point{-1, 2, 8}};
const std::array<Point, 4> kUnitQuad = {Point{0, 0, 0}, Point{1, 0, 0}, Point{1, 1, 0}, Point{0, 1, 0}};

enum class Colours { None, Grey, Textured };

struct QuadCase {
    const char* file;
    std::array<Point, 4> corners;  // where the quad must land, before `scale`
    double scale;
    Colours colours;  // None: the format has no materials
    double grey;      // the reflectance when Grey
    double emission;  // every channel
    const char* mesh;
    const char* material;
};

// Blender writes the object's transform into the OBJ's, PLY's and STL's
// vertices and keeps it on the glTF, FBX and COLLADA nodes; all must land in
// the same place. The OBJ and PLY keep the quad as one four-corner face. FBX
// is in centimetres. Blender's COLLADA exporter writes the emission colour
// without its strength.
const QuadCase kQuadCases[] = {
    {"transform.glb", kMovedQuad, 1, Colours::Grey, 0.5, 15.0, "MovedMesh", "Lamp"},
    {"transform.obj", kMovedQuad, 1, Colours::Grey, 0.5, 15.0, "Moved", "Lamp"},
    {"transform.fbx", kMovedQuad, 100, Colours::Grey, 0.5, 15.0, "MovedMesh", "Lamp"},
    {"transform.dae", kMovedQuad, 1, Colours::Grey, 0.5, 1.0, "MovedMesh-mesh", "Lamp"},
    {"transform.ply", kMovedQuad, 1, Colours::None, 0, 0, "", ""},
    {"transform.stl", kMovedQuad, 1, Colours::None, 0, 0, "", ""},
    {"textured_quad.gltf", kUnitQuad, 1, Colours::Textured, 0, 0.0, "QuadMesh", "Textured"},
    {"textured_quad.glb", kUnitQuad, 1, Colours::Textured, 0, 0.0, "QuadMesh", "Textured"},
    {"textured_quad.obj", kUnitQuad, 1, Colours::Textured, 0, 0.0, "Quad", "Textured"},
};

}  // namespace

TEST(ImportedScene, QuadsLandWhereTheirTransformsPutThemWithTheirMaterials) {
    const Point mean = textureMean();
    for (const QuadCase& q : kQuadCases) {
        SCOPED_TRACE(q.file);
        const Model model = importScene(fixture(q.file), Progress());
        ASSERT_EQ(model.patches.size(), 2u) << "a quad is two triangles";
        ASSERT_EQ(model.colors.size(), 2u);
        ASSERT_EQ(model.meshes.size(), 1u);
        if (q.colours != Colours::None) {
            EXPECT_EQ(model.meshes[0].name, q.mesh);
            EXPECT_EQ(model.meshes[0].material, q.material);
        }
        EXPECT_EQ(model.meshes[0].firstPatch, 0);
        EXPECT_EQ(model.meshes[0].patchCount, 2);

        // Every corner is a corner of the quad, and the two triangles cover it.
        double area = 0.0;
        for (const Tri& t : model.patches) {
            for (const Vec3& v : t.vertices) {
                bool onQuad = false;
                for (const Point& c : q.corners) {
                    const double e = 1e-5 * q.scale;
                    onQuad |= std::fabs(v.x - q.scale * c[0]) < e && std::fabs(v.y - q.scale * c[1]) < e &&
                              std::fabs(v.z - q.scale * c[2]) < e;
                }
                EXPECT_TRUE(onQuad) << v.x << " " << v.y << " " << v.z;
            }
            // Counter-clockwise seen from +z in Blender: lit towards +z.
            const Point n = litSide(t);
            EXPECT_GT(n[2], 0.0);
            EXPECT_NEAR(n[0], 0.0, 1e-5 * n[2]);
            EXPECT_NEAR(n[1], 0.0, 1e-5 * n[2]);
            area += 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        }
        const double side =
            q.scale * std::hypot(q.corners[1][0] - q.corners[0][0], q.corners[1][1] - q.corners[0][1]);
        EXPECT_NEAR(area, side * side, 1e-5 * side * side);

        // The quad's diagonal, 1e-4 of it: the scene's corner tolerance.
        const double diagonal = std::sqrt(2.0) * side;
        for (const Tri& t : model.patches) EXPECT_NEAR(t.vertexTolerance, 1e-4 * diagonal, 1e-9 * diagonal);

        if (q.colours == Colours::None) continue;
        for (const PatchColors& c : model.colors) {
            const Point want = q.colours == Colours::Textured ? mean : Point{q.grey, q.grey, q.grey};
            EXPECT_NEAR(c.reflectance.r, want[0], 1e-5);
            EXPECT_NEAR(c.reflectance.g, want[1], 1e-5);
            EXPECT_NEAR(c.reflectance.b, want[2], 1e-5);
            EXPECT_FLOAT_EQ(c.emission.r, static_cast<float>(q.emission));
            EXPECT_FLOAT_EQ(c.emission.g, static_cast<float>(q.emission));
            EXPECT_FLOAT_EQ(c.emission.b, static_cast<float>(q.emission));
        }
    }
}

TEST(ImportedScene, FileNamesChooseTheTextModelOrTheImporter) {
    // .mdl stays the text model although Assimp claims it for a game format;
    // a name Assimp does not know is read as the text model, as it always was.
    const struct {
        const char* name;
        bool text;
    } cases[] = {
        {"room.mdl", true},      {"ROOM.MDL", true},     {"room.txt", true},      {"room", true},
        {"v1.2/room", true},     {".hidden", true},      {"room.", true},         {"room.model", true},
        {"room.obj", false},     {"room.OBJ", false},    {"room.gltf", false},    {"room.glb", false},
        {"room.ply", false},     {"room.fbx", false},    {"room.dae", false},     {"room.stl", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isTextModelName(c.name), c.text) << c.name;
}
