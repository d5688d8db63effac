#include "GltfEmissiveStrength.h"

#include <cstdint>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "PathParts.h"

namespace {

std::uint32_t littleEndianWord(const std::string& bytes, size_t at) {
    std::uint32_t w = 0;
    for (int i = 3; i >= 0; --i) w = w << 8 | static_cast<unsigned char>(bytes[at + i]);
    return w;
}

// The JSON text of a file: the whole of a .gltf, the first chunk of a .glb
// (12-byte header "glTF", version, length; then chunk length and type "JSON").
std::string jsonText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 4 || bytes.compare(0, 4, "glTF") != 0) return bytes;
    if (bytes.size() < 20) return "";
    const std::uint32_t length = littleEndianWord(bytes, 12);
    const std::uint32_t type = littleEndianWord(bytes, 16);
    if (type != 0x4E4F534Au || length > bytes.size() - 20) return "";
    return bytes.substr(20, length);
}

}  // namespace

bool isGltfName(const std::string& path) {
    const std::string ext = lowerExtension(path);
    return ext == ".gltf" || ext == ".glb";
}

std::vector<float> gltfEmissiveStrengths(const std::string& path) {
    const nlohmann::json doc = nlohmann::json::parse(jsonText(path), nullptr, false);
    std::vector<float> strengths;
    if (doc.is_discarded() || !doc.is_object()) return strengths;
    const auto materials = doc.find("materials");
    if (materials == doc.end() || !materials->is_array()) return strengths;
    for (const nlohmann::json& material : *materials) {
        float strength = 1.0f;
        if (material.is_object()) {
            const nlohmann::json* value = &material;
            for (const char* key : {"extensions", "KHR_materials_emissive_strength", "emissiveStrength"}) {
                const auto found = value->is_object() ? value->find(key) : value->end();
                if (!value->is_object() || found == value->end()) {
                    value = nullptr;
                    break;
                }
                value = &*found;
            }
            if (value && value->is_number()) strength = value->get<float>();
        }
        strengths.push_back(strength);
    }
    return strengths;
}

std::map<std::string, double> gltfLightRanges(const std::string& path) {
    std::map<std::string, double> ranges;
    const nlohmann::json doc = nlohmann::json::parse(jsonText(path), nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return ranges;
    const nlohmann::json* lights = nullptr;
    const auto extensions = doc.find("extensions");
    if (extensions != doc.end() && extensions->is_object()) {
        const auto punctual = extensions->find("KHR_lights_punctual");
        if (punctual != extensions->end() && punctual->is_object()) {
            const auto list = punctual->find("lights");
            if (list != punctual->end() && list->is_array()) lights = &*list;
        }
    }
    const auto nodes = doc.find("nodes");
    if (!lights || nodes == doc.end() || !nodes->is_array()) return ranges;
    for (const nlohmann::json& node : *nodes) {
        if (!node.is_object() || !node.contains("extensions") || !node["extensions"].is_object()) continue;
        const nlohmann::json& ext = node["extensions"];
        if (!ext.contains("KHR_lights_punctual") || !ext["KHR_lights_punctual"].is_object()) continue;
        const nlohmann::json& ref = ext["KHR_lights_punctual"];
        if (!ref.contains("light") || !ref["light"].is_number_unsigned()) continue;
        const std::size_t index = ref["light"].get<std::size_t>();
        if (index >= lights->size() || !(*lights)[index].is_object()) continue;
        const nlohmann::json& light = (*lights)[index];
        if (!light.contains("range") || !light["range"].is_number()) continue;
        const std::string name = node.contains("name") && node["name"].is_string() ? node["name"].get<std::string>()
                                                                                 : std::string();
        ranges[name] = light["range"].get<double>();
    }
    return ranges;
}
