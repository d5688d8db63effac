#include "SceneSurfaces.h"

#include <map>
#include <tuple>

void addPatchSurface(SceneSurfaces& surfaces, int material, const float* normals, const float* texcoords) {
    surfaces.patchMaterial.push_back(material);
    surfaces.hasNormals.push_back(normals ? 1 : 0);
    surfaces.hasTexcoords.push_back(texcoords ? 1 : 0);
    for (int i = 0; i < 9; ++i) surfaces.normals.push_back(normals ? normals[i] : 0.0f);
    for (int i = 0; i < 6; ++i) surfaces.texcoords.push_back(texcoords ? texcoords[i] : 0.0f);
}

SceneSurfaces surfacesOfColors(const Model& model) {
    SceneSurfaces surfaces;
    using Key = std::tuple<float, float, float, float, float, float>;
    std::map<Key, int> byColors;
    for (const PatchColors& colors : model.colors) {
        const Color& r = colors.reflectance;
        const Color& e = colors.emission;
        const Key key{r.r, r.g, r.b, e.r, e.g, e.b};
        auto found = byColors.find(key);
        if (found == byColors.end()) {
            found = byColors.emplace(key, static_cast<int>(surfaces.materials.size())).first;
            SurfaceMaterial material;
            material.name = "material " + std::to_string(surfaces.materials.size());
            material.baseColor[0] = r.r;
            material.baseColor[1] = r.g;
            material.baseColor[2] = r.b;
            material.emission[0] = e.r;
            material.emission[1] = e.g;
            material.emission[2] = e.b;
            surfaces.materials.push_back(material);
        }
        addPatchSurface(surfaces, found->second, nullptr, nullptr);
    }
    return surfaces;
}
