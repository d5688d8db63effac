#include "ModelFile.h"

#include <cmath>

#include "GlowbakeError.h"

namespace {

const char* const kValueNames[15] = {
    "corner 0 x",     "corner 0 y",     "corner 0 z",    "corner 1 x",    "corner 1 y",
    "corner 1 z",     "corner 2 x",     "corner 2 y",    "corner 2 z",    "reflectance r",
    "reflectance g",  "reflectance b",  "emission r",    "emission g",    "emission b",
};

struct ModelReader {
    std::FILE* file;
    const std::string& fileName;

    float read(int patch, int numPatches, int value) {
        float v = 0.0f;
        const int got = std::fscanf(file, "%f", &v);
        const std::string where = "model file " + fileName + ": patch " + std::to_string(patch) + " of " +
                                  std::to_string(numPatches) + ": " + kValueNames[value];
        if (got == EOF) throw GlowbakeError(where + " is missing: the file ends early");
        if (got != 1) throw GlowbakeError(where + " is not a number");
        if (!std::isfinite(v)) throw GlowbakeError(where + " is not a finite number");
        return v;
    }
};

}  // namespace

Model readModel(std::FILE* file, const std::string& fileName, const Progress& progress) {
    Model model;
    int numPatches = 0;
    const int got = std::fscanf(file, "%d", &numPatches);
    if (got == EOF) throw GlowbakeError("model file " + fileName + ": the patch count is missing (the file is empty)");
    if (got != 1) throw GlowbakeError("model file " + fileName + ": the patch count is not a whole number");
    if (numPatches < 0) {
        throw GlowbakeError("model file " + fileName + ": the patch count " + std::to_string(numPatches) +
                            " is negative");
    }
    progress.say("num patches =%d\n", numPatches);

    ModelReader reader{file, fileName};
    for (int i = 0; i < numPatches; ++i) {
        progress.say("patch %d\n", i);
        Vec3 verts[3];
        for (int c = 0; c < 3; ++c) {
            const float x = reader.read(i, numPatches, 3 * c);
            const float y = reader.read(i, numPatches, 3 * c + 1);
            const float z = reader.read(i, numPatches, 3 * c + 2);
            progress.say("vertex read = (%f, %f, %f)\n", x, y, z);
            verts[c] = Vec3(x, y, z);
        }
        Tri patch;
        patch.setVertices(verts[0], verts[1], verts[2]);
        model.patches.push_back(patch);
        float values[6];
        for (int v = 0; v < 6; ++v) values[v] = reader.read(i, numPatches, 9 + v);
        PatchColors colors;
        colors.emission = Color(values[3], values[4], values[5], 1.0f);
        colors.reflectance = Color(values[0], values[1], values[2], 1.0f);
        model.colors.push_back(colors);
    }
    progress.say("done loading patches\n\n");
    model.meshes.push_back({"model", "", 0, numPatches});
    return model;
}
