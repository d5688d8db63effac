#include "Callbacks.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>

#include "Camera.h"
#include "FrameClock.h"
#include "MouseLook.h"
#include "Movement.h"
#include "PointerService.h"
#include "SceneLoader.h"
#include "Snapshot.h"
#include "ViewerLog.h"
#include "ViewerSettings.h"

namespace {

constexpr double kFieldOfViewDegrees = 90.0;
constexpr double kNearDistance = 1.0;
constexpr double kFarDistance = 9999.0;

FrameClock frameClock;
// Only the first failed bind of a run is echoed on stderr; the log gets all.
bool bindFailureReported = false;

}  // namespace

void initGlState() {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CW);
}

void setProjection() {
    // A window minimised to zero height has no aspect; any finite one will do.
    const double aspect = windowSize.windowHeight > 0 ? static_cast<double>(windowSize.windowWidth) /
                                                            static_cast<double>(windowSize.windowHeight)
                                                      : 1.0;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfViewDegrees, aspect, kNearDistance, kFarDistance);
    glMatrixMode(GL_MODELVIEW);
}

void switchMouseLookOn() {
    glutSetCursor(GLUT_CURSOR_NONE);
    activateMouseLook(mouseLook);
    captureMouse();
    warpPointerToCentre(windowSize.halfWidth, windowSize.halfHeight);
}

void switchMouseLookOff() {
    glutSetCursor(GLUT_CURSOR_LEFT_ARROW);
    deactivateMouseLook(mouseLook);
    releaseMouse();
}

void display() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The specified per-frame steps, scaled to the time this frame stands for.
    advanceFrame(camera, velocity(movement), mouseLook.pitchDelta, mouseLook.yawDelta,
                 referenceFrames(frameClock, monotonicSeconds()));
    setProjection();

    glLoadIdentity();
    const Vec3& eye = camera.eyePos;
    const Vec3 centre = eye + camera.lookDir;
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, camera.upDir.x, camera.upDir.y, camera.upDir.z);
    drawScene();

    if (!snapshotPath.empty()) {
        glFinish();
        if (!saveFrame(snapshotPath, windowSize.windowWidth, windowSize.windowHeight)) {
            logFailure("Snapshot %s could not be written\n", snapshotPath.c_str());
            std::exit(kSnapshotFailedStatus);
        }
        std::exit(0);
    }
    glutSwapBuffers();
}

void drawScene() {
    glPushMatrix();
    glTranslatef(kSceneOffset.x, kSceneOffset.y, kSceneOffset.z);
    for (int p = 0; p < numPatches; ++p) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(kFirstTextureName + p));
        if (glGetError() != GL_NO_ERROR) {
            if (bindFailureReported) {
                logMessage("error binding texture\n");
            } else {
                logFailure("error binding texture\n");
                bindFailureReported = true;
            }
        }
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glBegin(GL_TRIANGLES);
        for (int k = 0; k < 3; ++k) {
            glTexCoord2f(textureAnchors[k][p].x, textureAnchors[k][p].y);
            glVertex3f(patchVerts[k][p].x, patchVerts[k][p].y, patchVerts[k][p].z);
        }
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }
    glPopMatrix();
}

void reshape(int width, int height) {
    setWindowSize(windowSize, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
    setProjection();
    glutPostRedisplay();
}

void keyboard(unsigned char key, int, int) {
    switch (applyKey(movement, key)) {
        case KeyAction::quit:
            std::exit(1);
        case KeyAction::startWatchdog:
            glutTimerFunc(kWatchdogMillis, moveWatchdog, 1);
            break;
        case KeyAction::printView:
            std::fputs(describeView(camera).c_str(), stdout);
            std::fflush(stdout);
            break;
        case KeyAction::toggleMouseLook:
            if (mouseLook.active)
                switchMouseLookOff();
            else
                switchMouseLookOn();
            break;
        case KeyAction::none:
            break;
    }
    glutPostRedisplay();
}

void moveWatchdog(int) {
    if (watchdogTick(movement)) {
        glutTimerFunc(kWatchdogMillis, moveWatchdog, 1);
        return;
    }
    glutPostRedisplay();
}

void passiveMotion(int x, int y) {
    if (mouseLook.active) keepMouseCaptured();
    const PointerResponse response =
        pointerMoved(mouseLook, windowSize, movement.mouseSensitivity, mouseYSign, x, y);
    if (response.redisplay) glutPostRedisplay();
    if (response.warpToCentre) warpPointerToCentre(windowSize.halfWidth, windowSize.halfHeight);
}

void entry(int state) {
    if (state == GLUT_LEFT && pointerLeft(mouseLook))
        warpPointerToCentre(windowSize.halfWidth, windowSize.halfHeight);
}

void frameTimer(int) {
    glutTimerFunc(kFrameTimerMillis, frameTimer, 0);
    glutPostRedisplay();
}
