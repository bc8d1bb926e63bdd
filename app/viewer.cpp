#include "app/viewer.h"

#include "app/camera.h"

#include "terrain/heightmap.h"
#include "terrain/mesh.h"
#include "trackball/trackball.h"

#include <GL/glut.h>

int g_windowWidth = 512;
int g_windowHeight = 512;
Heightmap* g_heightmap = nullptr;

namespace {

const char* const kWindowTitle = "A very simple Mirovale";
const char* const kTerrainFile = "sample.raw";
const int kTerrainWidth = 257;
const int kTerrainHeight = 257;

// A 90 degree square field of view; wide windows show the scene stretched.
const double kFrustumHalfExtent = 0.1;
const double kNear = 0.1;
const double kFar = 50.0;

const GLfloat kMaterialAmbient[] = {0.0f, 0.8f, 0.2f, 1.0f};
const GLfloat kMaterialDiffuse[] = {0.0f, 0.8f, 0.2f, 1.0f};
const GLfloat kMaterialSpecular[] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat kMaterialShininess = 25.0f;

} // namespace

void initWindow() {
    glutInitWindowSize(g_windowWidth, g_windowHeight);
    glutInitWindowPosition(0, 0);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutCreateWindow(kWindowTitle);
}

void registerCallbacks() {
    glutReshapeFunc(onReshape);
    glutDisplayFunc(onDisplay);
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
    glutKeyboardFunc(onKeyboard);
    glutSpecialFunc(onSpecial);
}

void initRenderState() {
    // Lighting stays off: the mesh shows as white lines on black.
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

void loadTerrain() {
    // A missing or short file leaves the heightmap empty, and the window simply black.
    g_heightmap = new Heightmap;
    g_heightmap->load(kTerrainFile, kTerrainWidth, kTerrainHeight);
}

void onReshape(int width, int height) {
    g_windowWidth = width;
    g_windowHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-kFrustumHalfExtent, kFrustumHalfExtent, -kFrustumHalfExtent, kFrustumHalfExtent, kNear, kFar);
    // The trackball measures drags across the whole window.
    g_trackball->setViewport(width, height, 0, 0);
}

void onDisplay() {
    if (g_viewChanged) {
        applyViewTransform();
        g_viewChanged = false;
    }
    // The push and pop keep the modelview matrix the same from frame to frame.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, kMaterialAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kMaterialDiffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, kMaterialSpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, kMaterialShininess);
    drawTerrain(*g_heightmap);
    glutSwapBuffers();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void releaseResources() {
    // Either may be null if start-up never got that far; deleting null does nothing.
    delete g_heightmap;
    delete g_trackball;
}
