#include "CoplanarNeighbors.h"

bool isCoplanar(const Tri& a, const Tri& b) { return normalsAgree(a.normal(), b.normal()); }

bool normalsAgree(const Vec3& thisNormal, const Vec3& otherNormal) {
    // In double, not rounded to float: the 0.99 limit is a double too.
    const double d = static_cast<double>(thisNormal.x) * otherNormal.x +
                     static_cast<double>(thisNormal.y) * otherNormal.y +
                     static_cast<double>(thisNormal.z) * otherNormal.z;
    return d > 0.99;
}

bool sharesVertex(const Tri& a, const Tri& b) {
    const double t = a.vertexTolerance;
    for (const Vec3& otherVert : b.vertices) {
        for (const Vec3& thisVert : a.vertices) {
            if (thisVert.x + t > otherVert.x && thisVert.x - t < otherVert.x && thisVert.y + t > otherVert.y &&
                thisVert.y - t < otherVert.y && thisVert.z + t > otherVert.z && thisVert.z - t < otherVert.z) {
                return true;
            }
        }
    }
    return false;
}

bool sameColors(const Model& m, int j, int k) {
    const PatchColors& a = m.colors[j];
    const PatchColors& b = m.colors[k];
    return a.reflectance.r == b.reflectance.r && a.reflectance.g == b.reflectance.g &&
           a.reflectance.b == b.reflectance.b && a.emission.r == b.emission.r && a.emission.g == b.emission.g &&
           a.emission.b == b.emission.b;
}

std::vector<GrowArray<int>> findCoplanarNeighbors(const Model& model) {
    const int numPatches = static_cast<int>(model.patches.size());
    std::vector<GrowArray<int>> neighbors(numPatches);
    // A patch's normal is the same for every pair it is in: computed once.
    std::vector<Vec3> normals;
    normals.reserve(numPatches);
    for (const Tri& patch : model.patches) normals.push_back(patch.normal());
    for (int j = 0; j < numPatches; ++j) {
        for (int k = 0; k < numPatches; ++k) {
            if (k == j) continue;
            if (!normalsAgree(normals[j], normals[k])) continue;
            if (!sharesVertex(model.patches[j], model.patches[k])) continue;
            if (!sameColors(model, j, k)) continue;
            neighbors[j].push(k);
        }
    }
    return neighbors;
}
