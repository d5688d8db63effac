#include "ViewerOptions.h"

#include "Camera.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool parseNumber(const char* text, float& value) {
    char* end = nullptr;
    const double parsed = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(parsed) || std::fabs(parsed) > 1e30) return false;
    value = static_cast<float>(parsed);
    return true;
}

}  // namespace

bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions& options, std::string& error) {
    options = ViewerOptions();
    bool snapshot = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--snapshot") {
            if (snapshot || i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = snapshot ? "--snapshot given twice" : "--snapshot needs one PNG path";
                return false;
            }
            snapshot = true;
            options.snapshotPath = argv[++i];
        } else if (name == "--eye" || name == "--look-at") {
            bool& given = name == "--eye" ? options.hasEye : options.hasLookAt;
            Vec3& point = name == "--eye" ? options.eye : options.lookAt;
            if (given) {
                error = name + " given twice";
                return false;
            }
            float xyz[3];
            for (int k = 0; k < 3; ++k) {
                if (i + 1 >= argc || !parseNumber(argv[i + 1], xyz[k])) {
                    error = name + " needs three numbers X Y Z";
                    return false;
                }
                ++i;
            }
            given = true;
            point = Vec3(xyz[0], xyz[1], xyz[2]);
        } else if (name == "--frame") {
            if (options.frame) {
                error = "--frame given twice";
                return false;
            }
            options.frame = true;
        } else {
            error = "unknown argument '" + name + "'";
            return false;
        }
    }
    if (options.frame && (options.hasEye || options.hasLookAt)) {
        error = "--frame chooses the eye and the target itself: leave out --eye and --look-at";
        return false;
    }
    const Vec3 eye = options.hasEye ? options.eye : Camera().eyePos - kSceneOffset;
    if (options.hasLookAt && eye.x == options.lookAt.x && eye.y == options.lookAt.y && eye.z == options.lookAt.z) {
        error = "--look-at must differ from the eye";
        return false;
    }
    return true;
}
