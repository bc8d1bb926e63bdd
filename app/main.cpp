#include "app/camera.h"
#include "app/viewer.h"

#include <GL/glut.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // First, so the heap objects are released however the process ends.
    std::atexit(releaseResources);
    // GLUT takes the command line; the viewer has no options of its own.
    glutInit(&argc, argv);
    initWindow();
    registerCallbacks();
    initRenderState();
    loadTerrain();
    createTrackball();
    // GLUT sends the first reshape and display from inside its loop.
    glutMainLoop();
    return 0;
}
