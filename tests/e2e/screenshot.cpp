// Takes the README's screenshot: the viewer's first frame of a terrain, under a private Xvfb.
// Usage: screenshot VIEWER TERRAIN OUTPUT.png
#include "png.h"
#include "viewer_session.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s VIEWER TERRAIN OUTPUT.png\n", argv[0]);
        return 2;
    }
    try {
        ViewerSession session(argv[1], readFile(argv[2]));
        const Image image = session.firstPicture();
        session.closeWindow();
        if (!writePng(argv[3], image)) {
            std::perror(argv[3]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
