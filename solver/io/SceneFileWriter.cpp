#include "SceneFileWriter.h"

#include "FileIO.h"
#include "FinalGather.h"
#include "GlowbakeError.h"
#include "LightmapBake.h"
#include "SceneFile.h"

void writeSceneFile(std::FILE* file, const std::string& fileName, const Radiosity& radiosity,
                    const std::vector<PatchLayout>& layouts, const Progress& progress) {
    FileIO fileIO;
    const int numPatches = radiosity.numPatches;
    scene::writeHeader(file, fileIO, numPatches);
    if (!fileIO.ok) throw GlowbakeError("could not write scene file " + fileName);

    const std::vector<Color> colors = elementRadiosities(radiosity.groups);
    const GroupsByPatch byPatch(radiosity.groups, numPatches);
    std::vector<TexturePoint> points;
    progress.say("writing texture data for patch:  ");
    for (int p = 0; p < numPatches; ++p) {
        progress.say("%d/%d   ", p, numPatches);
        const PatchLayout& layout = layouts[p];
        collectTexturePoints(p, layout, radiosity.groups, byPatch, radiosity.neighbors[p], colors, points);
        if (points.size() < 4) progress.say("debug\n");
        const bool gathered = !radiosity.gatheredIncident.empty();
        const Texture texture =
            gathered ? gatheredSceneTexture(radiosity.gatheredIncident[p], radiosity.model.colors[p],
                                            radiosity.settings.gamma, radiosity.normalizationScale)
                     : bakeTexture<PackedTexel>(layout.wide, layout.high, points, bakeEdges(points));

        scene::RecordHeader record;
        for (int t = 0; t < 3; ++t) {
            record.corners[t] = radiosity.model.patches[p].vertices[t];
            record.anchorU[t] = layout.anchorU[t];
            record.anchorV[t] = layout.anchorV[t];
        }
        record.textWide = layout.wide;
        record.textHigh = layout.high;
        scene::writeRecordHeader(file, fileIO, record);
        scene::writeTexels(file, fileIO, texture.texels.data(), static_cast<long long>(layout.wide) * layout.high);
        if (!fileIO.ok) throw GlowbakeError("could not write scene file " + fileName + " (disk full?)");
        progress.report({ProgressStage::Baking, radiosity.pass, -1, p + 1, numPatches});
    }
    progress.say("\nDone writing texture data.\n");
}
