// Lamps: point, spot and sun light against the closed forms of
// KHR_lights_punctual, with shadows, in the solve and in the final gather;
// the units of Blender's exporter; and lamps the program refuses.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FinalGather.h"
#include "Lamp.h"
#include "LampLight.h"
#include "Radiosity.h"
#include "SolverTestUtil.h"
#include "TestSupport.h"

using namespace solvertest;

namespace {

constexpr double kPiD = 3.14159265358979323846;

// A wide floor (reflectance 0.5) at y = 0, a black 20 x 20 roof at y = 3
// with a 1 x 1 hole over x, z in [0, 1] (its lit side down), and the lamps:
// nothing reflects the floor's light back to it.
std::unique_ptr<Radiosity> floorUnder(const std::vector<Lamp>& lamps, bool roof, float sky = 0.0f) {
    std::vector<ModelPatch> patches;
    const Color grey(0.5f, 0.5f, 0.5f, 1.0f), none(0.0f, 0.0f, 0.0f, 1.0f);
    addRectangleY(patches, -20.0f, 20.0f, -20.0f, 20.0f, 0.0f, true, grey, none);
    if (roof) {
        addRectangleY(patches, -10.0f, 0.0f, -10.0f, 10.0f, 3.0f, false, none, none);
        addRectangleY(patches, 1.0f, 10.0f, -10.0f, 10.0f, 3.0f, false, none, none);
        addRectangleY(patches, 0.0f, 1.0f, -10.0f, 0.0f, 3.0f, false, none, none);
        addRectangleY(patches, 0.0f, 1.0f, 1.0f, 10.0f, 3.0f, false, none, none);
    }
    Model model = modelOf(patches);
    model.lamps = lamps;
    SolverSettings settings = settingsOf(0.01f, 1e4f, 1e-6f, 1e30f);
    for (float& c : settings.sky.uniform) c = sky;
    auto r = std::make_unique<Radiosity>(std::move(model), unitHemicubeTables(16), settings, kSilent);
    r->solve();
    return r;
}

// The light arriving at floor point (x, z) by the final gather.
double floorLight(const Radiosity& r, double x, double z, int rays = 16) {
    GatherSettings settings;
    settings.rays = rays;
    const FinalGather gather(r, settings);
    for (int patch = 0; patch < 2; ++patch) {
        double w[3];
        barycentric(r.model.patches[patch], x, 0.0, z, w);
        if (std::min({w[0], w[1], w[2]}) >= 0.0) return gather.incidentAt(patch, w[0], w[1], w[2]).g;
    }
    return -1.0;
}

Lamp pointLamp(double x, double y, double z, double intensity) {
    Lamp lamp;
    lamp.name = "bulb";
    lamp.kind = LampKind::Point;
    lamp.position[0] = x, lamp.position[1] = y, lamp.position[2] = z;
    for (double& c : lamp.intensity) c = intensity;
    return lamp;
}

}  // namespace

// A point lamp 2 above an open floor: I cos(theta) / d^2 at texels, and the
// same at every element's centre in the solve (B = rho E there, nothing else
// reflects); a range cuts it off where KHR_lights_punctual says.
TEST(Lamps, PointLampLightsTheFloorAsTheInverseSquareLaw) {
    const double intensity = 3.0, h = 2.0;
    const auto r = floorUnder({pointLamp(0.0, h, 0.0, intensity)}, false);
    for (double x : {0.0, 0.5, 1.5, 4.0}) {
        const double d2 = x * x + h * h;
        const double exact = intensity * (h / std::sqrt(d2)) / d2;
        EXPECT_NEAR(floorLight(*r, x, 0.3), intensity * h / std::pow(x * x + 0.09 + h * h, 1.5),
                    0.01 * exact) << "x " << x;
    }
    for (int g = 0; g < r->groups.count(); ++g) {
        for (int k = 0; k < 4; ++k) {
            const Vec3 c = r->groups[g]->elements[k].centroid();
            const double d2 = c.x * c.x + c.z * c.z + h * h;
            EXPECT_NEAR(r->linearRadiosity[4 * g + k].g, 0.5 * intensity * h / std::pow(d2, 1.5), 1e-5);
        }
    }
    Lamp ranged = pointLamp(0.0, h, 0.0, intensity);
    ranged.range = 3.0;
    const auto cut = floorUnder({ranged}, false);
    const double windowed = intensity * h / std::pow(5.0, 1.5) * (1.0 - 25.0 / 81.0);
    EXPECT_NEAR(floorLight(*cut, 1.0, 0.0), windowed, 0.01 * windowed);
    EXPECT_EQ(floorLight(*cut, 2.5, 0.0), 0.0);
}

// A spot straight down from 2 with cones of 20 and 30 degrees: full light
// inside the inner cone, none outside the outer, the square of a linear ramp
// in the cosine between them.
TEST(Lamps, SpotConeEdgeIsWhereThePunctualLightsPutIt) {
    Lamp spot = pointLamp(0.0, 2.0, 0.0, 5.0);
    spot.kind = LampKind::Spot;
    spot.direction[0] = 0, spot.direction[1] = -1, spot.direction[2] = 0;
    spot.innerCone = 20.0 * kPiD / 180.0;
    spot.outerCone = 30.0 * kPiD / 180.0;
    const auto r = floorUnder({spot}, false);
    const double cosOuter = std::cos(spot.outerCone), cosInner = std::cos(spot.innerCone);
    for (double degrees : {0.0, 15.0, 22.0, 25.0, 28.0, 29.5, 30.5, 40.0}) {
        const double a = degrees * kPiD / 180.0, x = 2.0 * std::tan(a), d2 = x * x + 4.0;
        const double ramp = std::min(1.0, std::max(0.0, (std::cos(a) - cosOuter) / (cosInner - cosOuter)));
        const double exact = 5.0 * std::cos(a) / d2 * ramp * ramp;
        EXPECT_NEAR(floorLight(*r, x, 0.0), exact, 0.01 * exact + 2e-4) << degrees << " degrees";
    }
}

// The sun through a 1 x 1 hole in a roof 3 above the floor, shining down
// and towards +x at 45 degrees: the lit square on the floor lies 3 along +x
// from the hole.
TEST(Lamps, SunThroughAHoleLandsWhereTheGeometrySays) {
    Lamp sun;
    sun.kind = LampKind::Directional;
    sun.direction[0] = std::sqrt(0.5), sun.direction[1] = -std::sqrt(0.5), sun.direction[2] = 0.0;
    for (double& c : sun.intensity) c = 2.0;
    const auto r = floorUnder({sun}, true);
    const double lit = 2.0 * std::sqrt(0.5);
    EXPECT_NEAR(floorLight(*r, 3.5, 0.5), lit, 0.1 * lit);     // below the hole's image
    EXPECT_NEAR(floorLight(*r, 3.2, 0.8), lit, 0.1 * lit);
    EXPECT_LT(floorLight(*r, 0.5, 0.5), 0.05 * lit);           // straight below the hole: the roof's shadow
    EXPECT_LT(floorLight(*r, 3.5, 1.5), 0.05 * lit);           // beside the image
    EXPECT_NEAR(floorLight(*r, 14.0, 0.5), lit, 0.1 * lit);    // beyond the roof's shadow
}

// Under a uniform sky of radiance L: an open floor receives L, and B = rho L
// for its elements; beneath the black roof a floor point receives L times
// the factor of the hole and of the sky beyond the roof's edges.
TEST(Lamps, UniformSkyLightsWhatSeesIt) {
    const float sky = 2.0f;
    const auto open = floorUnder({}, false, sky);
    EXPECT_NEAR(floorLight(*open, 1.0, 2.0), sky, 1e-6);
    for (const Color& b : open->linearRadiosity) EXPECT_NEAR(b.g, 0.5 * sky, 1e-4);

    const auto roofed = floorUnder({}, true, sky);
    const double points[][2] = {{0.5, 0.5}, {2.0, 0.5}, {3.0, -2.0}};
    for (const auto& p : points) {
        const double seen = 1.0 - pointToRectangle(p[0], p[1], -10, 10, -10, 10, 3.0) +
                            pointToRectangle(p[0], p[1], 0, 1, 0, 1, 3.0);
        EXPECT_NEAR(floorLight(*roofed, p[0], p[1], 4096), sky * seen, 0.01 * sky * seen) << p[0] << ", " << p[1];
    }
}

// Blender's exporter: 1 W of a point lamp becomes 683 / (4 pi) cd; 1 W/m^2
// of sun 683 lx; the light arriving is irradiance / pi.
TEST(Lamps, UnitsOfBlendersExport) {
    const struct {
        LampUnits units;
        LampKind kind;
        double fileValue;
        double expected;  // light arriving per unit of (1 / d^2)
    } cases[] = {
        {LampUnits::Standard, LampKind::Point, 683.0 / (4 * kPiD), 1.0 / (4 * kPiD) / kPiD},
        {LampUnits::Unitless, LampKind::Point, 1.0 / (4 * kPiD), 1.0 / (4 * kPiD) / kPiD},
        {LampUnits::Raw, LampKind::Point, 1.0, 1.0 / (4 * kPiD) / kPiD},
        {LampUnits::Standard, LampKind::Directional, 683.0, 1.0 / kPiD},
        {LampUnits::Raw, LampKind::Directional, 1.0, 1.0 / kPiD},
    };
    for (const auto& c : cases) {
        std::vector<Lamp> lamps(1);
        lamps[0].kind = c.kind;
        for (double& v : lamps[0].intensity) v = c.fileValue;
        convertLampUnits(lamps, c.units);
        EXPECT_NEAR(lamps[0].intensity[1], c.expected, 1e-12 * c.expected);
    }
}

// A glTF lit by a point lamp is solved and baked lit; lamps the program
// cannot use are refused, naming the file and the light, before anything is
// written.
TEST(Lamps, ProgramReadsGltfLampsAndRefusesBadOnes) {
    const std::string floor =
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0}]}],)"
        R"("materials":[{"pbrMetallicRoughness":{"baseColorFactor":[0.5,0.5,0.5,1],"metallicFactor":0}}],)"
        R"("accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3","min":[-5,0,-5],"max":[5,0,5]},)"
        R"({"bufferView":1,"componentType":5123,"count":6,"type":"SCALAR"}],)"
        R"("bufferViews":[{"buffer":0,"byteLength":48},{"buffer":0,"byteOffset":48,"byteLength":12}],)"
        R"("buffers":[{"byteLength":60,"uri":"data:application/octet-stream;base64,)"
        R"(AACgwAAAAAAAAKDAAACgQAAAAAAAAKDAAACgQAAAAAAAAKBAAACgwAAAAAAAAKBAAAACAAEAAAADAAIA"}]})";
    auto gltf = [&](const std::string& light) {
        return R"({"asset":{"version":"2.0"},"extensionsUsed":["KHR_lights_punctual"],)"
               R"("extensions":{"KHR_lights_punctual":{"lights":[)" + light + R"(]}},)"
               R"("scene":0,"scenes":[{"nodes":[0,1]}],)"
               R"("nodes":[{"name":"Lamp","translation":[0,2,0],"rotation":[-0.7071068,0,0,0.7071068],)"
               R"("extensions":{"KHR_lights_punctual":{"light":0}}},{"name":"Floor","mesh":0}],)" + floor;
    };
    testsupport::ScratchDir dir;
    const std::vector<std::string> args = {"-m", "lit.gltf", "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-o", "keep.out",
                                           "-w", "0.01", "-a", "100", "-i", "0.001", "-s", "1e9", "-t", "8"};
    testsupport::writeFile(dir.file("lit.gltf"), gltf(R"({"name":"Bulb","type":"point","intensity":683})"));
    const auto ok = testsupport::runGlowbake(dir.path.string(), args);
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.err.find("emits"), std::string::npos) << ok.err;
    EXPECT_EQ(ok.out.find("nothing in the scene emits"), std::string::npos);
    const std::string scene = testsupport::readFile(dir.file("keep.out"));
    size_t bright = 0;
    for (size_t i = 4; i + 3 < scene.size(); i += 4) bright += static_cast<unsigned char>(scene[i + 2]) > 0;
    EXPECT_GT(bright, 100u);

    // The same with nothing but the file and --quality: the numbers are
    // chosen and printed as options; no hemicube file is needed.
    const auto chosen =
        testsupport::runGlowbake(dir.path.string(), {"-m", "lit.gltf", "-o", "quick.out", "--quality", "draft"});
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_NE(chosen.err.find("Glowbake: --quality draft chose: (a hemicube of 64 made in memory) -w "),
              std::string::npos) << chosen.err;
    const std::string quick = testsupport::readFile(dir.file("quick.out"));
    size_t lit = 0;
    for (size_t i = 4; i + 3 < quick.size(); i += 4) lit += static_cast<unsigned char>(quick[i + 2]) > 0;
    EXPECT_GT(lit, 100u);

    const struct {
        const char* light;
        const char* message;
    } bad[] = {
        {R"({"name":"Bulb","type":"point","intensity":-5})", "light 'Lamp' (point): its intensity is negative"},
        {R"({"type":"spot","intensity":5,"spot":{"innerConeAngle":0.6,"outerConeAngle":0.3}})",
         "light 'Lamp' (spot): its outer cone angle is not larger than its inner one"},
    };
    for (const auto& c : bad) {
        testsupport::writeFile(dir.file("lit.gltf"), gltf(c.light));
        testsupport::writeFile(dir.file("keep.out"), "old");
        const auto r = testsupport::runGlowbake(dir.path.string(), args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("model file lit.gltf: " + std::string(c.message)), std::string::npos) << r.err;
        EXPECT_EQ(testsupport::readFile(dir.file("keep.out")), "old");
    }
}
