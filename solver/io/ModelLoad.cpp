#include "ModelLoad.h"

#include <cctype>

#include <assimp/Importer.hpp>

#include "ModelFile.h"
#include "SceneImport.h"

bool isTextModelName(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    // A leading dot names a hidden file, not an extension.
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= nameStart || dot + 1 == fileName.size()) return true;
    std::string ext = fileName.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Assimp claims .mdl for a game-model format; here it is the text model.
    if (ext == ".mdl" || ext == ".txt") return true;
    return !Assimp::Importer().IsExtensionSupported(ext);
}

Model loadModel(std::FILE* file, const std::string& fileName, const Progress& progress) {
    if (isTextModelName(fileName)) return readModel(file, fileName, progress);
    return importScene(fileName, progress);
}
