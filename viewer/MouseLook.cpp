#include "MouseLook.h"

MouseLook mouseLook;

bool pointerInside(const WindowSize& size, int x, int y) {
    return kWarpMargin < x && x < size.windowWidth - kWarpMargin && kWarpMargin < y &&
           y < size.windowHeight - kWarpMargin;
}

PointerResponse pointerMoved(MouseLook& look, const WindowSize& size, float sensitivity, int ySign, int x, int y) {
    PointerResponse response;
    if (!look.active) return response;
    const bool inside = pointerInside(size, x, y);
    if (look.warpPending) {
        // The event a warp produces: take the new position as the base only.
        look.lastMouseX = x;
        look.lastMouseY = y;
        if (inside)
            look.warpPending = false;
        else
            response.warpToCentre = true;
        return response;
    }
    look.pitchDelta = static_cast<float>(look.lastMouseY - y) * sensitivity * size.invHalfHeight *
                      static_cast<float>(ySign);
    look.yawDelta = static_cast<float>(look.lastMouseX - x) * sensitivity * size.invHalfWidth;
    look.lastMouseX = x;
    look.lastMouseY = y;
    response.redisplay = true;
    if (!inside) {
        look.warpPending = true;
        response.warpToCentre = true;
    }
    return response;
}

bool pointerLeft(MouseLook& look) {
    if (!look.active) return false;
    look.warpPending = true;
    return true;
}

void activateMouseLook(MouseLook& look) {
    look.active = true;
    look.warpPending = true;
}

void deactivateMouseLook(MouseLook& look) {
    look.active = false;
    look.pitchDelta = 0.0f;
    look.yawDelta = 0.0f;
}
