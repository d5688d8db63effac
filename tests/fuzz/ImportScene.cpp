// The scene importer on any bytes, written as the file FUZZ_INPUT_NAME (the
// extension picks Assimp's reader and ours around it). With FUZZ_BESIDE_OBJ
// the input is instead a file that a fixed OBJ scene uses: its material
// library scene.mtl, or the texture texture.png that a fixed library names.
#include <cstdint>
#include <cstring>

#include "FuzzInput.h"
#include "GlowbakeError.h"
#include "SceneImport.h"

namespace {

const char kObj[] =
    "mtllib scene.mtl\n"
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n"
    "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\n"
    "usemtl textured\nf 1/1 2/2 3/3\n"
    "usemtl lamp\nf 2/2 4/4 3/3\n";

const char kMtl[] =
    "newmtl textured\nmap_Kd texture.png\n"
    "newmtl lamp\nKd 0.5 0.5 0.5\nKe 4 4 4\n";

std::string scenePath;

void writeText(const char* name, const char* text) {
    fuzz::writeFile(name, reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
#ifdef FUZZ_BESIDE_OBJ
    writeText("scene.obj", kObj);
    writeText("scene.mtl", kMtl);
    scenePath = fuzz::scratchDir() + "/scene.obj";
#else
    (void)kObj;
    (void)kMtl;
    (void)writeText;
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string written = fuzz::writeFile(FUZZ_INPUT_NAME, data, size);
    try {
        importScene(scenePath.empty() ? written : scenePath, Progress());
    } catch (const GlowbakeError&) {
    }
    return 0;
}
