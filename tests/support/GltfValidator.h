#pragma once

// The Khronos glTF validator, installed by scripts/install-deps.sh into
// tools/gltf-validator and run with node.

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

// Runs the validator on the files (full paths); its report goes to
// `report`. True when it found neither errors nor warnings.
inline bool gltfValidatorClean(const std::vector<std::string>& files, std::string& report) {
    std::vector<std::string> args = {std::string(GLOWBAKE_SOURCE_DIR) + "/tools/gltf-validator/validate.js"};
    args.insert(args.end(), files.begin(), files.end());
    const RunResult r = run(std::filesystem::path(files.at(0)).parent_path().string(), "node", args);
    report = r.out + r.err;
    return r.status == 0;
}

}  // namespace testsupport
