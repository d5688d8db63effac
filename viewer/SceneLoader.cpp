#include "SceneLoader.h"

#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "Camera.h"
#include "FileIO.h"
#include "SceneFile.h"
#include "ViewerLog.h"
#include "ViewerSettings.h"

int numPatches = 0;
std::vector<Vec3> patchVerts[3];
std::vector<Vec3> textureAnchors[3];

void reorderTexels(unsigned char* texels, long long texelCount) {
    for (long long i = 0; i < texelCount; ++i) {
        unsigned char* texel = texels + 4 * i;
        const unsigned char alpha = texel[0];
        texel[0] = texel[1];
        texel[1] = texel[2];
        texel[2] = texel[3];
        texel[3] = alpha;
    }
}

Bounds sceneBounds() {
    Bounds box;
    for (int k = 0; k < 3; ++k)
        for (int p = 0; p < numPatches; ++p) box.add(patchVerts[k][p]);
    return box;
}

namespace {

void uploadTexture(int name, int textWide, int textHigh, const unsigned char* rgba) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textWide, textHigh, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

// Texel column or row over the texture size, in double, rounded once.
float anchorCoordinate(int texel, int size) {
    return static_cast<float>(static_cast<double>(texel) / static_cast<double>(size));
}

}  // namespace

SceneLoadResult loadScene() {
    FileIO fileIO;
    std::FILE* file = std::fopen(sceneFileName.c_str(), "rb");
    if (file == nullptr) {
        logFailure("Scene file %s failed to open, the scene is empty\n", sceneFileName.c_str());
        return SceneLoadResult::missing;
    }
    // Every count and size below is trusted only because the whole file has
    // been walked first: nothing is allocated from an unchecked value.
    std::string problem;
    if (!scene::validate(file, problem)) {
        logFailure("Scene file %s is malformed: %s\n", sceneFileName.c_str(), problem.c_str());
        std::fclose(file);
        return SceneLoadResult::malformed;
    }
    logMessage("Scene file opened.\n");

    const int count = fileIO.readInt(file);
    logMessage("num patches = %d\n", count);
    for (int k = 0; k < 3; ++k) {
        patchVerts[k].assign(static_cast<size_t>(count), Vec3());
        textureAnchors[k].assign(static_cast<size_t>(count), Vec3());
    }
    numPatches = count;

    std::vector<unsigned char> texels;
    for (int p = 0; p < numPatches; ++p) {
        for (int k = 0; k < 3; ++k) {
            const float x = fileIO.readFloat(file);
            const float y = fileIO.readFloat(file);
            const float z = fileIO.readFloat(file);
            patchVerts[k][p] = Vec3(x, y, z);
            logMessage("patch vert = (%f, %f, %f)\n", x, y, z);
        }
        const int textWide = fileIO.readInt(file);
        const int textHigh = fileIO.readInt(file);
        for (int k = 0; k < 3; ++k) {
            const int u = fileIO.readInt(file);
            const int v = fileIO.readInt(file);
            const float s = anchorCoordinate(u, textWide);
            const float t = anchorCoordinate(v, textHigh);
            textureAnchors[k][p] = Vec3(s, t, 0.0f);
            logMessage("texture anchors = (%f, %f)\n", s, t);
        }
        logMessage("textHigh, textWide = %d, %d\n", textHigh, textWide);

        const long long texelCount = static_cast<long long>(textWide) * textHigh;
        texels.resize(static_cast<size_t>(texelCount) * 4);
        // validate() has established that the whole block is in the file; the
        // buffer starts zeroed, so even a short read uploads no stray bytes.
        std::fread(texels.data(), 1, texels.size(), file);
        reorderTexels(texels.data(), texelCount);
        uploadTexture(kFirstTextureName + p, textWide, textHigh, texels.data());
        logMessage("texture data read successfully\n");
        // At most one texel block is held at a time.
        texels.clear();
        texels.shrink_to_fit();
    }
    std::fclose(file);
    return SceneLoadResult::loaded;
}
