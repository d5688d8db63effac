#pragma once

#include <set>
#include <string>
#include <vector>

// The names of the materials, in the MTL libraries an OBJ file names
// ("mtllib"), that declare no diffuse colour ("Kd"). Blender writes a
// textured material that way, meaning the map_Kd texture alone, where Assimp
// puts a default grey of 0.6 in place of the missing Kd. Libraries that
// cannot be read are skipped (the importer reports what it cannot read).
std::set<std::string> mtlMaterialsWithoutKd(const std::string& objPath);

// The MTL libraries an OBJ file names ("mtllib"), in order, as paths
// relative to the OBJ's folder unless absolute.
std::vector<std::string> mtlLibraryPaths(const std::string& objPath);

// True for names ending in .obj, in any letter case.
bool isObjName(const std::string& path);
