#pragma once

// The GLUT side of the viewer: fixed GL state, projection and the callbacks
// that the window registers. They work on the program-wide camera, movement,
// mouse-look, window-size and scene state.

// Depth test on, back faces culled, clockwise on screen is the front.
void initGlState();

// 90 degree vertical field of view, the window's aspect, near 1, far 9999.
void setProjection();

// Mouse look on (hidden, captured, centred pointer) and off (arrow pointer,
// released, turning stopped).
void switchMouseLookOn();
void switchMouseLookOff();

void display();
void reshape(int width, int height);
void keyboard(unsigned char key, int x, int y);
void moveWatchdog(int value);
void passiveMotion(int x, int y);
void entry(int state);
// Asks for a frame about 60 times a second (re-arming itself), in place of
// the continuous redisplay from an idle callback.
void frameTimer(int value);
void drawScene();
