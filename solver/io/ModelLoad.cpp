#include "ModelLoad.h"

#include <assimp/Importer.hpp>

#include "GuardedImport.h"
#include "ModelFile.h"
#include "PathParts.h"

bool isTextModelName(const std::string& fileName) {
    const std::string ext = lowerExtension(fileName);
    if (ext.size() < 2) return true;
    // Assimp claims .mdl for a game-model format; here it is the text model.
    if (ext == ".mdl" || ext == ".txt") return true;
    return !Assimp::Importer().IsExtensionSupported(ext);
}

Model loadModel(std::FILE* file, const std::string& fileName, const Progress& progress, SceneSurfaces* surfaces) {
    if (isTextModelName(fileName)) return readModel(file, fileName, progress);
    return importSceneGuarded(fileName, progress, surfaces);
}
