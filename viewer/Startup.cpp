#include "Startup.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>

#include "Callbacks.h"
#include "SceneLoader.h"
#include "Snapshot.h"
#include "ViewerLog.h"
#include "ViewerSettings.h"

namespace {

constexpr int kMalformedSceneStatus = 3;
constexpr int kNoSettingsStatus = 2;
constexpr int kUsageStatus = 1;

void printUsage() { std::fprintf(stderr, "usage: GlowbakeViewer [--snapshot PATH.png]\n"); }

// Fills snapshotPath; false (with a message on stderr) for anything else.
bool parseArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--snapshot") == 0 && i + 1 < argc && argv[i + 1][0] != '\0' &&
            snapshotPath.empty()) {
            snapshotPath = argv[++i];
            continue;
        }
        if (std::strcmp(argv[i], "--snapshot") == 0)
            std::fprintf(stderr, "GlowbakeViewer: --snapshot needs one PNG path\n");
        else
            std::fprintf(stderr, "GlowbakeViewer: unknown argument '%s'\n", argv[i]);
        printUsage();
        return false;
    }
    return true;
}

}  // namespace

int startViewer(int argc, char** argv) {
    // Arguments are checked before the log is touched, so a mistyped command
    // does not wipe the previous run's log.
    if (!parseArguments(argc, argv)) return kUsageStatus;

    openLog();
    if (readSettings() != 0) {
        logMessage("Settings file %s failed to open\n", kSettingsFileName);
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
    glutIdleFunc(idle);
    glutEntryFunc(entry);
    initGlState();

    // The textures need the window's GL context, hence loading only now.
    if (loadScene() == SceneLoadResult::malformed) {
        shutdown();
        return kMalformedSceneStatus;
    }

    // A snapshot is one frame from the start camera: the pointer is left alone.
    if (snapshotPath.empty()) switchMouseLookOn();

    glutMainLoop();
    shutdown();
    return 0;
}
