#include "app/camera.h"

#include "app/viewer.h"
#include "trackball/trackball.h"

#include <GL/glut.h>

double g_distance = 2.5;
bool g_viewChanged = true;
bool g_rotating = false;
bool g_zooming = false;
int g_lastX = 0;
int g_lastY = 0;
Trackball* g_trackball = nullptr;

void createTrackball() {
    g_trackball = new Trackball;
    g_trackball->setViewport(g_windowWidth, g_windowHeight, 0, 0);
    // A drag from the centre toward the lower right tilts the terrain's top toward the viewer.
    const int x1 = static_cast<int>(g_windowWidth * 0.5);
    const int y1 = static_cast<int>(g_windowHeight * 0.5);
    const int x2 = static_cast<int>(g_windowWidth * 0.75);
    const int y2 = static_cast<int>(g_windowHeight * 0.75);
    g_trackball->drag(x1, y1, x2, y2);
}

void applyViewTransform() {
    // Turn the terrain about its own centre, then push it out in front of the camera.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, 0.0, -g_distance);
    float m[16];
    g_trackball->getMatrix(m);
    glMultMatrixf(m);
}

void onMouse(int button, int state, int x, int y) {
    const bool pressed = state == GLUT_DOWN;
    if (button == GLUT_LEFT_BUTTON) {
        g_rotating = pressed;
    } else if (button == GLUT_RIGHT_BUTTON) {
        g_zooming = pressed;
    } else {
        return; // the middle button does nothing
    }
    // Each press re-anchors the drag at the pointer.
    if (pressed) {
        g_lastX = x;
        g_lastY = y;
    }
}

void onMotion(int x, int y) {
    if (!g_rotating && !g_zooming) {
        return;
    }
    if (g_rotating) {
        g_trackball->drag(g_lastX, g_lastY, x, y);
    } else if (g_windowHeight != 0) {
        // A full window height of travel moves the camera one unit; down moves it away.
        g_distance += static_cast<double>(y - g_lastY) / g_windowHeight;
    }
    g_lastX = x;
    g_lastY = y;
    g_viewChanged = true;
    glutPostRedisplay();
}

void onKeyboard(unsigned char, int, int) {}

void onSpecial(int, int, int) {}
