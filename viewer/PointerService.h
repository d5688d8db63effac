#pragma once

// The window-system side of mouse look, for the current GLUT window.

// Moves the pointer to (x, y) in window pixels. The pointer event this causes
// is the one that MouseLook::warpPending makes re-base the last position.
void warpPointerToCentre(int x, int y);

// Keeps the pointer's events for the viewer's window, also outside it (an X11
// pointer grab). A grab the server refuses is not an error: mouse look then
// relies on warping alone. A window not yet on screen cannot be grabbed, so
// the grab is retried by keepMouseCaptured until the window can take it.
void captureMouse();
void releaseMouse();
void keepMouseCaptured();
