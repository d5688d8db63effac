#include "Startup.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "Callbacks.h"
#include "Camera.h"
#include "FrameClock.h"
#include "SceneLoader.h"
#include "Snapshot.h"
#include "ViewerLog.h"
#include "ViewerOptions.h"
#include "ViewerSettings.h"

namespace {

constexpr int kMalformedSceneStatus = 3;
constexpr int kNoSettingsStatus = 2;
constexpr int kUsageStatus = 1;

// The settings were checked against kMaxWindowSide before the window existed;
// the display's GL may allow less. Then the window is resized to 800 x 600.
void checkWindowAgainstDisplay() {
    GLint largest[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
    if (largest[0] <= 0 || largest[1] <= 0 ||
        windowSizeUsable(windowSize.windowWidth, windowSize.windowHeight, largest[0], largest[1]))
        return;
    logFailure("Window size %d x %d is larger than the display allows (%d x %d), using %d x %d\n",
               windowSize.windowWidth, windowSize.windowHeight, largest[0], largest[1], kFallbackWidth,
               kFallbackHeight);
    setWindowSize(windowSize, kFallbackWidth, kFallbackHeight);
    glutReshapeWindow(kFallbackWidth, kFallbackHeight);
}

// The start view unless the options aim the camera elsewhere.
void placeCamera(const ViewerOptions& options) {
    if (options.frame) {
        const double aspect = static_cast<double>(windowSize.windowWidth) / windowSize.windowHeight;
        if (!frameBounds(camera, sceneBounds(), aspect))
            logFailure("Scene is empty: --frame keeps the start view\n");
        return;
    }
    if (!options.hasEye && !options.hasLookAt) return;
    const Vec3 eye = options.hasEye ? options.eye : camera.eyePos - kSceneOffset;
    const Vec3 target = options.hasLookAt ? options.lookAt : eye + camera.lookDir;
    aimCamera(camera, eye, target);
}

}  // namespace

int startViewer(int argc, char** argv) {
    // Arguments are checked before the log is touched, so a mistyped command
    // does not wipe the previous run's log.
    ViewerOptions options;
    std::string error;
    if (!parseViewerOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "GlowbakeViewer: %s\n%s", error.c_str(), kViewerUsage);
        return kUsageStatus;
    }
    snapshotPath = options.snapshotPath;

    if (!openLog()) std::fprintf(stderr, "GlowbakeViewer: cannot create %s, logging nothing\n", kLogFileName);
    if (readSettings() != 0) {
        logFailure("Settings file %s failed to open\n", kSettingsFileName);
        shutdown();
        return kNoSettingsStatus;
    }

    // GLUT sees only the program name: the viewer's arguments are its own.
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_MULTISAMPLE);
    glutInitWindowSize(windowSize.windowWidth, windowSize.windowHeight);
    glutCreateWindow("GlowbakeView");
    glutKeyboardFunc(keyboard);
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutPassiveMotionFunc(passiveMotion);
    glutEntryFunc(entry);
    initGlState();
    checkWindowAgainstDisplay();

    // The textures need the window's GL context, hence loading only now.
    if (loadScene() == SceneLoadResult::malformed) {
        shutdown();
        return kMalformedSceneStatus;
    }
    placeCamera(options);

    // A snapshot is one frame: the pointer is left alone.
    if (snapshotPath.empty()) switchMouseLookOn();

    // At most about 60 frames a second; the first one comes from the window
    // being shown.
    glutTimerFunc(kFrameTimerMillis, frameTimer, 0);
    glutMainLoop();
    shutdown();
    return 0;
}
