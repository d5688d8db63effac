#pragma once

#include <memory>
#include <vector>

#include "Color.h"
#include "Progress.h"
#include "Radiosity.h"
#include "Texture.h"
#include "TextureLayout.h"

// How the final gather lights each texel. The defaults are what --gather R
// uses; only `rays` is an option.
struct GatherSettings {
    // Cosine-distributed rays per texel for the light reflected by the rest
    // of the scene (--gather). 0: no gather. 1 to 65536; typical 256 (64 for
    // a draft, 1024 for a still). A texel's cost grows linearly with it.
    int rays = 0;
    // Points on each emitting triangle per texel, at least: 16, raised to 64
    // and 256 as the emitter looms larger from the texel (a fixed midpoint
    // lattice of 4^k sub-triangles), so penumbrae are smooth.
    int minEmitterPoints = 16;
    // More emitting triangles than this (an emissive texture, a window of
    // many faces) share one fixed table of `emitterTableSize` points dealt
    // out by each emitter's power, so the cost stays flat in their number.
    int explicitEmitterLimit = 32;
    int emitterTableSize = 256;
};

// The gathered light of every patch's texture, in patch order; patch p's
// texture has its layout's W x H texels.
struct GatheredLighting {
    // The light arriving at each texel, (B - E) / reflectance per channel,
    // in the emission's units: what an engine multiplies by its albedo.
    std::vector<FloatTexture> incident;
    long long texels = 0;
    long long rays = 0;         // every ray cast: indirect and emitter visibility
    long long escapedRays = 0;  // indirect rays that left the scene
};

// The linear radiosity of a texel of `patch` that receives `incident`:
// E + reflectance * incident per channel, alpha 1.
Color gatheredRadiosity(const PatchColors& colors, const Color& incident);

// A patch's scene-file texture from its gathered light: each texel's linear
// radiosity through the solve's gamma and normalisation, held to 0..1, and
// packed with an opaque alpha, as the element colours are.
Texture gatheredSceneTexture(const FloatTexture& incident, const PatchColors& colors, float gamma,
                             double normalizationScale);

// A solved scene made ready for gathering: the ray engine over its patches,
// the element lookup, the emitters and their sample points. Holds a
// reference to `solved`, which must outlive it.
//
// Every texel is lit at one point of its patch: direct light from every
// emitting patch, sampled at fixed points of the emitter with a visibility
// ray each, plus `rays` cosine-distributed rays taking the solved radiosity
// of the element they hit, the emission left out (it is direct light).
// Every point of one flat surface (a patch and its co-planar neighbours)
// uses the same directions, so neighbouring texels differ smoothly, not by
// noise; the numbers depend only on the surface, the texel and the sample,
// so the result is the same on any number of threads.
struct FinalGather {
    FinalGather(const Radiosity& solved, const GatherSettings& settings);
    ~FinalGather();
    FinalGather(const FinalGather&) = delete;
    FinalGather& operator=(const FinalGather&) = delete;

    // The light arriving at the point of `patch` with barycentric weights
    // (b0, b1, b2), on its lit side. Alpha is 0 when the point is buried
    // (more than half of its rays meet the backs of patches), 1 otherwise.
    Color incidentAt(int patch, double b0, double b1, double b2) const;

    // Every texel of every patch's texture, at the point of the patch its
    // centre maps to (texels beyond the triangle: the nearest point inside
    // it). Buried texels take the light of their unburied neighbours. Runs
    // on all cores; reports FinalGather progress events.
    GatheredLighting gatherTextures(const std::vector<PatchLayout>& layouts, const Progress& progress) const;

    struct State;

private:
    std::unique_ptr<State> state;
};
