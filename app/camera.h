#pragma once

class Trackball;

// Camera distance from the terrain's centre; no limit either way.
extern double g_distance;
// The modelview matrix must be rebuilt before the next frame.
extern bool g_viewChanged;
// Left button held: motion turns the terrain. Right button held: motion moves the camera.
extern bool g_rotating;
extern bool g_zooming;
// Pointer position of the last press, or of the last motion handled while dragging.
extern int g_lastX;
extern int g_lastY;
// The one trackball, created at start-up and deleted by the exit handler.
extern Trackball* g_trackball;

// Start-up: creates the trackball and gives the terrain its initial tilt.
void createTrackball();
// Rebuilds the modelview matrix from the distance and the trackball's rotation.
void applyViewTransform();

// GLUT input callbacks.
void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);
void onKeyboard(unsigned char key, int x, int y);
void onSpecial(int key, int x, int y);
