#include "MtlDiffuse.h"

#include <fstream>
#include <sstream>

#include "PathParts.h"

namespace {

// The rest of a line after its keyword, without surrounding blanks.
std::string restOf(std::istringstream& words) {
    std::string rest;
    std::getline(words, rest);
    const size_t start = rest.find_first_not_of(" \t");
    const size_t end = rest.find_last_not_of(" \t\r");
    return start == std::string::npos ? std::string() : rest.substr(start, end - start + 1);
}

void scanLibrary(const std::string& path, std::set<std::string>& withoutKd) {
    std::ifstream in(path);
    std::string line, current;
    bool open = false, hasKd = false;
    const auto finish = [&] {
        if (open && !hasKd) withoutKd.insert(current);
    };
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword)) continue;
        if (keyword == "newmtl") {
            finish();
            current = restOf(words);
            open = true;
            hasKd = false;
        } else if (keyword == "Kd") {
            hasKd = true;
        }
    }
    finish();
}

}  // namespace

bool isObjName(const std::string& path) { return lowerExtension(path) == ".obj"; }

std::vector<std::string> mtlLibraryPaths(const std::string& objPath) {
    std::vector<std::string> paths;
    std::ifstream in(objPath);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword) || keyword != "mtllib") continue;
        const std::string library = restOf(words);
        if (!library.empty()) paths.push_back(besideFile(objPath, library));
    }
    return paths;
}

std::set<std::string> mtlMaterialsWithoutKd(const std::string& objPath) {
    std::set<std::string> withoutKd;
    for (const std::string& library : mtlLibraryPaths(objPath)) scanLibrary(library, withoutKd);
    return withoutKd;
}
