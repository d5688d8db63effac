#pragma once

#include <cstdio>
#include <string>

// Start-up settings read from "GlowbakeView.ini": four label-value pairs,
// whitespace separated, in a fixed order (window width, window height, scene
// file path, mouse Y flag). Labels are any word and are skipped.
constexpr const char* kSettingsFileName = "GlowbakeView.ini";

// Used when the settings give no usable window size.
constexpr int kFallbackWidth = 800;
constexpr int kFallbackHeight = 600;

// A usable window side, in pixels: smaller windows never draw a frame under
// some X servers, larger ones are beyond what GL renderers promise.
constexpr int kMinWindowSide = 16;
constexpr int kMaxWindowSide = 16384;

// Both sides from kMinWindowSide to the smaller of kMaxWindowSide and the
// given maxima (the display's own limits, once they are known).
bool windowSizeUsable(int width, int height, int maxWidth = kMaxWindowSide, int maxHeight = kMaxWindowSide);

// The window size and what mouse look derives from it. Always changed
// through setWindowSize, which keeps the four derived values in step.
struct WindowSize {
    int windowWidth = 0;
    int windowHeight = 0;
    int halfWidth = 0;  // window centre, the pointer-warp target
    int halfHeight = 0;
    float invHalfWidth = 0.0f;  // pointer pixels to radians of mouse look
    float invHalfHeight = 0.0f;
};

// Sets the size and recomputes, in order, halfWidth, halfHeight (truncating
// division), invHalfWidth, invHalfHeight. A half size of 0 (a window one
// pixel wide or high) gives an inverse of 0, so mouse look stays finite.
void setWindowSize(WindowSize& size, int width, int height);

// Program-wide: GLUT callbacks carry no context.
extern WindowSize windowSize;
extern std::string sceneFileName;
extern int mouseYSign;  // +1: pointer up tilts the view down; -1: up tilts it up

// Reads the four pairs from an open settings stream into the globals above.
// Words of any length are read whole; a value that fails to convert leaves
// its variable as it was. A window size that is missing or not usable (see
// windowSizeUsable) is replaced by 800 x 600 with a log line naming
// `fileName`, also echoed on standard error.
void readSettingsFrom(std::FILE* file, const char* fileName);

// 0 on success, -1 if "GlowbakeView.ini" cannot be opened (nothing changed).
int readSettings();

// Closes the log and forgets the scene path.
void shutdown();
