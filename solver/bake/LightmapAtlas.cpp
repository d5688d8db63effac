#include "LightmapAtlas.h"

#include "FinalGather.h"
#include "LightmapBake.h"

namespace {

bool emits(const Color& emission) { return emission.r > 0.0f || emission.g > 0.0f || emission.b > 0.0f; }

// The light arriving at every element: (B - E) / reflectance per channel, 0
// where the reflectance is 0 (and where rounding leaves B a hair below E).
std::vector<Color> elementIrradiance(const Radiosity& radiosity) {
    std::vector<Color> arriving;
    arriving.reserve(radiosity.linearRadiosity.size());
    for (int g = 0; g < radiosity.groups.count(); ++g) {
        const PatchGroup& group = *radiosity.groups[g];
        for (int j = 0; j < 4; ++j) {
            const Color& b = radiosity.linearRadiosity[4 * static_cast<size_t>(g) + j];
            Color e;
            for (int ch = 0; ch < 3; ++ch) {
                const float rho = (*group.reflectance)[ch];
                const float light = rho > 0.0f ? (b[ch] - (*group.emission[j])[ch]) / rho : 0.0f;
                e[ch] = light > 0.0f ? light : 0.0f;
            }
            arriving.push_back(e);
        }
    }
    return arriving;
}

void placeTexture(LinearImage& atlas, const AtlasLayout& layout, int p, const FloatTexture& texture,
                  std::vector<float>& rgb) {
    rgb.clear();
    for (const Color& c : texture.texels) {
        rgb.push_back(c.r);
        rgb.push_back(c.g);
        rgb.push_back(c.b);
    }
    placeChart(atlas, layout, p, {texture.wide, texture.high}, rgb.data());
}

}  // namespace

std::vector<ChartSize> chartSizes(const std::vector<PatchLayout>& layouts) {
    std::vector<ChartSize> sizes;
    sizes.reserve(layouts.size());
    for (const PatchLayout& l : layouts) sizes.push_back({l.wide, l.high});
    return sizes;
}

int largestFittingTextSize(const std::vector<Tri>& patches, float largestPatchArea, int textSize) {
    std::vector<float> areas;
    areas.reserve(patches.size());
    for (const Tri& t : patches) areas.push_back(t.area());
    // Chart sizes grow with the texture size, so whether they fit flips
    // once: a binary search for the last size that fits.
    auto fits = [&](int size) {
        std::vector<ChartSize> charts;
        charts.reserve(areas.size());
        for (float a : areas) {
            const int side = textureSide(a, largestPatchArea, size);
            charts.push_back({side, side});
        }
        AtlasLayout unused;
        return packAtlas(charts, kMaxAtlasSide, unused);
    };
    int lo = 0, hi = textSize;  // lo fits (or is 0), hi does not
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (fits(mid)) lo = mid; else hi = mid;
    }
    return lo;
}

LightmapAtlases bakeAtlases(const Radiosity& radiosity, const std::vector<PatchLayout>& layouts,
                            const AtlasLayout& layout, bool withIrradiance) {
    LightmapAtlases atlases;
    atlases.radiosity = LinearImage(layout.wide, layout.high);
    std::vector<Color> arriving;
    if (withIrradiance) {
        atlases.irradiance = LinearImage(layout.wide, layout.high);
        arriving = elementIrradiance(radiosity);
    }
    const GroupsByPatch byPatch(radiosity.groups, radiosity.numPatches);
    std::vector<TexturePoint> points;
    std::vector<float> rgb;
    for (int p = 0; p < radiosity.numPatches; ++p) {
        const PatchLayout& l = layouts[p];
        if (!radiosity.gatheredIncident.empty()) {
            const FloatTexture& incident = radiosity.gatheredIncident[p];
            FloatTexture lit(incident.wide, incident.high);
            for (size_t i = 0; i < incident.texels.size(); ++i)
                lit.texels[i] = gatheredRadiosity(radiosity.model.colors[p], incident.texels[i]);
            placeTexture(atlases.radiosity, layout, p, lit, rgb);
            if (withIrradiance) placeTexture(atlases.irradiance, layout, p, incident, rgb);
            continue;
        }
        collectTexturePoints(p, l, radiosity.groups, byPatch, radiosity.neighbors[p], radiosity.linearRadiosity,
                             points);
        const std::vector<int> edges = bakeEdges(points);
        placeTexture(atlases.radiosity, layout, p, bakeTexture<FloatTexel>(l.wide, l.high, points, edges), rgb);
        if (withIrradiance) {
            // The same points in the same order, so the same edges.
            collectTexturePoints(p, l, radiosity.groups, byPatch, radiosity.neighbors[p], arriving, points);
            placeTexture(atlases.irradiance, layout, p, bakeTexture<FloatTexel>(l.wide, l.high, points, edges), rgb);
        }
    }
    return atlases;
}

ExposureMeter meterElements(const Radiosity& radiosity) {
    ExposureMeter meter;
    for (int g = 0; g < radiosity.groups.count(); ++g) {
        const PatchGroup& group = *radiosity.groups[g];
        const bool emitting = emits(radiosity.model.colors[group.parentPatchId].emission);
        for (int j = 0; j < 4; ++j) {
            const Color& c = radiosity.linearRadiosity[4 * static_cast<size_t>(g) + j];
            meter.addElement(group.elements[j].area(), c.r, c.g, c.b, emitting);
        }
    }
    return meter;
}
