#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GlowbakeError.h"
#include "Limits.h"
#include "Radiosity.h"
#include "SolverTestUtil.h"
#include "TestSupport.h"

using namespace solvertest;

namespace {

// A Radiosity built in memory from a model and a unit hemicube; its
// progress text is collected in `printed`.
struct Solver {
    TextCollector printed;
    std::unique_ptr<Radiosity> r;

    Solver(const std::vector<ModelPatch>& patches, int n, float worldWidth, float maxArea, float iter, float sub,
           float gamma = 1.0f)
        : r(std::make_unique<Radiosity>(modelOf(patches), unitHemicubeTables(n),
                                        settingsOf(worldWidth, maxArea, iter, sub, gamma), printed.progress)) {}
    void project() {
        for (int i = 0; i < r->groups.count(); ++i) r->groups[i]->computeFormFactors(r->groups);
    }
    int gather(int ch) { return r->gatherChannel(ch); }
    // Runs `step` and returns what it printed.
    template <typename Step>
    std::string printedBy(Step step) {
        printed.text.clear();
        step();
        return printed.text;
    }
    std::string normalize() {
        return printedBy([&] { r->normalize(); });
    }
};

const Color kGrey(0.5f, 0.5f, 0.5f, 1.0f);
const Color kBlack(0.0f, 0.0f, 0.0f, 1.0f);

ModelPatch patch(const Tri& t, Color refl, Color emit) { return ModelPatch{t, refl, emit}; }

// The unit square [0, 1]^2 at height z, as two triangles facing up or down.
std::vector<Tri> unitSquare(float z, bool facingUp) {
    if (facingUp) return {tri(0, 0, z, 0, 1, z, 1, 0, z), tri(1, 0, z, 0, 1, z, 1, 1, z)};
    return {tri(0, 0, z, 1, 0, z, 0, 1, z), tri(1, 0, z, 1, 1, z, 0, 1, z)};
}

std::vector<ModelPatch> furnace(float reflectance) {
    std::vector<ModelPatch> out;
    for (const Tri& t : inwardCube(0.0f, 2.0f))
        out.push_back(patch(t, Color(reflectance, reflectance, reflectance, 1.0f), Color(1, 1, 1, 1)));
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace

TEST(Gathering, OnePatchTakesItsEmissionInTheFirstSweep) {
    Solver s({patch(tri(0, 0, 0, 0, 1, 0, 1, 0, 0), kGrey, Color(0.7f, 0.0f, 0.3f, 1.0f))}, 16, 0.2f, 100.0f, 1e-6f,
             0.5f);
    s.project();
    // Sweep 0 sets every element to its emission; sweep 1 finds a change of 0.
    // A channel emitting nothing changes nothing in sweep 0 already.
    EXPECT_EQ(s.gather(0), 2);
    EXPECT_EQ(s.gather(1), 1);
    EXPECT_EQ(s.gather(2), 2);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(s.r->groups[0]->radiosity[k].r, 0.7f);
        EXPECT_EQ(s.r->groups[0]->radiosity[k].g, 0.0f);
        EXPECT_EQ(s.r->groups[0]->radiosity[k].b, 0.3f);
    }
}

// Every wall of a closed box emits 1 and reflects 0.5: the exact radiosity is
// 2 everywhere, and the linear values of the whole solve come back as that
// within the hemicube's error (measured at N = 64: 0.99662 to 1 of the
// largest). The final values are their gamma power times the normalisation
// scale, the largest exactly 1.
TEST(Gathering, FurnaceSolvesToItsExactRadiosity) {
    Solver s(furnace(0.5f), 64, 0.2f, 100.0f, 1e-6f, 10.0f, 0.5f);
    s.r->solve();
    const int n = s.r->groups.count();
    ASSERT_EQ(s.r->linearRadiosity.size(), 4u * n);
    float brightest = 0.0f;
    for (const Color& c : s.r->linearRadiosity) {
        EXPECT_NEAR(c.r, 2.0f, 0.025f);
        EXPECT_EQ(c.r, c.g);
        EXPECT_EQ(c.r, c.b);
        brightest = std::max(brightest, static_cast<float>(std::pow(c.g, 0.5)));
    }
    EXPECT_NEAR(s.r->normalizationScale, 1.0 / brightest, 1e-6);
    float hi = 0.0f;
    for (int g = 0; g < n; ++g) {
        for (int k = 0; k < 4; ++k) {
            const Color& c = s.r->groups[g]->radiosity[k];
            const double expected = std::pow(s.r->linearRadiosity[4 * g + k].g, 0.5) * s.r->normalizationScale;
            EXPECT_NEAR(c.g, expected, 1e-6) << g << " " << k;
            EXPECT_EQ(c.a, 1.0f);
            hi = std::max(hi, c.g);
        }
    }
    EXPECT_EQ(hi, 1.0f);
    EXPECT_NE(s.printed.text.find("Subdivision restart 0\n"), std::string::npos);
    EXPECT_EQ(s.printed.text.find("warning"), std::string::npos) << s.printed.text;
}

// A unit square reflecting 0.5 under a unit square emitting 1 at distance 1
// (which reflects nothing): each receiving element gathers 0.5 x the form
// factor from its centroid to the light. The tolerance is that of the form
// factors at N = 128 (0.9 / N), halved by the reflectance.
TEST(Gathering, ReceiverUnderALightMatchesTheAnalyticFormFactor) {
    std::vector<ModelPatch> model;
    for (const Tri& t : unitSquare(0.0f, true)) model.push_back(patch(t, kGrey, kBlack));
    for (const Tri& t : unitSquare(1.0f, false)) model.push_back(patch(t, kBlack, Color(1, 1, 1, 1)));
    Solver s(model, 128, 0.2f, 1.0f, 1e-7f, 10.0f);
    ASSERT_EQ(s.r->groups.count(), 4);
    s.project();
    for (int ch = 0; ch < 3; ++ch) s.gather(ch);
    for (int g = 0; g < 2; ++g) {
        for (int k = 0; k < 4; ++k) {
            const Vec3 c = s.r->groups[g]->elements[k].centroid();
            const double expected = 0.5 * pointToRectangle(c.x, c.y, 0, 1, 0, 1, 1.0);
            const float b = s.r->groups[g]->radiosity[k].g;
            EXPECT_NEAR(b, expected, 0.5 * 0.9 / 128) << g << " " << k;
        }
    }
    for (int g = 2; g < 4; ++g)
        for (const Color& c : s.r->groups[g]->radiosity) EXPECT_EQ(c.r, 1.0f);
}

TEST(Gathering, IterationThresholdEdges) {
    const std::vector<ModelPatch> one = {patch(tri(0, 0, 0, 0, 1, 0, 1, 0, 0), kGrey, Color(0.25f, 0.25f, 0.25f, 1))};
    Solver s(one, 8, 0.2f, 100.0f, 0.25f, 1.0f);
    s.project();
    // A change exactly equal to the threshold ends the channel.
    EXPECT_EQ(s.gather(0), 1);
    s.r->settings.iterThreshold = std::nextafter(0.25f, 0.0f);
    EXPECT_EQ(s.gather(1), 2);
    // 2^24 + 1 is 2^24 in single precision: no sweep at all; likewise NaN.
    s.r->settings.iterThreshold = 16777216.0f;
    EXPECT_EQ(s.gather(2), 0);
    EXPECT_EQ(s.r->groups[0]->radiosity[0].b, 0.0f);
    s.r->settings.iterThreshold = std::nanf("");
    EXPECT_EQ(s.gather(2), 0);
    EXPECT_EQ(s.r->groups[0]->radiosity[0].b, 0.0f);
}

TEST(Gathering, SubdivideThresholdEdges) {
    auto cube = unitHemicube(2, 0.2f);
    GroupSet set(cube.get());
    PatchGroup* g = set.add(tri(0, 0, 0, 0, 1, 0, 1, 0, 0), 0);
    for (int ch = 0; ch < 3; ++ch) {
        for (int order = 0; order < 2; ++order) {
            for (Color& c : g->radiosity) c = Color(0.5f, 0.5f, 0.5f, 1.0f);
            g->radiosity[order == 0 ? 3 : 1][ch] = 0.75f;  // above or below its partner
            g->subdivide = false;
            g->checkSubdivide(0.25f);
            EXPECT_FALSE(g->subdivide) << ch << " " << order;
            g->checkSubdivide(std::nextafter(0.25f, 0.0f));
            EXPECT_TRUE(g->subdivide) << ch << " " << order;
            // The flag is never cleared by a later, even group.
            for (Color& c : g->radiosity) c = Color(0.5f, 0.5f, 0.5f, 1.0f);
            g->checkSubdivide(0.25f);
            EXPECT_TRUE(g->subdivide);
        }
    }
}

TEST(Gathering, NormalisationAndNoLight) {
    Solver lit({patch(tri(0, 0, 0, 0, 1, 0, 1, 0, 0), kGrey, Color(1, 1, 1, 1))}, 8, 0.2f, 100.0f, 0.01f, 1.0f);
    Color* c = lit.r->groups[0]->radiosity;
    c[0] = Color(0.5f, 2.0f, 0.25f, 1.0f);
    c[1] = Color(4.0f, 0.0f, 1.0f, 1.0f);
    c[2] = Color(0.0f, 0.0f, 0.0f, 1.0f);
    c[3] = Color(3.0f, 1.0f, 2.0f, 1.0f);
    EXPECT_EQ(lit.normalize(), "");
    EXPECT_EQ(c[1].r, 1.0f);
    EXPECT_EQ(c[0].g, 0.5f);
    EXPECT_EQ(c[3].r, 0.75f);
    EXPECT_EQ(c[0].b, 0.0625f);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(c[k].a, 1.0f);

    // Nothing emits: the values stay 0, with a warning, and no NaN.
    Solver dark({patch(tri(0, 0, 0, 0, 1, 0, 1, 0, 0), kGrey, kBlack)}, 8, 0.2f, 100.0f, 0.01f, 1.0f);
    dark.project();
    for (int ch = 0; ch < 3; ++ch) dark.gather(ch);
    const std::string out = dark.normalize();
    EXPECT_EQ(out.rfind("warning: ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    for (const Color& col : dark.r->groups[0]->radiosity) {
        EXPECT_EQ(col.r, 0.0f);
        EXPECT_EQ(col.g, 0.0f);
        EXPECT_EQ(col.b, 0.0f);
    }
}

// A flagged group splits into four on an ordinary pass, but not after the
// last allowed restart nor into elements below the minimum area: there the
// pass prints one warning line and reports no split.
TEST(Gathering, SplittingStopsAtItsLimitsWithAWarning) {
    const std::vector<ModelPatch> one = {patch(tri(0, 0, 0, 0, 4, 0, 4, 0, 0), kGrey, Color(1, 1, 1, 1))};
    const struct {
        int restart;
        float maxPatchArea;  // 2 * kMinElementAreaDivisor: elements of 1 are far too small to split
        bool splits;
    } cases[] = {{0, 2.0f, true}, {kMaxRestarts, 2.0f, false}, {0, 2.0f * kMinElementAreaDivisor, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.restart);
        Solver s(one, 8, 0.2f, 2.0f, 0.01f, 0.1f);
        ASSERT_EQ(s.r->groups.count(), 1);
        s.r->settings.maxPatchArea = c.maxPatchArea;
        s.r->groups[0]->radiosity[0].r = 1.0f;
        const std::string out = s.printedBy([&] { EXPECT_EQ(s.r->subdivisionPass(c.restart), c.splits); });
        EXPECT_EQ(s.r->groups.count(), c.splits ? 4 : 1);
        if (c.splits) {
            EXPECT_EQ(out, "");
        } else {
            EXPECT_EQ(out.rfind("warning: ", 0), 0u) << out;
            EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        }
    }
}

TEST(Gathering, SweepsStopAtTheirLimitWithAWarning) {
    testsupport::ScratchDir dir;
    // Reflecting 1.002 inside a closed box, the radiosity grows by a fraction of a percent a
    // sweep: it never converges and stays finite for far more sweeps than
    // the limit.
    testsupport::writeFile(dir.file("white.mdl"), modelText(furnace(1.002f)));
    const auto r = testsupport::runGlowbake(dir.path.string(), {"-m", "white.mdl", "-h", GLOWBAKE_DEFAULT_HEMICUBE,
                                                                "-w", "0.2", "-a", "100", "-i", "1e-30", "-s", "1e30"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> ls = lines(r.out);
    int sweeps[3] = {0, 0, 0};
    for (size_t i = 0; i < ls.size(); ++i) {
        for (int ch = 0; ch < 3; ++ch)
            if (ls[i].rfind("Color " + std::to_string(ch) + ", Iteration number ", 0) == 0) ++sweeps[ch];
    }
    // One warning about the reflectance first, then one per channel, on
    // standard error.
    const std::vector<std::string> warnings = lines(r.err);
    ASSERT_EQ(warnings.size(), 4u) << r.err;
    EXPECT_NE(warnings[0].find("reflect 1 or more"), std::string::npos) << warnings[0];
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_EQ(warnings[ch + 1].rfind("Glowbake: warning: color " + std::to_string(ch) + " did not converge", 0), 0u)
            << warnings[ch + 1];
    EXPECT_EQ(r.out.find("warning"), std::string::npos);
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(sweeps[ch], kMaxSweeps);
    EXPECT_NE(r.out.find("Color 2, Iteration number " + std::to_string(kMaxSweeps - 1) + " \n"), std::string::npos);
    EXPECT_EQ(r.out.find("Color 2, Iteration number " + std::to_string(kMaxSweeps) + " \n"), std::string::npos);
}

// Far from the origin an edge's midpoints round onto its corners: the
// initial split of this patch (1e8 out, legs of 64, elements of 512 against
// a maximum of 1) reaches groups whose children are no smaller, keeps them
// with one warning naming the patch, and ends. A patch whose area is not
// finite in single precision is refused before any split, by number. Both
// once split without end, so they run under a timeout.
TEST(Gathering, InitialSplitEndsWhereHalvingNoLongerShrinks) {
    const Color light(1, 1, 1, 1);
    const struct {
        std::vector<ModelPatch> model;
        int status;
        const char* message;  // on standard error
    } cases[] = {
        {{patch(tri(1e8f, 1e8f, 0, 1e8f + 64, 1e8f, 0, 1e8f, 1e8f + 64, 0), kGrey, light)}, 0,
         "Glowbake: warning: "},
        {{patch(tri(0, 0, 0, 0, 1, 0, 1, 0, 0), kGrey, light),
          patch(tri(1e38f, 1e38f, 0, 1.0000001e38f, 1e38f, 0, 1e38f, 1e38f, 1), kGrey, light)},
         1, "Glowbake: error: patch 1 has no finite area"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        testsupport::ScratchDir dir;
        testsupport::writeFile(dir.file("far.mdl"), modelText(c.model));
        const auto r = testsupport::run(dir.path.string(), "timeout",
                                        {"60", GLOWBAKE_BIN, "-m", "far.mdl", "-h", GLOWBAKE_DEFAULT_HEMICUBE, "-w",
                                         "0.2", "-a", "1", "-i", "0.01", "-s", "10", "-t", "8"});
        ASSERT_EQ(r.status, c.status) << r.err;
        const std::string& text = r.err;
        EXPECT_EQ(r.out.find("warning"), std::string::npos) << r.out.substr(0, 2000);
        const size_t at = text.find(c.message);
        ASSERT_NE(at, std::string::npos) << text.substr(0, 2000);
        if (c.status == 0) {
            EXPECT_NE(text.find("patch 0", at), std::string::npos) << text.substr(0, 2000);
            EXPECT_EQ(text.find("Glowbake: warning: ", at + 1), std::string::npos) << text.substr(0, 2000);
        }
    }
}

// The group limit leaves room for each group's own record besides its
// form-factor rows: with a 2 x 2 hemicube a row holds at most 12 entries.
TEST(Gathering, GroupLimitCountsEachGroupsOwnBytes) {
    const double rowBytes = 4.0 * kFormFactorEntryBytes * 12;
    const double budget = 0.75 * static_cast<double>(physicalMemoryBytes());
    EXPECT_LE(static_cast<double>(maxGroupCount(2)) * (sizeof(PatchGroup) + rowBytes), budget);
    EXPECT_GE(static_cast<double>(maxGroupCount(2)) * (groupBytes(64) + rowBytes), 0.5 * budget);
}

// A light above a floor of two triangles, one of them wound the wrong way,
// and a block's top 1 above the floor within the corner tolerance; the
// light is 100, so -s 0.05 is far below it. Each finding is one line on
// standard error, among the solve's own warnings (groups too small to
// split); standard output carries none of them.
TEST(Gathering, LikelyMistakesAreWarnedOnStandardError) {
    const Color grey(0.5f, 0.5f, 0.5f, 1), light(100, 100, 100, 1);
    const std::vector<ModelPatch> room = {
        patch(tri(0, 0, 2, 1, 0, 2, 0, 1, 2), kBlack, light),   // facing down
        patch(tri(-1, -1, 0, -1, 2, 0, 2, -1, 0), grey, kBlack),  // facing up
        patch(tri(-1, 2, 0, 2, -1, 0, 2, 2, 0), grey, kBlack),    // facing down, the shared edge the same way
        patch(tri(-1, -1, 1, -1, 0, 1, 0, -1, 1), grey, kBlack),  // the block's top
    };
    testsupport::ScratchDir dir;
    testsupport::writeFile(dir.file("room.mdl"), modelText(room));
    const auto r = testsupport::runGlowbake(dir.path.string(), {"-m", "room.mdl", "-h", GLOWBAKE_DEFAULT_HEMICUBE,
                                                                "-w", "0.2", "-a", "100", "-i", "0.01", "-s", "0.05"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> warnings;
    for (const std::string& w : lines(r.err)) {
        EXPECT_EQ(w.rfind("Glowbake: warning: ", 0), 0u) << w;
        if (w.find("were not split because their elements would be smaller") == std::string::npos) warnings.push_back(w);
    }
    ASSERT_EQ(warnings.size(), 4u) << r.err;
    const struct {
        const char* first;
        const char* second;
    } expected[] = {{"subdivide_threshold 0.05 ", "brightest emission, 100"},
                    {"no light at all (patch 2)", "corners run clockwise"},
                    {"an edge but face opposite ways (patches 1 and 2)", "other order"},
                    {"up to 1 apart (the farthest: patches 1 and 3)", "scaling the model up"}};
    for (size_t i = 0; i < warnings.size(); ++i) {
        EXPECT_NE(warnings[i].find(expected[i].first), std::string::npos) << warnings[i];
        EXPECT_NE(warnings[i].find(expected[i].second), std::string::npos) << warnings[i];
    }
    EXPECT_EQ(r.out.find("warning"), std::string::npos);
}
