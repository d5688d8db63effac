#pragma once

#include "ViewerSettings.h"

// Mouse look: while active the pointer is hidden and captured, every passive
// pointer step sets the per-frame turn, and the pointer is warped back to the
// window centre before it can leave the window.
struct MouseLook {
    bool active = false;
    bool warpPending = false;  // the next pointer event only re-bases lastMouse
    float pitchDelta = 0.0f;   // radians, applied again on every frame
    float yawDelta = 0.0f;
    int lastMouseX = 0;  // window pixels, y growing downward
    int lastMouseY = 0;
};

// Pixels from each window edge where a pointer event triggers a warp.
constexpr int kWarpMargin = 5;

extern MouseLook mouseLook;

// What the window side must do after a pointer event.
struct PointerResponse {
    bool redisplay = false;
    bool warpToCentre = false;
};

// Strictly more than kWarpMargin pixels from every edge.
bool pointerInside(const WindowSize& size, int x, int y);

// One passive pointer event at (x, y).
PointerResponse pointerMoved(MouseLook& look, const WindowSize& size, float sensitivity, int ySign, int x,
                             int y);

// The pointer left the window: true if it must be warped back.
bool pointerLeft(MouseLook& look);

// State changes of switching mouse look on (the next event only re-bases)
// and off (turning stops at once).
void activateMouseLook(MouseLook& look);
void deactivateMouseLook(MouseLook& look);
