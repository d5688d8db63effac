#include "PatchGroup.h"

void PatchGroup::initFromTri(const Tri& source, int parentId, const Color* reflect, const Color* emit,
                             const Color& initialRadiosity, const Hemicube* cube) {
    parentPatchId = parentId;
    const Vec3& v0 = source.vertices[0];
    const Vec3& v1 = source.vertices[1];
    const Vec3& v2 = source.vertices[2];
    const Vec3 midSide0 = midpoint(v0, v1);
    const Vec3 midSide1 = midpoint(v1, v2);
    const Vec3 midSide2 = midpoint(v2, v0);
    elements[0].setVertices(v0, midSide0, midSide2);
    elements[1].setVertices(v1, midSide1, midSide0);
    elements[2].setVertices(v2, midSide2, midSide1);
    elements[3].setVertices(midSide0, midSide1, midSide2);
    for (int j = 0; j < 4; ++j) elementDegenerate[j] = elements[j].isDegenerate();
    reflectance = reflect;
    for (int j = 0; j < 4; ++j) {
        emission[j] = emit;
        radiosity[j] = Color(initialRadiosity.r, initialRadiosity.g, initialRadiosity.b, 1.0f);
    }
    hemicube = cube;
    subdivide = false;
    initialized = true;
}

void PatchGroup::makeChildren(std::unique_ptr<PatchGroup> (&children)[4]) const {
    for (int i = 0; i < 4; ++i) {
        children[i] = std::make_unique<PatchGroup>();
        children[i]->initFromTri(elements[i], parentPatchId, reflectance, emission[i], radiosity[i], hemicube);
        children[i]->splitPath = (splitPath << 2) | static_cast<std::uint64_t>(i);
        children[i]->splitDepth = splitDepth + 1;
    }
}

bool PatchGroup::splitGroup(GroupArray& groups, int index) {
    if (!subdivide) return false;
    std::unique_ptr<PatchGroup> children[4];
    makeChildren(children);
    // Held until return: removing the entry would otherwise destroy this
    // group while its function is still running.
    std::unique_ptr<PatchGroup> self = std::move(groups[index]);
    groups.removeAt(index);
    for (std::unique_ptr<PatchGroup>& child : children) groups.push(std::move(child));
    return true;
}

void PatchGroup::checkSubdivide(float threshold) {
    for (int i = 1; i < 4; ++i) {
        for (int j = 0; j < i; ++j) {
            for (int ch = 0; ch < 3; ++ch) {
                const float d = radiosity[i][ch] - radiosity[j][ch];
                if (d > threshold || d < -threshold) subdivide = true;
            }
        }
    }
}

void PatchGroup::resetSolution() {
    for (Color& c : radiosity) c = Color(0.0f, 0.0f, 0.0f, 1.0f);
    if (hasFormFactors) {
        for (FormFactorRow& row : formFactors) row.release();
        hasFormFactors = false;
    }
}
