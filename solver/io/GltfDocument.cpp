#include "GltfDocument.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

#include "GlowbakeError.h"
#include "GltfFile.h"
#include "PathParts.h"

namespace {

[[noreturn]] void refuse(const std::string& fileName, const std::string& why) {
    throw GlowbakeError("model file " + fileName + ": " + why);
}

// The image's format from its first bytes: "" when glTF knows none of them.
std::string sniffMimeType(const std::vector<unsigned char>& b) {
    auto starts = [&](const char* magic, std::size_t n, std::size_t at = 0) {
        return b.size() >= at + n && std::memcmp(b.data() + at, magic, n) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8)) return "image/png";
    if (starts("\xff\xd8\xff", 3)) return "image/jpeg";
    if (starts("\xabKTX 20\xbb", 8)) return "image/ktx2";
    if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return "image/webp";
    return "";
}

// tinygltf's image loader, replaced: the file's bytes are kept as they are.
bool keepEncoded(tinygltf::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                 int size, void*) {
    image->image.assign(bytes, bytes + size);
    image->as_is = true;
    return true;
}

std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line.empty() ? "the document is malformed" : line;
}

void alignTo(std::vector<unsigned char>& data, std::size_t alignment) {
    while (data.size() % alignment != 0) data.push_back(0);
}

// The stored value of one component at `at`, as a double.
double componentValue(int componentType, const std::uint8_t* at) {
    switch (componentType) {
        case TINYGLTF_COMPONENT_TYPE_BYTE: return static_cast<std::int8_t>(*at);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return *at;
        case TINYGLTF_COMPONENT_TYPE_SHORT: { std::int16_t v; std::memcpy(&v, at, 2); return v; }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: { std::uint16_t v; std::memcpy(&v, at, 2); return v; }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: { std::uint32_t v; std::memcpy(&v, at, 4); return v; }
        case TINYGLTF_COMPONENT_TYPE_FLOAT: { float v; std::memcpy(&v, at, 4); return v; }
        default: return 0.0;
    }
}

// Checks that `count` elements of `size` bytes, `stride` apart, from
// `offset` in buffer view `view` lie inside the view, and the view inside
// its buffer; copies them to `out` when it is given.
void copyFromView(const tinygltf::Model& model, int view, std::size_t offset, std::size_t stride, std::size_t count,
                  std::size_t size, std::uint8_t* out, const std::string& where) {
    if (view < 0 || view >= static_cast<int>(model.bufferViews.size()))
        throw GlowbakeError(where + ": buffer view " + std::to_string(view) + " does not exist");
    const tinygltf::BufferView& v = model.bufferViews[view];
    if (v.buffer < 0 || v.buffer >= static_cast<int>(model.buffers.size()))
        throw GlowbakeError(where + ": buffer view " + std::to_string(view) + " names a buffer that does not exist");
    const std::vector<unsigned char>& data = model.buffers[v.buffer].data;
    if (v.byteOffset > data.size() || v.byteLength > data.size() - v.byteOffset)
        throw GlowbakeError(where + ": buffer view " + std::to_string(view) + " reaches past the end of its buffer");
    if (count == 0) return;
    if (stride < size || stride > 4096 || offset > v.byteLength || (count - 1) * stride + size > v.byteLength - offset)
        throw GlowbakeError(where + ": its data reaches past the end of buffer view " + std::to_string(view));
    if (!out) return;
    const unsigned char* from = data.data() + v.byteOffset + offset;
    for (std::size_t i = 0; i < count; ++i) std::memcpy(out + i * size, from + i * stride, size);
}

}  // namespace

tinygltf::Model readGltfDocument(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) refuse(fileName, "cannot be read again for --gltf-lightmap");
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<unsigned int>::max()))
        refuse(fileName, "a glTF document of 4 GiB or more cannot be given back with --gltf-lightmap");

    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(keepEncoded, nullptr);
    tinygltf::Model model;
    std::string err, warn;
    std::string base = directoryOf(fileName);
    if (base.empty()) base = ".";
    const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
    const bool ok = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, bytes.data(),
                                                         static_cast<unsigned int>(bytes.size()), base)
                           : loader.LoadASCIIFromString(&model, &err, &warn,
                                                        reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<unsigned int>(bytes.size()), base);
    if (!ok) refuse(fileName, "the glTF document cannot be read for --gltf-lightmap: " + firstLine(err));
    for (std::size_t i = 0; i < model.images.size(); ++i) {
        const tinygltf::Image& image = model.images[i];
        if (image.uri.empty()) continue;
        const std::string name = "image " + std::to_string(i) + " (" +
                                 (image.uri.compare(0, 5, "data:") == 0 ? std::string("a data URI") : image.uri) + ")";
        if (image.image.empty()) refuse(fileName, name + " cannot be read, so --gltf-lightmap cannot give it back");
        if (sniffMimeType(image.image).empty())
            refuse(fileName, name + " is not a PNG, JPEG, KTX2 or WebP image, so --gltf-lightmap cannot give it back");
    }
    return model;
}

std::size_t elementBytes(const tinygltf::Accessor& accessor) {
    const int size = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(accessor.componentType));
    const int count = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(accessor.type));
    return size > 0 && count > 0 ? static_cast<std::size_t>(size) * static_cast<std::size_t>(count) : 0;
}

std::vector<std::uint8_t> accessorElements(const tinygltf::Model& model, int index, const std::string& where) {
    if (index < 0 || index >= static_cast<int>(model.accessors.size()))
        throw GlowbakeError(where + ": accessor " + std::to_string(index) + " does not exist");
    const tinygltf::Accessor& a = model.accessors[index];
    const std::string at = where + ", accessor " + std::to_string(index);
    const std::size_t size = elementBytes(a);
    if (size == 0) throw GlowbakeError(at + ": its component type or type is not one glTF knows");
    if (a.type != TINYGLTF_TYPE_SCALAR && a.type != TINYGLTF_TYPE_VEC2 && a.type != TINYGLTF_TYPE_VEC3 &&
        a.type != TINYGLTF_TYPE_VEC4)
        throw GlowbakeError(at + ": a matrix where vertex data or indices belong");
    // Every element of a real accessor takes at least a byte of the file: a
    // claim of more (possible without a buffer view) is refused before it is
    // allocated.
    std::size_t held = 0;
    for (const tinygltf::Buffer& b : model.buffers) held += b.data.size();
    if (a.count > held)
        throw GlowbakeError(at + ": it claims " + std::to_string(a.count) + " elements, more than the file holds");
    const tinygltf::BufferView* view = a.bufferView >= 0 && a.bufferView < static_cast<int>(model.bufferViews.size())
                                           ? &model.bufferViews[a.bufferView] : nullptr;
    const std::size_t stride = view && view->byteStride != 0 ? view->byteStride : size;
    if (a.bufferView >= 0) copyFromView(model, a.bufferView, a.byteOffset, stride, a.count, size, nullptr, at);
    std::vector<std::uint8_t> out(a.count * size, 0);
    if (a.bufferView >= 0) copyFromView(model, a.bufferView, a.byteOffset, stride, a.count, size, out.data(), at);
    if (a.sparse.isSparse) {
        const std::size_t n = static_cast<std::size_t>(std::max(a.sparse.count, 0));
        if (n > a.count) throw GlowbakeError(at + ": more sparse values than elements");
        const int indexType = a.sparse.indices.componentType;
        const int indexSize = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(indexType));
        if (indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
            indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
            throw GlowbakeError(at + ": sparse indices of a type glTF does not allow");
        std::vector<std::uint8_t> indices(n * static_cast<std::size_t>(indexSize)), values(n * size);
        const auto indexOffset = static_cast<std::size_t>(std::max(a.sparse.indices.byteOffset, 0));
        const auto valueOffset = static_cast<std::size_t>(std::max(a.sparse.values.byteOffset, 0));
        copyFromView(model, a.sparse.indices.bufferView, indexOffset, static_cast<std::size_t>(indexSize), n,
                     static_cast<std::size_t>(indexSize), indices.data(), at);
        copyFromView(model, a.sparse.values.bufferView, valueOffset, size, n, size, values.data(), at);
        for (std::size_t i = 0; i < n; ++i) {
            const double target = componentValue(indexType, indices.data() + i * static_cast<std::size_t>(indexSize));
            if (target >= static_cast<double>(a.count))
                throw GlowbakeError(at + ": a sparse index is past the accessor's end");
            std::memcpy(out.data() + static_cast<std::size_t>(target) * size, values.data() + i * size, size);
        }
    }
    return out;
}

void gatherIntoOneBuffer(tinygltf::Model& model, const std::string& fileName) {
    if (model.buffers.size() > 1) {
        std::vector<unsigned char> all;
        std::vector<std::size_t> start;
        for (tinygltf::Buffer& b : model.buffers) {
            alignTo(all, 16);
            start.push_back(all.size());
            all.insert(all.end(), b.data.begin(), b.data.end());
            std::vector<unsigned char>().swap(b.data);
        }
        for (tinygltf::BufferView& v : model.bufferViews) {
            if (v.buffer < 0 || v.buffer >= static_cast<int>(start.size()))
                refuse(fileName, "a buffer view names a buffer that does not exist");
            v.byteOffset += start[v.buffer];
            v.buffer = 0;
        }
        model.buffers.resize(1);
        model.buffers[0].data = std::move(all);
    }
    if (model.buffers.empty()) model.buffers.emplace_back();
    model.buffers[0].uri.clear();
    for (std::size_t i = 0; i < model.images.size(); ++i) {
        tinygltf::Image& image = model.images[i];
        if (image.uri.empty()) {
            std::vector<unsigned char>().swap(image.image);
            continue;
        }
        const std::string mimeType = sniffMimeType(image.image);
        if (mimeType.empty()) refuse(fileName, "image " + std::to_string(i) + " cannot be given back");
        image.bufferView = appendBufferView(model, image.image, 0, 0);
        image.mimeType = mimeType;
        image.uri.clear();
        std::vector<unsigned char>().swap(image.image);
    }
}

int appendBufferView(tinygltf::Model& model, const std::vector<std::uint8_t>& bytes, int stride, int target) {
    if (model.buffers.empty()) model.buffers.emplace_back();
    std::vector<unsigned char>& data = model.buffers[0].data;
    alignTo(data, 4);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = data.size();
    view.byteLength = bytes.size();
    view.byteStride = static_cast<std::size_t>(stride);
    view.target = target;
    data.insert(data.end(), bytes.begin(), bytes.end());
    model.bufferViews.push_back(view);
    return static_cast<int>(model.bufferViews.size()) - 1;
}

int appendAccessor(tinygltf::Model& model, const tinygltf::Accessor& like, const std::vector<std::uint8_t>& packed,
                   std::size_t count, bool vertex, bool withBounds) {
    tinygltf::Accessor a;
    a.componentType = like.componentType;
    a.type = like.type;
    a.normalized = like.normalized;
    a.count = count;
    const std::size_t size = elementBytes(a);
    const int components = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type));
    const std::size_t componentSize = size / static_cast<std::size_t>(components);
    if (withBounds && count > 0) {
        a.minValues.assign(components, std::numeric_limits<double>::infinity());
        a.maxValues.assign(components, -std::numeric_limits<double>::infinity());
        for (std::size_t i = 0; i < count; ++i) {
            for (int c = 0; c < components; ++c) {
                const double v = componentValue(a.componentType, packed.data() + i * size + c * componentSize);
                a.minValues[c] = std::min(a.minValues[c], v);
                a.maxValues[c] = std::max(a.maxValues[c], v);
            }
        }
    }
    if (count == 0) {
        model.accessors.push_back(a);  // no data: no buffer view
        return static_cast<int>(model.accessors.size()) - 1;
    }
    const std::size_t stride = vertex ? (size + 3) / 4 * 4 : size;
    std::vector<std::uint8_t> laid;
    if (stride == size) {
        laid = packed;
    } else {
        laid.assign(count * stride, 0);
        for (std::size_t i = 0; i < count; ++i) std::memcpy(&laid[i * stride], &packed[i * size], size);
    }
    a.bufferView = appendBufferView(model, laid, vertex && stride != size ? static_cast<int>(stride) : 0,
                                    vertex ? TINYGLTF_TARGET_ARRAY_BUFFER : TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    model.accessors.push_back(a);
    return static_cast<int>(model.accessors.size()) - 1;
}

namespace {

bool refersToNoData(const std::string& extension) {
    static const char* const known[] = {"KHR_texture_transform", "KHR_texture_basisu", "EXT_texture_webp",
                                        "EXT_texture_avif",      "KHR_lights_punctual", "KHR_mesh_quantization",
                                        "KHR_xmp_json_ld",       "MOZ_lightmap"};
    if (extension.compare(0, 14, "KHR_materials_") == 0) return true;
    for (const char* name : known)
        if (extension == name) return true;
    return false;
}

void keep(std::vector<int>& map, int index) {
    if (index >= 0 && index < static_cast<int>(map.size())) map[index] = 0;
}

int renumbered(const std::vector<int>& map, int index) {
    return index >= 0 && index < static_cast<int>(map.size()) ? map[index] : index;
}

}  // namespace

bool dropUnusedData(tinygltf::Model& model) {
    for (const std::string& extension : model.extensionsUsed)
        if (!refersToNoData(extension)) return false;
    if (model.buffers.size() != 1) return false;
    // -1: unused; 0: used, then its new index.
    std::vector<int> accessors(model.accessors.size(), -1), views(model.bufferViews.size(), -1);
    for (const tinygltf::Mesh& mesh : model.meshes) {
        for (const tinygltf::Primitive& p : mesh.primitives) {
            for (const auto& attribute : p.attributes) keep(accessors, attribute.second);
            for (const auto& target : p.targets)
                for (const auto& attribute : target) keep(accessors, attribute.second);
            keep(accessors, p.indices);
        }
    }
    for (const tinygltf::Skin& skin : model.skins) keep(accessors, skin.inverseBindMatrices);
    for (const tinygltf::Animation& animation : model.animations) {
        for (const tinygltf::AnimationSampler& sampler : animation.samplers) {
            keep(accessors, sampler.input);
            keep(accessors, sampler.output);
        }
    }
    for (std::size_t i = 0; i < accessors.size(); ++i) {
        if (accessors[i] < 0) continue;
        const tinygltf::Accessor& a = model.accessors[i];
        keep(views, a.bufferView);
        if (a.sparse.isSparse) {
            keep(views, a.sparse.indices.bufferView);
            keep(views, a.sparse.values.bufferView);
        }
    }
    for (const tinygltf::Image& image : model.images) keep(views, image.bufferView);

    // The views kept, each at the same place modulo 16 as before, so that
    // every accessor in it stays aligned as it was.
    const std::vector<unsigned char>& data = model.buffers[0].data;
    std::vector<unsigned char> packed;
    std::vector<tinygltf::BufferView> keptViews;
    for (std::size_t i = 0; i < views.size(); ++i) {
        if (views[i] < 0) continue;
        tinygltf::BufferView v = model.bufferViews[i];
        if (v.byteOffset > data.size() || v.byteLength > data.size() - v.byteOffset) return false;
        alignTo(packed, 16);
        packed.resize(packed.size() + v.byteOffset % 16, 0);
        const std::size_t offset = packed.size();
        packed.insert(packed.end(), data.begin() + static_cast<std::ptrdiff_t>(v.byteOffset),
                      data.begin() + static_cast<std::ptrdiff_t>(v.byteOffset + v.byteLength));
        v.byteOffset = offset;
        views[i] = static_cast<int>(keptViews.size());
        keptViews.push_back(v);
    }
    std::vector<tinygltf::Accessor> keptAccessors;
    for (std::size_t i = 0; i < accessors.size(); ++i) {
        if (accessors[i] < 0) continue;
        tinygltf::Accessor a = model.accessors[i];
        a.bufferView = renumbered(views, a.bufferView);
        if (a.sparse.isSparse) {
            a.sparse.indices.bufferView = renumbered(views, a.sparse.indices.bufferView);
            a.sparse.values.bufferView = renumbered(views, a.sparse.values.bufferView);
        }
        accessors[i] = static_cast<int>(keptAccessors.size());
        keptAccessors.push_back(a);
    }
    for (tinygltf::Mesh& mesh : model.meshes) {
        for (tinygltf::Primitive& p : mesh.primitives) {
            for (auto& attribute : p.attributes) attribute.second = renumbered(accessors, attribute.second);
            for (auto& target : p.targets)
                for (auto& attribute : target) attribute.second = renumbered(accessors, attribute.second);
            p.indices = renumbered(accessors, p.indices);
        }
    }
    for (tinygltf::Skin& skin : model.skins) skin.inverseBindMatrices = renumbered(accessors, skin.inverseBindMatrices);
    for (tinygltf::Animation& animation : model.animations) {
        for (tinygltf::AnimationSampler& sampler : animation.samplers) {
            sampler.input = renumbered(accessors, sampler.input);
            sampler.output = renumbered(accessors, sampler.output);
        }
    }
    for (tinygltf::Image& image : model.images) image.bufferView = renumbered(views, image.bufferView);
    model.accessors = std::move(keptAccessors);
    model.bufferViews = std::move(keptViews);
    model.buffers[0].data = std::move(packed);
    return true;
}

namespace {

// The document's JSON with buffer 0 (moved out into `bin`) described by
// `binUri`, or as the binary chunk of a .glb when it is empty.
std::string documentJson(tinygltf::Model& model, const std::string& binUri, std::vector<std::uint8_t>& bin) {
    bin.clear();
    if (!model.buffers.empty()) bin = std::move(model.buffers[0].data);
    model.buffers.clear();
    tinygltf::TinyGLTF writer;
    writer.SetImageWriter(nullptr, nullptr);
    std::ostringstream text;
    if (!writer.WriteGltfSceneToStream(&model, text, false, false))
        throw GlowbakeError("the glTF document could not be written");
    nlohmann::json json = nlohmann::json::parse(text.str());
    if (!bin.empty()) {
        nlohmann::json buffer = {{"byteLength", bin.size()}};
        if (!binUri.empty()) buffer["uri"] = binUri;
        json["buffers"] = nlohmann::json::array({buffer});
    }
    return json.dump();
}

}  // namespace

std::vector<std::uint8_t> encodeGlbDocument(tinygltf::Model& model) {
    std::vector<std::uint8_t> bin;
    std::string json = documentJson(model, "", bin);
    return glbContainer(std::move(json), std::move(bin));
}

std::string encodeGltfDocument(tinygltf::Model& model, const std::string& binUri, std::vector<std::uint8_t>& bin) {
    return documentJson(model, binUri, bin);
}
