// Times the viewer's frame in a window of SIDE x SIDE pixels: 512 at a desktop scale of 1, 768 at
// 1.5. Each frame is the viewer's own, drawn by its display routine after a small turn (as while
// dragging) and finished by GL before the clock stops; the median and the fastest of FRAMES frames
// are printed, in milliseconds. It runs on the X display it is given, in a folder with a sample.raw.
// Usage: frame_cost SIDE [FRAMES]
#include "app/camera.h"
#include "app/viewer.h"
#include "trackball/trackball.h"

#include <GL/glut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int s_frames = 101;

void measure() {
    std::vector<double> times;
    for (int k = 0; k < s_frames; ++k) {
        const auto start = std::chrono::steady_clock::now();
        g_trackball->drag(g_windowWidth / 2, g_windowHeight / 2, g_windowWidth / 2 + 1, g_windowHeight / 2);
        g_viewChanged = true;
        onDisplay();
        glFinish();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%d x %d: median %.2f ms, fastest %.2f ms, of %d frames\n", g_windowWidth, g_windowHeight,
                times[times.size() / 2], times.front(), s_frames);
    std::exit(0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s SIDE [FRAMES]\n", argv[0]);
        return 2;
    }
    g_windowWidth = g_windowHeight = std::atoi(argv[1]);
    s_frames = argc == 3 ? std::max(1, std::atoi(argv[2])) : s_frames;
    std::atexit(releaseResources);
    glutInit(&argc, argv);
    initWindow();
    registerCallbacks();
    initRenderState();
    loadTerrain();
    createTrackball();
    onReshape(g_windowWidth, g_windowHeight);
    // Once the window shows, so that its frames reach the screen as the viewer's do.
    glutDisplayFunc(measure);
    glutMainLoop();
    return 0;
}
