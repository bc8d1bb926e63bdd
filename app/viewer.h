#pragma once

class Heightmap;

// The window size; the initial values are also the size asked for at start-up.
extern int g_windowWidth;
extern int g_windowHeight;

// The terrain, created at start-up and deleted by the exit handler.
extern Heightmap* g_heightmap;

// Start-up steps, in the order main runs them.
void initWindow();
void registerCallbacks();
void initRenderState();
void loadTerrain();

// GLUT callbacks of the window and its frame.
void onReshape(int width, int height);
void onDisplay();

// Exit handler: deletes the heap objects made at start-up.
void releaseResources();
