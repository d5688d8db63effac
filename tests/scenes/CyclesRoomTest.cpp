// Scenes Blender made, solved with coarse elements and lit texel by texel
// by the final gather, against Cycles' numbers for the same files
// (tests/fixtures/cycles/, made by scripts/make-room.sh): the furnished
// room's light on the floor under the table and in the open, and on the
// table top under the monkey head; and rooms lit by Blender's lamps,
// exported with its default units.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "FinalGather.h"
#include "Lamp.h"
#include "ModelLoad.h"
#include "Radiosity.h"
#include "QualityPreset.h"

namespace {

const Progress kQuiet{};

struct Region {
    std::string name;
    double x[2], z[2];
    double cyclesLuminance;
};

double luminance(const Color& c) { return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b; }

// The mean light arriving over a region of the upward-facing surface at
// height y, from a 5 x 5 grid of points.
double regionLight(const Radiosity& r, const FinalGather& gather, const Region& region, double y) {
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            const double x = region.x[0] + (i + 0.5) / 5 * (region.x[1] - region.x[0]);
            const double z = region.z[0] + (j + 0.5) / 5 * (region.z[1] - region.z[0]);
            int best = -1;
            double bestGap = 0.05, w[3] = {0, 0, 0};
            for (int p = 0; p < r.numPatches; ++p) {
                const Tri& t = r.model.patches[p];
                if (t.normal().y < 0.99f) continue;
                const Vec3 &a = t.vertices[0], &b = t.vertices[1], &c = t.vertices[2];
                const double den = (b.z - c.z) * (a.x - c.x) + (c.x - b.x) * (a.z - c.z);
                if (den == 0.0) continue;
                const double w0 = ((b.z - c.z) * (x - c.x) + (c.x - b.x) * (z - c.z)) / den;
                const double w1 = ((c.z - a.z) * (x - c.x) + (a.x - c.x) * (z - c.z)) / den;
                const double w2 = 1.0 - w0 - w1;
                if (w0 < -1e-6 || w1 < -1e-6 || w2 < -1e-6) continue;
                const double gap = std::fabs(w0 * a.y + w1 * b.y + w2 * c.y - y);
                if (gap < bestGap) best = p, bestGap = gap, w[0] = w0, w[1] = w1, w[2] = w2;
            }
            if (best < 0) continue;
            sum += luminance(gather.incidentAt(best, w[0], w[1], w[2]));
            ++count;
        }
    }
    if (count != 25) std::printf("%s: %d of 25 points on a surface at y %g\n", region.name.c_str(), count, y);
    return count == 25 ? sum / count : -1.0;
}

std::vector<Region> regionsOf(const nlohmann::json& list) {
    std::vector<Region> out;
    for (const nlohmann::json& r : list)
        out.push_back({r["name"], {r["x"][0], r["x"][1]}, {r["z"][0], r["z"][1]}, r["luminance"]});
    return out;
}

const Region& named(const std::vector<Region>& regions, const std::string& name) {
    for (const Region& r : regions)
        if (r.name == name) return r;
    throw std::runtime_error("no region " + name);
}

}  // namespace

// Coarse elements: the draft's choice, with ray rows; the detail comes from
// the gather.
std::unique_ptr<Radiosity> solveCoarse(Model model) {
    const QualityChoice choice = chooseQuality(model, Quality::Draft);
    SolverSettings settings;
    settings.hemicubeWorldWide = choice.hemicubeWorldWide;
    settings.maxPatchArea = choice.maxPatchArea;
    settings.iterThreshold = choice.iterThreshold;
    settings.subDivideThreshold = 1e30f;
    settings.formFactorRays = 256;
    auto r = std::make_unique<Radiosity>(std::move(model), makeHemicubeTables(16), settings, kQuiet);
    r->solve();
    return r;
}

// A scene file's model, its lamps in the units Blender's glTF exporter
// writes by default.
bool loadScene(const std::string& scene, Model& model) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(scene.c_str(), "rb"), std::fclose);
    if (!file) return false;
    model = loadModel(file.get(), scene, kQuiet);
    convertLampUnits(model.lamps, LampUnits::Standard);
    return true;
}

std::unique_ptr<Radiosity> solveCoarse(const std::string& scene) {
    Model model;
    if (!loadScene(scene, model)) return nullptr;
    return solveCoarse(std::move(model));
}

// A .blend keeps Blender's coordinates (Z up): turned into the fixtures'
// glTF frame, (x, y, z) -> (x, z, -y). Then the floor Cycles lit that the
// file does not hold, at height y over the x and z ranges, its lit side up.
void addFloor(Model& model, const nlohmann::json& floor, bool blenderFrame) {
    if (blenderFrame) {
        for (Tri& t : model.patches) {
            Vec3 v[3];
            for (int c = 0; c < 3; ++c) v[c] = Vec3(t.vertices[c].x, t.vertices[c].z, -t.vertices[c].y);
            t.setVertices(v[0], v[1], v[2]);
        }
    }
    const float y = floor["y"], x0 = floor["x"][0], x1 = floor["x"][1], z0 = floor["z"][0], z1 = floor["z"][1];
    PatchColors colors;
    colors.reflectance = Color(floor["reflectance"][0], floor["reflectance"][1], floor["reflectance"][2], 1.0f);
    colors.emission = Color(0.0f, 0.0f, 0.0f, 1.0f);
    model.meshes.push_back({"Floor", "Floor", static_cast<int>(model.patches.size()), 2});
    const float tolerance = model.patches.empty() ? 1e-4f : model.patches[0].vertexTolerance;
    for (const Tri& half : {Tri(Vec3(x0, y, z0), Vec3(x1, y, z0), Vec3(x1, y, z1)),
                            Tri(Vec3(x0, y, z0), Vec3(x1, y, z1), Vec3(x0, y, z1))}) {
        model.patches.push_back(half);
        model.patches.back().vertexTolerance = tolerance;
        model.colors.push_back(colors);
    }
}

TEST(CyclesRoom, ShadowsUnderTheTableAndTheHeadMatchCycles) {
    const std::string dir = GLOWBAKE_SOURCE_DIR;
    std::ifstream in(dir + "/tests/fixtures/cycles/room.json");
    ASSERT_TRUE(in.good());
    const nlohmann::json cycles = nlohmann::json::parse(in);
    const std::unique_ptr<Radiosity> solved = solveCoarse(dir + "/scenes/room/room.glb");
    ASSERT_TRUE(solved);
    const Radiosity& r = *solved;
    GatherSettings gatherSettings;
    gatherSettings.rays = 256;
    const FinalGather gather(r, gatherSettings);

    const std::vector<Region> floor = regionsOf(cycles["floor"]["regions"]);
    for (const nlohmann::json& pair : cycles["floor"]["pairs_under_table_vs_open"]) {
        const Region& shadowed = named(floor, pair["shadowed"]);
        const Region& open = named(floor, pair["open"]);
        const double dark = regionLight(r, gather, shadowed, 0.0), lit = regionLight(r, gather, open, 0.0);
        ASSERT_GT(dark, 0.0) << shadowed.name;
        ASSERT_GT(lit, 0.0) << open.name;
        const double ratio = dark / lit, expected = pair["luminance_ratio"];
        std::printf("floor %-20s %.4f (Cycles %.4f)  %-18s %.4f (Cycles %.4f)  ratio %.3f (Cycles %.3f)\n",
                    shadowed.name.c_str(), dark, shadowed.cyclesLuminance, open.name.c_str(), lit,
                    open.cyclesLuminance, ratio, expected);
        EXPECT_NEAR(ratio, expected, 0.2 * expected) << shadowed.name << " / " << open.name;
        // The light itself, not only its ratios: the same units as Cycles.
        EXPECT_NEAR(lit, open.cyclesLuminance, 0.05 * open.cyclesLuminance) << open.name;
    }

    const std::vector<Region> top = regionsOf(cycles["table_top"]["regions"]);
    const double tableY = cycles["table"]["top"]["y"];
    const double underHead = regionLight(r, gather, named(top, "under_head_centre"), tableY);
    const double openTop = regionLight(r, gather, named(top, "open_top_panel_side"), tableY);
    ASSERT_GT(underHead, 0.0);
    ASSERT_GT(openTop, 0.0);
    const double expected = named(top, "under_head_centre").cyclesLuminance / named(top, "open_top_panel_side").cyclesLuminance;
    std::printf("table under the head %.4f, open top %.4f: ratio %.3f (Cycles %.3f)\n", underHead, openTop,
                underHead / openTop, expected);
    EXPECT_NEAR(underHead / openTop, expected, 0.2 * expected);
}

// A point lamp over a block, a spot, the sun through a window, a room
// whose one half a point lamp lights and whose other an emissive panel, and
// two area lamps of a .blend over a floor: every region Cycles measured (the
// spot's inside its inner cone only: Cycles blends its cone edge
// differently), the balance of the lamp's half against the panel's, and of
// an area lamp's long side against its short one and its back against its
// front.
TEST(CyclesRoom, LampScenesMatchCycles) {
    const std::string dir = GLOWBAKE_SOURCE_DIR;
    std::ifstream in(dir + "/tests/fixtures/cycles/lamps.json");
    ASSERT_TRUE(in.good());
    const nlohmann::json cycles = nlohmann::json::parse(in);
    for (const auto& [name, scene] : cycles["scenes"].items()) {
        SCOPED_TRACE(name);
        const std::string file = scene["file"];
        Model model;
        ASSERT_TRUE(loadScene(dir + "/" + file, model));
        // Every lamp of the file is read: a lamp, or an area lamp's rectangle.
        for (const nlohmann::json& lamp : scene["lamps"]) {
            const std::string lampName = lamp["name"];
            const auto isLamp = [&](const Lamp& l) { return l.name == lampName; };
            const auto isRectangle = [&](const ModelMesh& m) { return m.name == lampName && m.patchCount == 2; };
            const bool read = std::any_of(model.lamps.begin(), model.lamps.end(), isLamp) ||
                              std::any_of(model.meshes.begin(), model.meshes.end(), isRectangle);
            EXPECT_TRUE(read) << lampName;
        }
        if (scene.contains("added_floor"))
            addFloor(model, scene["added_floor"], file.size() > 6 && file.compare(file.size() - 6, 6, ".blend") == 0);
        const std::unique_ptr<Radiosity> r = solveCoarse(std::move(model));
        GatherSettings gatherSettings;
        gatherSettings.rays = 256;
        const FinalGather gather(*r, gatherSettings);
        const std::vector<Region> floor = regionsOf(scene["floor"]["regions"]);
        double brightest = 0.0;
        for (const Region& region : floor) brightest = std::max(brightest, region.cyclesLuminance);
        for (const Region& region : floor) {
            const double ours = regionLight(*r, gather, region, 0.0);
            std::printf("%-10s %-26s %.4f (Cycles %.4f)\n", name.c_str(), region.name.c_str(), ours,
                        region.cyclesLuminance);
            if (name == "spot-box" && region.name.find("inside") == std::string::npos && region.name != "centre") continue;
            EXPECT_NEAR(ours, region.cyclesLuminance, 0.15 * region.cyclesLuminance + 0.01 * brightest)
                << region.name;
        }
        if (name != "split-room" && name != "area-lights") continue;
        for (const nlohmann::json& pair : scene["floor"]["pairs"]) {
            const double a = regionLight(*r, gather, named(floor, pair["a"]), 0.0);
            const double b = regionLight(*r, gather, named(floor, pair["b"]), 0.0);
            const double expected = pair["luminance_ratio"];
            EXPECT_NEAR(a / b, expected, 0.1 * expected) << pair["a"] << " / " << pair["b"];
        }
    }
}
