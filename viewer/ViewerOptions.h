#pragma once

#include <string>

#include "Vec3.h"

// The viewer's own command-line options (the settings file stays as
// specified):
//   --snapshot PATH.png   draw one frame, write it as a PNG and exit
//   --eye X Y Z           start the camera at this scene point
//   --look-at X Y Z       start looking at this scene point
//   --frame               start outside the scene's bounding box, looking at
//                         its centre, with the whole scene in view
// --frame chooses both eye and target, so it goes with neither of the others.
struct ViewerOptions {
    std::string snapshotPath;
    bool hasEye = false;
    Vec3 eye;
    bool hasLookAt = false;
    Vec3 lookAt;
    bool frame = false;
};

constexpr const char* kViewerUsage =
    "usage: GlowbakeViewer [--snapshot PATH.png] [--eye X Y Z] [--look-at X Y Z | --frame]\n"
    "       (--frame goes without --eye and --look-at; coordinates are the scene's)\n";

// Parses argv[1..argc-1]. False with a one-line reason in `error` for an
// unknown or repeated option, a missing or non-finite value, --frame with
// --eye or --look-at, or a look-at point equal to the eye.
bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions& options, std::string& error);
