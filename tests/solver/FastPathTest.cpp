// The solver's fast form-factor path and sparse gathering against the plain
// formulation, on randomised scenes: every row must hold the same entries
// with the same bits, and the gathered radiosities must be identical.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "FormFactorWorkspace.h"
#include "HemicubeView.h"
#include "Radiosity.h"
#include "SolverTestUtil.h"

using namespace solvertest;

namespace {

std::uint32_t bitsOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// A random triangle near the origin; now and then one that is degenerate,
// tiny, huge or lying in the z = 0 plane, which exercise the culling and
// clipping boundaries.
Tri randomTri(std::mt19937& rng) {
    std::uniform_real_distribution<float> coord(-4.0f, 4.0f);
    std::uniform_int_distribution<int> kind(0, 9);
    Vec3 a(coord(rng), coord(rng), coord(rng));
    Vec3 b(coord(rng), coord(rng), coord(rng));
    Vec3 c(coord(rng), coord(rng), coord(rng));
    switch (kind(rng)) {
        case 0: return Tri(a, a, b);                                  // degenerate
        case 1: return Tri(a, a + Vec3(0.01f, 0, 0), a + Vec3(0, 0.01f, 0.001f));  // tiny
        case 2: return Tri(a * 10.0f, b * 10.0f, c * 10.0f);          // large
        case 3: return Tri(Vec3(a.x, a.y, 0), Vec3(b.x, b.y, 0), Vec3(c.x, c.y, 0));  // in z = 0
        default: return Tri(a, b, c);
    }
}

void expectSameRows(const PatchGroup& fast, const PatchGroup& reference, int group) {
    ASSERT_EQ(fast.formFactorGroupCount, reference.formFactorGroupCount);
    for (int e = 0; e < 4; ++e) {
        const FormFactorRow& f = fast.formFactors[e];
        const FormFactorRow& r = reference.formFactors[e];
        ASSERT_EQ(f.length, r.length) << "group " << group << " element " << e;
        ASSERT_EQ(f.entries.size(), r.entries.size()) << "group " << group << " element " << e;
        for (size_t i = 0; i < f.entries.size(); ++i) {
            EXPECT_EQ(f.entries[i].index, r.entries[i].index) << "group " << group << " element " << e;
            EXPECT_EQ(bitsOf(f.entries[i].value), bitsOf(r.entries[i].value))
                << "group " << group << " element " << e << " entry " << f.entries[i].index;
        }
    }
}

}  // namespace

TEST(FastPath, FormFactorRowsMatchThePlainProjectionBitForBit) {
    struct Setup {
        int resolution;
        float worldWidth;
    };
    const Setup setups[] = {{8, 2.0f}, {16, 1.1f}, {32, 0.01f}, {64, 1.3f}};
    std::mt19937 rng(20261208);
    long long entriesCompared = 0;
    for (const Setup& setup : setups) {
        auto cube = unitHemicube(setup.resolution, setup.worldWidth);
        for (int scene = 0; scene < 6; ++scene) {
            GroupSet fast(cube.get());
            GroupSet reference(cube.get());
            std::uniform_int_distribution<int> patchCount(3, 14);
            const int patches = patchCount(rng);
            for (int p = 0; p < patches; ++p) {
                const Tri t = randomTri(rng);
                // Some patches contribute two groups, so same-patch skipping is exercised.
                const int copies = p % 3 == 0 ? 2 : 1;
                for (int c = 0; c < copies; ++c) {
                    fast.add(t, p);
                    reference.add(t, p);
                }
            }
            FormFactorWorkspace workspace(*cube);
            for (int g = 0; g < fast.groups.count(); ++g) {
                fast.groups[g]->computeFormFactors(fast.groups, workspace);
                reference.groups[g]->computeFormFactorsReference(reference.groups);
                expectSameRows(*fast.groups[g], *reference.groups[g], g);
                for (int e = 0; e < 4; ++e) entriesCompared += fast.groups[g]->formFactors[e].entries.size();
            }
        }
    }
    // The scenes must actually see each other, or the comparison proves little.
    EXPECT_GT(entriesCompared, 1000);
}

TEST(FastPath, SparseGatheringMatchesTheDenseSweepsBitForBit) {
    // A closed cube around a few loose triangles, solved by the solver, and
    // the same sweeps written out over dense rows.
    std::vector<ModelPatch> patches;
    for (const Tri& t : inwardCube(0.0f, 4.0f)) patches.push_back({t, Color(0.6f, 0.5f, 0.4f, 1.0f), Color(0.0f, 0.0f, 0.0f, 1.0f)});
    patches[2].emission = Color(1.0f, 0.8f, 0.6f, 1.0f);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(0.5f, 3.5f);
    for (int i = 0; i < 4; ++i) {
        Tri t(Vec3(coord(rng), coord(rng), coord(rng)), Vec3(coord(rng), coord(rng), coord(rng)),
              Vec3(coord(rng), coord(rng), coord(rng)));
        patches.push_back({t, Color(0.7f, 0.3f, 0.5f, 1.0f), Color(0.0f, 0.0f, 0.0f, 1.0f)});
    }
    Radiosity solver(modelOf(patches), unitHemicubeTables(16), settingsOf(0.2f, 2.0f, 1e-6f, 1e30f, 1.0f, 4),
                     kSilent);
    solver.projectAll();

    const int n = solver.groups.count();
    std::vector<float> dense[3];
    for (int ch = 0; ch < 3; ++ch) {
        // The dense reference: every entry of every row, in index order.
        std::vector<float> b(4 * n, 0.0f);
        float delta = solver.settings.iterThreshold + 1.0f;
        while (delta > solver.settings.iterThreshold) {
            delta = 0.0f;
            for (int g = 0; g < n; ++g) {
                const PatchGroup* group = solver.groups[g].get();
                for (int k = 0; k < 4; ++k) {
                    float sum = 0.0f;
                    for (int l = 0; l < 4 * n; ++l)
                        sum = static_cast<float>(static_cast<double>(b[l]) * group->formFactors[k][l] + sum);
                    const float old = b[4 * g + k];
                    b[4 * g + k] = static_cast<float>(static_cast<double>((*group->emission[k])[ch]) +
                                                      static_cast<double>((*group->reflectance)[ch]) * sum);
                    const float d = b[4 * g + k] - old;
                    if (d > delta) delta = d; else if (-d > delta) delta = -d;
                }
            }
        }
        dense[ch] = b;
        solver.gatherChannel(ch);
    }
    bool anyLight = false;
    for (int g = 0; g < n; ++g) {
        for (int k = 0; k < 4; ++k) {
            for (int ch = 0; ch < 3; ++ch) {
                const float got = solver.groups[g]->radiosity[k][ch];
                EXPECT_EQ(bitsOf(got), bitsOf(dense[ch][4 * g + k])) << g << " " << k << " " << ch;
                anyLight = anyLight || (got > 0.0f && (*solver.groups[g]->emission[k])[ch] == 0.0f);
            }
        }
    }
    EXPECT_TRUE(anyLight) << "no light was gathered; the comparison would be vacuous";
}

TEST(FastPath, FacingShortcutAgreesWithTheNormalisedDotProduct) {
    // The shortcut must give dot(normal(), corner 0) > 0 exactly, also for
    // triangles seen almost edge-on and for tiny or huge ones.
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    int disagreements = 0, facingAway = 0, facing = 0;
    for (int i = 0; i < 200000; ++i) {
        const float scale = std::ldexp(1.0f, exponent(rng));
        Vec3 a(unit(rng), unit(rng), unit(rng));
        Vec3 b(unit(rng), unit(rng), unit(rng));
        Vec3 c(unit(rng), unit(rng), unit(rng));
        if (i % 3 == 0) {
            // Nearly edge-on: corner 0 on the plane through the origin spanned
            // by the edges, moved off it by 1e-9 to 1e-2 of its size, across
            // the shortcut's own margin.
            const Vec3 e1 = b - a, e2 = c - a;
            a = e1 * unit(rng) + e2 * unit(rng);
            a = a + cross(e1, e2) * (std::pow(10.0f, -9.0f + 7.0f * (unit(rng) + 1.0f) * 0.5f) * unit(rng));
            b = a + e1;
            c = a + e2;
        }
        const Tri t(a * scale, b * scale, c * scale);
        const bool expected = dot(t.normal(), t.vertices[0]) > 0.0f;
        const bool got = facesAwayFromEye(t);
        disagreements += expected != got;
        (expected ? facingAway : facing) += 1;
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(facingAway, 1000);
    EXPECT_GT(facing, 1000);
}
