// Reading the model file, patch groups, the initial
// area-based subdivision, and the rejection of bad model files and of a
// runaway maximum area.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "CoreSupport.h"
#include "FileIO.h"
#include "Limits.h"
#include "ModelFile.h"
#include "PatchGroup.h"
#include "Radiosity.h"

using namespace core;
using testsupport::readFile;
using testsupport::runGlowbake;
using testsupport::writeFile;

namespace {

// A stream holding `content`, positioned at its start.
struct Stream {
    std::FILE* f = std::tmpfile();
    explicit Stream(const std::string& content = "") {
        std::fwrite(content.data(), 1, content.size(), f);
        std::rewind(f);
    }
    ~Stream() { std::fclose(f); }
};

void expectSameVec(const Vec3& a, const Vec3& b) {
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
}

void expectSameTri(const Tri& a, const Tri& b) {
    for (int i = 0; i < 3; ++i) expectSameVec(a.vertices[i], b.vertices[i]);
}

// The corners a group was built from: the first corners of elements 0, 1, 2.
Tri sourceOf(const PatchGroup& g) {
    return Tri(g.elements[0].vertices[0], g.elements[1].vertices[0], g.elements[2].vertices[0]);
}

// Progress text collected in a string.
struct Printed {
    std::string text;
    Progress progress;
    Printed() {
        progress.user = &text;
        progress.text = [](void* user, const char* chunk) { *static_cast<std::string*>(user) += chunk; };
    }
};

Model load(const std::string& text, std::string* printed = nullptr) {
    Stream s(text);
    Printed out;
    Model m = readModel(s.f, "test.mdl", out.progress);
    if (printed) *printed = out.text;
    return m;
}

// A right triangle with legs `leg` in the plane z = `z`: area leg^2 / 2.
Tri rightTriangle(float leg, float z = 0) { return Tri(Vec3(0, 0, z), Vec3(leg, 0, z), Vec3(0, leg, z)); }

struct Groups {
    GroupArray array;
    Color reflectance{0.5f, 0.5f, 0.5f, 1}, emission{1, 0, 0, 1};
    void add(const Tri& t, int id) {
        auto g = std::make_unique<PatchGroup>();
        g->initFromTri(t, id, &reflectance, &emission, Color(0, 0, 0, 1), nullptr);
        array.push(std::move(g));
    }
    std::string subdivide(float maxArea) {
        Printed printed;
        subdivideByArea(array, maxArea, printed.progress);
        return printed.text;
    }
};

std::string subdivisionLines(int before, int after) {
    return "Starting area-based patch subdivision, number of patch groups = " + std::to_string(before) +
           "\nDone with initial patch subdivsion, number of patch groups = " + std::to_string(after) + "\n";
}

}  // namespace

TEST(CoreModelFile, LayoutsReadTheSame) {
    const std::string wide =
        "2\n0 0 0 1 0 0 0 1 0 0.25 0.5 0.75 1 2 3\n1.5 -2 3 4 5 6 7 8 9.125 0.1 0.2 0.3 0 0 0\n";
    std::string tall;
    for (char c : wide) tall += c == ' ' ? '\n' : c;
    std::string printedWide, printedTall;
    const Model a = load(wide, &printedWide), b = load("\t" + tall + "\n\n", &printedTall);
    EXPECT_EQ(printedWide, printedTall);
    ASSERT_EQ(a.patches.size(), 2u);
    ASSERT_EQ(b.patches.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        expectSameTri(a.patches[i], b.patches[i]);
        EXPECT_EQ(a.patches[i].vertexTolerance, 2.0f);
        EXPECT_EQ(a.colors[i].reflectance.r, b.colors[i].reflectance.r);
        EXPECT_EQ(a.colors[i].emission.b, b.colors[i].emission.b);
    }
    expectSameTri(a.patches[1], Tri(Vec3(1.5f, -2, 3), Vec3(4, 5, 6), Vec3(7, 8, 9.125f)));
    const Color& rho = a.colors[0].reflectance;
    const Color& em = a.colors[0].emission;
    EXPECT_EQ(rho.r, 0.25f);
    EXPECT_EQ(rho.g, 0.5f);
    EXPECT_EQ(rho.b, 0.75f);
    EXPECT_EQ(rho.a, 1.0f);
    EXPECT_EQ(em.r, 1.0f);
    EXPECT_EQ(em.g, 2.0f);
    EXPECT_EQ(em.b, 3.0f);
    EXPECT_EQ(em.a, 1.0f);
    EXPECT_EQ(a.colors[1].reflectance.r, 0.1f);
    EXPECT_EQ(a.colors[1].emission.b, 0.0f);
}

TEST(CoreModelFile, EmptyModelAndIdenticalPatches) {
    std::string printed;
    EXPECT_TRUE(load("0\n", &printed).patches.empty());
    EXPECT_EQ(printed, "num patches =0\ndone loading patches\n\n");
    const Model m = load("2 " + std::string(2, ' ') + "0 0 0 1 0 0 0 1 0 1 1 1 0 0 0  0 0 0 1 0 0 0 1 0 1 1 1 0 0 0");
    ASSERT_EQ(m.patches.size(), 2u);
    EXPECT_EQ(m.colors.size(), 2u);
}

TEST(CoreModelFile, ProgressOutputOfTheRealProgram) {
    ScratchDir dir;
    // Comments are skipped; words after the last patch are warned about.
    writeFile(dir.file("model.mdl"),
              "# a lamp\n2 # patches\n0 0 0\t1.5 -2.25 3#\n0 1 1e-7 0.5 0.5 0.5 1 1 1\n"
              "10 20 30.125 11 20 30.125 10 21 30.125 0.5 0.5 0.5 0 0 0\n#\n\n 7 # left over\n8\n");
    const RunResult r = runGlowbake(dir.path.string(), fastArgs());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "Glowbake: warning: model file model.mdl: line 8: 2 words after the 2 patches the count gives are "
              "ignored (is the count too small?)\n"
              "Glowbake: warning: 1 patch emits nothing and receives no light at all (patch 1): facing away from "
              "every light? a triangle's lit side is the one from which its corners run clockwise\n");
    const std::string expected =
        "num patches =2\n"
        "patch 0\n"
        "vertex read = (0.000000, 0.000000, 0.000000)\n"
        "vertex read = (1.500000, -2.250000, 3.000000)\n"
        "vertex read = (0.000000, 1.000000, 0.000000)\n"
        "patch 1\n"
        "vertex read = (10.000000, 20.000000, 30.125000)\n"
        "vertex read = (11.000000, 20.000000, 30.125000)\n"
        "vertex read = (10.000000, 21.000000, 30.125000)\n"
        "done loading patches\n\n"
        "using output texture size of 8\n\n";
    const std::string out = afterBanner(r.out);
    EXPECT_EQ(out.substr(0, expected.size()), expected);
    // No patch exceeds -a 100: both counts are the patch count.
    EXPECT_NE(out.find(subdivisionLines(2, 2)), std::string::npos) << out;
}

TEST(CorePatchGroup, ElementsAndSplitting) {
    const Vec3 v0(0, 0, 0), v1(4, 0, 0), v2(0, 4, 2);
    const Vec3 m0 = midpoint(v0, v1), m1 = midpoint(v1, v2), m2 = midpoint(v2, v0);
    Groups g;
    g.add(Tri(v0, v1, v2), 7);
    PatchGroup& parent = *g.array[0];
    EXPECT_TRUE(parent.initialized);
    EXPECT_FALSE(parent.hasFormFactors);
    EXPECT_FALSE(parent.subdivide);
    expectSameTri(parent.elements[0], Tri(v0, m0, m2));
    expectSameTri(parent.elements[1], Tri(v1, m1, m0));
    expectSameTri(parent.elements[2], Tri(v2, m2, m1));
    expectSameTri(parent.elements[3], Tri(m0, m1, m2));
    const Vec3 n = Tri(v0, v1, v2).normal();
    for (const Tri& e : parent.elements) {
        EXPECT_FLOAT_EQ(e.area(), Tri(v0, v1, v2).area() / 4);
        EXPECT_FLOAT_EQ(dot(e.normal(), n), 1.0f);
    }

    // Not marked: nothing changes.
    EXPECT_FALSE(parent.splitGroup(g.array, 0));
    ASSERT_EQ(g.array.count(), 1);

    for (int j = 0; j < 4; ++j) parent.radiosity[j] = Color(0.1f * j, 0.2f * j, 0.3f * j, 1);
    parent.subdivide = true;
    const PatchGroup old = parent;
    ASSERT_TRUE(parent.splitGroup(g.array, 0));
    ASSERT_EQ(g.array.count(), 4);
    for (int i = 0; i < 4; ++i) {
        const PatchGroup& child = *g.array[i];
        expectSameTri(sourceOf(child), old.elements[i]);
        EXPECT_EQ(child.parentPatchId, 7);
        EXPECT_EQ(child.reflectance, &g.reflectance);
        EXPECT_FALSE(child.hasFormFactors);
        EXPECT_FALSE(child.subdivide);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(child.emission[j], &g.emission);
            EXPECT_EQ(child.radiosity[j].g, old.radiosity[i].g);
            EXPECT_EQ(child.radiosity[j].a, 1.0f);
        }
    }
    // The child made from element 3 has the parent's midpoints as corners.
    expectSameTri(sourceOf(*g.array[3]), Tri(m0, m1, m2));
}

TEST(CoreSubdivision, ThresholdsAreStrict) {
    // Area 2: elements of exactly 0.5.
    const Tri patch = rightTriangle(2);
    const float quarter = 0.5f, sixteenth = 0.125f;
    const struct {
        float maxArea;
        int groups;
    } cases[] = {{quarter, 1}, {std::nextafter(quarter, 0.0f), 4}, {sixteenth, 4},
                 {std::nextafter(sixteenth, 0.0f), 16}, {100, 1}};
    for (const auto& c : cases) {
        Groups g;
        g.add(patch, 0);
        EXPECT_EQ(g.subdivide(c.maxArea), subdivisionLines(1, c.groups)) << c.maxArea;
        EXPECT_EQ(predictedGroupCount({2.0}, c.maxArea, 1 << 20), c.groups) << c.maxArea;
        for (int i = 0; i < g.array.count(); ++i) EXPECT_LE(g.array[i]->elements[0].area(), c.maxArea);
    }
    EXPECT_EQ(predictedGroupCount({2.0, 0.5, 2.0}, 0.25, 1 << 20), 4 + 1 + 4);
    EXPECT_EQ(predictedGroupCount({2.0}, 1e-9, 100), 101);  // saturates
}

TEST(CoreSubdivision, GroupOrderAfterThePass) {
    Groups g;
    g.add(rightTriangle(1, 0), 0);  // element area 0.125: stays
    g.add(rightTriangle(2, 1), 1);  // element area 0.5: split once
    g.add(rightTriangle(1, 2), 2);
    const PatchGroup* p0 = g.array[0].get();
    const PatchGroup* p2 = g.array[2].get();
    Tri p1Elements[4];
    for (int i = 0; i < 4; ++i) p1Elements[i] = g.array[1]->elements[i];
    EXPECT_EQ(g.subdivide(0.25f), subdivisionLines(3, 6));
    ASSERT_EQ(g.array.count(), 6);
    EXPECT_EQ(g.array[0].get(), p0);
    EXPECT_EQ(g.array[1].get(), p2);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g.array[2 + i]->parentPatchId, 1);
        expectSameTri(sourceOf(*g.array[2 + i]), p1Elements[i]);
    }
}

TEST(CoreSubdivision, DegeneratePatchIsNeverSplit) {
    Groups g;
    g.add(Tri(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2)), 0);
    g.add(Tri(Vec3(5, 0, 0), Vec3(5, 0, 0), Vec3(5, 0, 0)), 1);
    EXPECT_EQ(g.subdivide(1e-9f), subdivisionLines(2, 2));
    EXPECT_EQ(predictedGroupCount({0.0, 0.0}, 1e-9, 1 << 20), 2);
}

namespace {

// A 2 x 2 hemicube file in a stream.
}  // namespace

TEST(CoreSubdivision, GrandchildrenShareTheirPatchColours) {
    // Patch 0 (area 0.125) stays whole; patch 1 (area 2) is split twice.
    Model model = load("2\n0 0 0 0.5 0 0 0 0.5 0 0.5 0.5 0.5 1 1 1\n0 0 5 2 0 5 0 2 5 0.25 0.5 0.75 0 0 0\n");
    SolverSettings settings;
    settings.maxPatchArea = std::nextafter(0.125f, 0.0f);
    settings.textSize = 8;
    Printed printed;
    Radiosity rad(std::move(model), HemicubeTables{2, {0.25f}, {0.125f}}, settings, printed.progress);
    const std::string& out = printed.text;
    EXPECT_NE(out.find(subdivisionLines(2, 17)), std::string::npos) << out;
    ASSERT_EQ(rad.numPatches, 2);
    ASSERT_EQ(rad.groups.count(), 17);
    EXPECT_EQ(rad.largestPatchArea, 2.0f);
    const PatchGroup* whole = rad.groups[0].get();
    EXPECT_EQ(whole->parentPatchId, 0);
    EXPECT_EQ(whole->reflectance, &rad.model.colors[0].reflectance);
    for (int i = 1; i < 17; ++i) {
        const PatchGroup* g = rad.groups[i].get();
        EXPECT_EQ(g->parentPatchId, 1) << i;
        EXPECT_EQ(g->reflectance, &rad.model.colors[1].reflectance) << i;
        EXPECT_EQ(g->hemicube, &rad.hemicube);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(g->emission[j], &rad.model.colors[1].emission) << i;
            EXPECT_EQ(g->radiosity[j].r, 0.0f);
            EXPECT_EQ(g->radiosity[j].a, 1.0f);
        }
        EXPECT_FLOAT_EQ(g->elements[0].area(), 2.0f / 64);
    }
    EXPECT_EQ(rad.model.colors[1].reflectance.g, 0.5f);
}

// ---- Bad model files through the real program --------------------------

namespace {

const std::string kPatch = "0 0 0 1 0 0 0 1 0 0.5 0.5 0.5 1 1 1\n";

// Runs the program on `model`; expects status 1, a message naming the file
// (and patch `patch` when it is not negative), the loading never finished
// and the output file left as it was, or not created.
void expectRejected(const std::string& model, int patch) {
    for (bool withOutput : {true, false}) {
        ScratchDir dir;
        writeFile(dir.file("bad.mdl"), model);
        if (withOutput) writeFile(dir.file("out.bin"), "old");
        const std::vector<std::string> before = listDir(dir.path);
        const RunResult r = runGlowbake(dir.path.string(), fastArgs("bad.mdl"));
        EXPECT_EQ(r.status, 1) << model;
        EXPECT_EQ(r.err.compare(0, 17, "Glowbake: error: "), 0) << r.err;
        EXPECT_NE(r.err.find("bad.mdl"), std::string::npos) << r.err;
        if (patch >= 0) {
            EXPECT_NE(r.err.find("patch " + std::to_string(patch)), std::string::npos) << r.err;
        }
        EXPECT_EQ(r.out.find("done loading patches"), std::string::npos);
        EXPECT_EQ(listDir(dir.path), before);
        if (withOutput) {
            EXPECT_EQ(readFile(dir.file("out.bin")), "old");
        }
    }
}

}  // namespace

TEST(CoreModelRejection, BadCount) {
    expectRejected("", -1);
    expectRejected(" \n\t\n", -1);
    expectRejected("two\n" + kPatch + kPatch, -1);
    expectRejected("-1\n" + kPatch, -1);
}

TEST(CoreModelRejection, TruncatedFile) {
    expectRejected("3\n" + kPatch + kPatch, 2);
    expectRejected("1\n0 0 0 1 0 0 0 1 0 0.5 0.5 0.5 1 1\n", 0);
    expectRejected("2\n" + kPatch + "0 0 0 1 0 0 0 1", 1);
    // A huge count in a short file: no allocation for it, the same message.
    expectRejected("2000000000\n" + kPatch, 1);
}

TEST(CoreModelLoading, DegeneratePatchRunSucceeds) {
    ScratchDir dir;
    writeFile(dir.file("model.mdl"), "2\n" + kPatch + "0 0 1 1 0 1 2 0 1 0.5 0.5 0.5 0 0 0\n");
    std::vector<std::string> args = fastArgs();
    args[7] = "0.05";  // -a: patch 0 becomes 4 groups, the degenerate one stays 1
    RunResult r = runGlowbake(dir.path.string(), args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(subdivisionLines(2, 5)), std::string::npos) << r.out;
    EXPECT_EQ(readFile(dir.file("out.bin")).substr(0, 4), std::string("\0\0\0\2", 4));

    // A model of nothing but a degenerate patch survives even -a 1e-9.
    writeFile(dir.file("model.mdl"), "1\n0 0 0 0 0 0 0 0 0 0.5 0.5 0.5 1 1 1\n");
    args[7] = "1e-9";
    r = runGlowbake(dir.path.string(), args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(subdivisionLines(1, 1)), std::string::npos) << r.out;
}

TEST(CoreModelLoading, TinyMaxAreaIsRefusedUpFront) {
    ScratchDir dir;
    writeFile(dir.file("model.mdl"), kTwoPatchModel);
    writeFile(dir.file("out.bin"), "old");
    std::vector<std::string> args = fastArgs();
    args[7] = "1e-9";
    const RunResult r = runGlowbake(dir.path.string(), args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.compare(0, 17, "Glowbake: error: "), 0) << r.err;
    EXPECT_EQ(r.out.find("Starting area-based"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("out.bin")), "old");
    EXPECT_EQ(listDir(dir.path), (std::vector<std::string>{"model.mdl", "out.bin"}));

    // The message names the group count (the count the pass would make, or
    // the limit it exceeds) and the smallest workable maximum area.
    const std::vector<double> areas = {0.5, 0.5};
    const long long cap = maxGroupCount(64);  // the default hemicube
    const long long wanted = predictedGroupCount(areas, 1e-9f, 1LL << 40);
    EXPECT_EQ(wanted, 2 * (1LL << 28));
    EXPECT_TRUE(r.err.find(std::to_string(wanted)) != std::string::npos ||
                r.err.find(std::to_string(cap)) != std::string::npos)
        << r.err;
    const double workable = smallestWorkableArea(areas, cap);
    EXPECT_LE(predictedGroupCount(areas, workable, cap), cap);
    EXPECT_GT(predictedGroupCount(areas, workable * 0.99, cap), cap);
    char text[64];
    std::snprintf(text, sizeof text, "%g", workable);
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err << " should name " << text;
}
