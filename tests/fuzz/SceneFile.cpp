// The viewer's scene loader on any file. No GL context is current, so the
// texture uploads go nowhere; everything before them runs as in the viewer.
#include <cstdint>

#include "Camera.h"
#include "FuzzInput.h"
#include "SceneLoader.h"
#include "ViewerSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sceneFileName = fuzz::writeFile("fuzz.out", data, size);
    numPatches = 0;
    if (loadScene() == SceneLoadResult::loaded) {
        Camera cam;
        frameBounds(cam, sceneBounds(), 4.0 / 3.0);
    }
    return 0;
}
