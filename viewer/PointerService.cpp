#include "PointerService.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

namespace {

bool captureWanted = false;
bool captureHeld = false;

// The GLUT window is the drawable of the current GLX context.
void tryGrab() {
    Display* display = glXGetCurrentDisplay();
    const Window window = static_cast<Window>(glXGetCurrentDrawable());
    if (display == nullptr || window == None) return;
    const int result = XGrabPointer(display, window, True, PointerMotionMask | ButtonPressMask | ButtonReleaseMask,
                                    GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    captureHeld = result == GrabSuccess;
    // Only an unmapped window is worth another try; any other refusal (another
    // client holds the pointer, say) stands.
    if (result != GrabSuccess && result != GrabNotViewable) captureWanted = false;
}

}  // namespace

void warpPointerToCentre(int x, int y) { glutWarpPointer(x, y); }

void captureMouse() {
    captureWanted = true;
    if (!captureHeld) tryGrab();
}

void releaseMouse() {
    captureWanted = false;
    if (!captureHeld) return;
    Display* display = glXGetCurrentDisplay();
    if (display != nullptr) XUngrabPointer(display, CurrentTime);
    captureHeld = false;
}

void keepMouseCaptured() {
    if (captureWanted && !captureHeld) tryGrab();
}
