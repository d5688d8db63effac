#include "SceneImport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "AreaLight.h"
#include "GlowbakeError.h"
#include "GltfEmissiveStrength.h"
#include "MtlDiffuse.h"
#include "PathParts.h"
#include "SceneScreen.h"
#include "SceneSurfaces.h"
#include "TextureImage.h"
#include "TextureMean.h"

namespace {

// A node's accumulated transform, in double, row-major like aiMatrix4x4.
struct Transform {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    Transform then(const aiMatrix4x4& local) const {
        const ai_real l[3][4] = {{local.a1, local.a2, local.a3, local.a4},
                                 {local.b1, local.b2, local.b3, local.b4},
                                 {local.c1, local.c2, local.c3, local.c4}};
        Transform out;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                double v = c == 3 ? m[r][3] : 0.0;
                for (int k = 0; k < 3; ++k) v += m[r][k] * l[k][c];
                out.m[r][c] = v;
            }
        }
        return out;
    }

    void apply(const aiVector3D& p, double out[3]) const {
        for (int r = 0; r < 3; ++r) out[r] = m[r][0] * p.x + m[r][1] * p.y + m[r][2] * p.z + m[r][3];
    }

    // A normal turned as the surface is: by the transform's cofactor matrix
    // (its inverse transposed, times the determinant) with the
    // determinant's sign taken out, made unit length; 0 when it vanishes.
    void turnNormal(const aiVector3D& n, float out[3]) const {
        const double c[3][3] = {{m[1][1] * m[2][2] - m[1][2] * m[2][1], m[1][2] * m[2][0] - m[1][0] * m[2][2],
                                 m[1][0] * m[2][1] - m[1][1] * m[2][0]},
                                {m[0][2] * m[2][1] - m[0][1] * m[2][2], m[0][0] * m[2][2] - m[0][2] * m[2][0],
                                 m[0][1] * m[2][0] - m[0][0] * m[2][1]},
                                {m[0][1] * m[1][2] - m[0][2] * m[1][1], m[0][2] * m[1][0] - m[0][0] * m[1][2],
                                 m[0][0] * m[1][1] - m[0][1] * m[1][0]}};
        const double sign = mirrors() ? -1.0 : 1.0;
        double v[3], length = 0.0;
        for (int r = 0; r < 3; ++r) {
            v[r] = sign * (c[r][0] * n.x + c[r][1] * n.y + c[r][2] * n.z);
            length += v[r] * v[r];
        }
        length = std::sqrt(length);
        const bool usable = length > 0.0 && std::isfinite(length);
        for (int r = 0; r < 3; ++r) out[r] = usable ? static_cast<float>(v[r] / length) : 0.0f;
    }

    // A mirroring transform turns the front side's winding around.
    bool mirrors() const {
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        return det < 0.0;
    }
};

struct MaterialColors {
    std::string name;
    PatchColors colors;
};

void warn(const std::string& fileName, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "Glowbake: warning: model file %s: %s\n", fileName.c_str(), message.c_str());
}

struct SceneReader {
    SceneReader(const std::string& name, const aiScene* imported) : fileName(name), scene(imported) {}

    const std::string& fileName;
    const aiScene* scene = nullptr;
    std::vector<float> gltfStrengths;
    std::set<std::string> withoutKd;
    std::vector<MaterialColors> materials;
    Model model;
    SceneSurfaces* surfaces = nullptr;  // filled too when asked for
    long long points = 0, lines = 0;  // left out

    // "2 lines and 1 point", for messages.
    std::string leftOut() const {
        const auto count = [](long long n, const char* what) {
            return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
        };
        if (points == 0) return count(lines, "line");
        if (lines == 0) return count(points, "point");
        return count(lines, "line") + " and " + count(points, "point");
    }

    // The base-colour texture's mean, or nothing (with a warning) when the
    // material has a texture that cannot be read; its image too when
    // `image` is given.
    bool textureMean(const aiMaterial& material, const std::string& materialName, Color& mean, TextureImage* image) {
        aiString path;
        if (material.GetTexture(aiTextureType_DIFFUSE, 0, &path) != AI_SUCCESS &&
            material.GetTexture(aiTextureType_BASE_COLOR, 0, &path) != AI_SUCCESS)
            return false;
        TextureMean result;
        std::string where;
        if (const aiTexture* embedded = scene->GetEmbeddedTexture(path.C_Str())) {
            where = "embedded texture " + std::string(path.C_Str());
            const auto* bytes = reinterpret_cast<const unsigned char*>(embedded->pcData);
            if (embedded->mHeight == 0) {
                result = encodedTextureMean(bytes, embedded->mWidth);
                if (result.ok && image) *image = textureImageOf(bytes, embedded->mWidth);
            } else {
                result = bgraTextureMean(bytes, static_cast<size_t>(embedded->mWidth) * embedded->mHeight);
                if (result.ok && image)
                    *image = textureImageOfBgra(bytes, static_cast<int>(embedded->mWidth),
                                                static_cast<int>(embedded->mHeight));
            }
        } else {
            const std::string file = besideFile(fileName, path.C_Str());
            where = "texture file " + file;
            result = textureFileMean(file);
            if (result.ok && image) *image = textureImageOfFile(file);
        }
        if (!result.ok) {
            warn(fileName, "material " + materialName + ": " + where + " cannot be read (" + result.reason +
                               "); its colour factor alone is used");
            return false;
        }
        mean = result.mean;
        return true;
    }

    void readMaterials() {
        for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
            const aiMaterial& material = *scene->mMaterials[i];
            MaterialColors entry;
            aiString name;
            if (material.Get(AI_MATKEY_NAME, name) == AI_SUCCESS) entry.name = name.C_Str();
            if (entry.name.empty()) entry.name = "material " + std::to_string(i);

            Color mean(1.0f, 1.0f, 1.0f, 1.0f);
            TextureImage image;
            const bool textured = textureMean(material, entry.name, mean, surfaces ? &image : nullptr);
            aiColor4D diffuse(1, 1, 1, 1);
            // A textured MTL material without Kd is its texture alone.
            if (!(textured && withoutKd.count(entry.name)) &&
                material.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse) != AI_SUCCESS)
                material.Get(AI_MATKEY_BASE_COLOR, diffuse);
            entry.colors.reflectance = Color(diffuse.r * mean.r, diffuse.g * mean.g, diffuse.b * mean.b, 1.0f);

            aiColor4D emissive(0, 0, 0, 1);
            material.Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
            float strength = 1.0f;
            if (material.Get(AI_MATKEY_EMISSIVE_INTENSITY, strength) != AI_SUCCESS && i < gltfStrengths.size())
                strength = gltfStrengths[i];
            entry.colors.emission = Color(emissive.r * strength, emissive.g * strength, emissive.b * strength, 1.0f);

            const Color& r = entry.colors.reflectance;
            const Color& e = entry.colors.emission;
            if (!std::isfinite(r.r) || !std::isfinite(r.g) || !std::isfinite(r.b))
                throw GlowbakeError("model file " + fileName + ": material " + entry.name +
                                    ": the reflectance is not a finite number");
            if (!std::isfinite(e.r) || !std::isfinite(e.g) || !std::isfinite(e.b))
                throw GlowbakeError("model file " + fileName + ": material " + entry.name +
                                    ": the emission is not a finite number");
            materials.push_back(entry);
            if (surfaces) {
                SurfaceMaterial surface;
                surface.name = entry.name;
                surface.baseColor[0] = diffuse.r;
                surface.baseColor[1] = diffuse.g;
                surface.baseColor[2] = diffuse.b;
                surface.emission[0] = e.r;
                surface.emission[1] = e.g;
                surface.emission[2] = e.b;
                surface.image = std::move(image.bytes);
                surface.mimeType = image.mimeType;
                surfaces->materials.push_back(std::move(surface));
            }
        }
    }

    void readMesh(const aiMesh& mesh, const std::string& nodeName, const Transform& transform) {
        ModelMesh range;
        range.name = mesh.mName.length > 0 ? mesh.mName.C_Str() : nodeName;
        range.firstPatch = static_cast<int>(model.patches.size());
        const MaterialColors* material =
            mesh.mMaterialIndex < materials.size() ? &materials[mesh.mMaterialIndex] : nullptr;
        PatchColors colors;
        colors.reflectance = Color(1.0f, 1.0f, 1.0f, 1.0f);
        colors.emission = Color(0.0f, 0.0f, 0.0f, 1.0f);
        if (material) {
            range.material = material->name;
            colors = material->colors;
        }
        // The model's lit side is the one from which corners run clockwise.
        const int order[3] = {0, transform.mirrors() ? 1 : 2, transform.mirrors() ? 2 : 1};
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) {
                ++(face.mNumIndices == 2 ? lines : points);
                continue;
            }
            Vec3 corners[3];
            for (int c = 0; c < 3; ++c) {
                const unsigned index = face.mIndices[order[c]];
                if (index >= mesh.mNumVertices)
                    throw GlowbakeError("model file " + fileName + ": mesh " + range.name + ", face " +
                                        std::to_string(f) + ": a corner index is out of range");
                double p[3];
                transform.apply(mesh.mVertices[index], p);
                const float x = static_cast<float>(p[0]), y = static_cast<float>(p[1]), z = static_cast<float>(p[2]);
                if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
                    throw GlowbakeError("model file " + fileName + ": mesh " + range.name + ", face " +
                                        std::to_string(f) + ": a corner coordinate is not a finite number");
                corners[c] = Vec3(x, y, z);
            }
            Tri patch;
            patch.setVertices(corners[0], corners[1], corners[2]);
            model.patches.push_back(patch);
            model.colors.push_back(colors);
            if (surfaces) addSurface(mesh, face, order, transform);
        }
        range.patchCount = static_cast<int>(model.patches.size()) - range.firstPatch;
        if (range.patchCount > 0) model.meshes.push_back(range);
    }

    // Every light of the scene, placed by its node; area lights become
    // emitting rectangles after the meshes, kinds that are not read notes.
    void readLights(const std::map<std::string, double>& ranges) {
        for (unsigned i = 0; i < scene->mNumLights; ++i) {
            const aiLight& light = *scene->mLights[i];
            const std::string name = light.mName.C_Str();
            Transform transform;
            std::vector<const aiNode*> path;
            for (const aiNode* n = scene->mRootNode->FindNode(light.mName); n; n = n->mParent) path.push_back(n);
            for (auto it = path.rbegin(); it != path.rend(); ++it) transform = transform.then((*it)->mTransformation);
            Lamp lamp;
            lamp.name = name;
            switch (light.mType) {
                case aiLightSource_POINT: lamp.kind = LampKind::Point; break;
                case aiLightSource_SPOT: lamp.kind = LampKind::Spot; break;
                case aiLightSource_DIRECTIONAL: lamp.kind = LampKind::Directional; break;
                case aiLightSource_AREA: readAreaLight(light, transform); continue;
                default: {
                    const char* kind = light.mType == aiLightSource_AMBIENT ? "ambient" : "unknown kind";
                    model.ignoredLights.push_back("light '" + name + "' (" + kind + ") is not supported");
                    continue;
                }
            }
            transform.apply(light.mPosition, lamp.position);
            double tip[3], origin[3];
            transform.apply(light.mPosition + light.mDirection, tip);
            transform.apply(light.mPosition, origin);
            double length = 0.0;
            for (int k = 0; k < 3; ++k) {
                lamp.direction[k] = tip[k] - origin[k];
                length += lamp.direction[k] * lamp.direction[k];
            }
            length = std::sqrt(length);
            for (double& c : lamp.direction) c = length > 0.0 ? c / length : 0.0;
            lamp.intensity[0] = light.mColorDiffuse.r;
            lamp.intensity[1] = light.mColorDiffuse.g;
            lamp.intensity[2] = light.mColorDiffuse.b;
            if (lamp.kind == LampKind::Spot) {
                lamp.innerCone = light.mAngleInnerCone;
                lamp.outerCone = light.mAngleOuterCone;
            }
            const auto range = ranges.find(name);
            if (range != ranges.end()) lamp.range = range->second;
            model.lamps.push_back(lamp);
        }
    }

    // An area light: mSize.x across (along mDirection x mUp), mSize.y along
    // mUp, centred on mPosition, lit side towards mDirection, in the node's
    // frame. Its colour is its power in watts (the .blend reader gives
    // colour x energy); one without a size is left out with a note.
    void readAreaLight(const aiLight& light, const Transform& transform) {
        AreaLight area;
        area.name = light.mName.C_Str();
        const aiVector3D across = (light.mDirection ^ light.mUp).NormalizeSafe();
        const aiVector3D up = aiVector3D(light.mUp).NormalizeSafe();
        const float halfWidth = 0.5f * light.mSize.x, halfHeight = 0.5f * light.mSize.y;
        const float signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int c = 0; c < 4; ++c)
            transform.apply(light.mPosition + across * (signs[c][0] * halfWidth) + up * (signs[c][1] * halfHeight),
                            area.corners[c]);
        double tip[3], origin[3];
        transform.apply(light.mPosition + light.mDirection, tip);
        transform.apply(light.mPosition, origin);
        for (int k = 0; k < 3; ++k) area.direction[k] = tip[k] - origin[k];
        area.power[0] = light.mColorDiffuse.r;
        area.power[1] = light.mColorDiffuse.g;
        area.power[2] = light.mColorDiffuse.b;
        if (!(light.mSize.x > 0.0f && light.mSize.y > 0.0f) || !areaLightHasSize(area)) {
            char size[96];
            std::snprintf(size, sizeof size, "%g x %g", static_cast<double>(light.mSize.x),
                          static_cast<double>(light.mSize.y));
            model.ignoredLights.push_back("light '" + area.name + "' (area) gives no usable size (" + size +
                                          "); it is left out");
            return;
        }
        const std::string problem = areaLightProblem(area);
        if (!problem.empty())
            throw GlowbakeError("model file " + fileName + ": light '" + area.name + "' (area): " + problem);
        addAreaLight(area);
    }

    // The rectangle as a mesh of its own, named after the light, of a
    // material of the same name that reflects nothing and emits its radiance.
    void addAreaLight(const AreaLight& area) {
        PatchColors colors;
        colors.reflectance = Color(0.0f, 0.0f, 0.0f, 1.0f);
        colors.emission = areaLightRadiance(area);
        ModelMesh range;
        range.name = area.name;
        range.material = area.name;
        range.firstPatch = static_cast<int>(model.patches.size());
        range.patchCount = 2;
        Tri halves[2];
        areaLightTriangles(area, halves);
        for (const Tri& half : halves) {
            model.patches.push_back(half);
            model.colors.push_back(colors);
        }
        model.meshes.push_back(range);
        if (!surfaces) return;
        SurfaceMaterial material;
        material.name = area.name;
        material.baseColor[0] = material.baseColor[1] = material.baseColor[2] = 0.0f;
        material.emission[0] = colors.emission.r;
        material.emission[1] = colors.emission.g;
        material.emission[2] = colors.emission.b;
        surfaces->materials.push_back(material);
        const int index = static_cast<int>(surfaces->materials.size()) - 1;
        for (const Tri& half : halves) {
            const Vec3 n = half.normal();
            const float normals[9] = {n.x, n.y, n.z, n.x, n.y, n.z, n.x, n.y, n.z};
            addPatchSurface(*surfaces, index, normals, nullptr);
        }
    }

    // The patch's corner normals (turned by the transform, as normals turn)
    // and first texture coordinates, in glTF's v.
    void addSurface(const aiMesh& mesh, const aiFace& face, const int order[3], const Transform& transform) {
        float normals[9], texcoords[6];
        const bool hasNormals = mesh.HasNormals(), hasTexcoords = mesh.HasTextureCoords(0);
        for (int c = 0; c < 3; ++c) {
            const unsigned index = face.mIndices[order[c]];
            if (hasNormals) transform.turnNormal(mesh.mNormals[index], &normals[3 * c]);
            if (hasTexcoords) {
                texcoords[2 * c] = mesh.mTextureCoords[0][index].x;
                texcoords[2 * c + 1] = 1.0f - mesh.mTextureCoords[0][index].y;
            }
        }
        const int material = mesh.mMaterialIndex < materials.size() ? static_cast<int>(mesh.mMaterialIndex) : -1;
        addPatchSurface(*surfaces, material, hasNormals ? normals : nullptr, hasTexcoords ? texcoords : nullptr);
    }

    void readNode(const aiNode& node, const Transform& parent) {
        const Transform transform = parent.then(node.mTransformation);
        for (unsigned i = 0; i < node.mNumMeshes; ++i) {
            if (node.mMeshes[i] < scene->mNumMeshes)
                readMesh(*scene->mMeshes[node.mMeshes[i]], node.mName.C_Str(), transform);
        }
        for (unsigned i = 0; i < node.mNumChildren; ++i) readNode(*node.mChildren[i], transform);
    }
};

}  // namespace

Model importScene(const std::string& fileName, const Progress& progress, SceneSurfaces* surfaces) {
    screenSceneFile(fileName);
    Assimp::Importer importer;
    // Coordinates as the file has them: COLLADA's up axis is not turned to +y.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_IGNORE_UP_DIRECTION, true);
    // Triangulation only: no step that moves, merges or reorders anything.
    const aiScene* scene = importer.ReadFile(fileName, aiProcess_Triangulate);
    if (!scene) {
        // The importer catches the exceptions of its readers and keeps only
        // their text; running out of memory stays what it is.
        if (std::string(importer.GetErrorString()) == std::bad_alloc().what()) throw std::bad_alloc();
        throw GlowbakeError("model file " + fileName + ": " + importer.GetErrorString());
    }
    if (!scene->mRootNode) throw GlowbakeError("model file " + fileName + ": the scene has no nodes");

    SceneReader reader(fileName, scene);
    reader.surfaces = surfaces;
    if (isGltfName(fileName)) reader.gltfStrengths = gltfEmissiveStrengths(fileName);
    if (isObjName(fileName)) reader.withoutKd = mtlMaterialsWithoutKd(fileName);
    reader.readMaterials();
    reader.readNode(*scene->mRootNode, Transform());
    reader.readLights(isGltfName(fileName) ? gltfLightRanges(fileName) : std::map<std::string, double>());
    Model& model = reader.model;

    if (model.patches.empty()) {
        std::string message = "model file " + fileName + ": the scene holds no triangles";
        if (reader.points + reader.lines > 0) message += " (only " + reader.leftOut() + ")";
        throw GlowbakeError(message);
    }
    if (reader.points + reader.lines > 0)
        warn(fileName, reader.leftOut() + " left out; only triangles are lit");

    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Tri& patch : model.patches) {
        for (const Vec3& v : patch.vertices) {
            const double p[3] = {v.x, v.y, v.z};
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], p[k]);
                high[k] = std::max(high[k], p[k]);
            }
        }
    }
    const double diagonal = std::sqrt((high[0] - low[0]) * (high[0] - low[0]) +
                                      (high[1] - low[1]) * (high[1] - low[1]) +
                                      (high[2] - low[2]) * (high[2] - low[2]));
    const float tolerance = static_cast<float>(kImportedToleranceFraction * diagonal);
    for (Tri& patch : model.patches) patch.vertexTolerance = tolerance;
    reportImportedScene(model, progress);
    return std::move(model);
}

void reportImportedScene(const Model& model, const Progress& progress) {
    const int count = static_cast<int>(model.patches.size());
    progress.say("num patches =%d\n", count);
    for (int i = 0; i < count; ++i) {
        progress.say("patch %d\n", i);
        for (const Vec3& v : model.patches[i].vertices) progress.say("vertex read = (%f, %f, %f)\n", v.x, v.y, v.z);
    }
    progress.say("done loading patches\n\n");
}
