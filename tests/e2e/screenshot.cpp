// Takes the README's screenshot: the viewer's first frame of a terrain, under a private Xvfb.
// Usage: screenshot VIEWER TERRAIN OUTPUT.png
#include "viewer_session.h"

#include <png.h>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s VIEWER TERRAIN OUTPUT.png\n", argv[0]);
        return 2;
    }
    try {
        ViewerSession session(ViewerProgram{argv[1], "", "", 1},
                              [&](const TempDir& dir) { dir.write("sample.raw", readFile(argv[2])); });
        const Image image = session.firstPicture();
        session.closeWindow();
        std::vector<uint8_t> rgb;
        for (const uint32_t pixel : image.pixels) {
            rgb.insert(rgb.end(), {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)});
        }
        png_image png = {};
        png.version = PNG_IMAGE_VERSION;
        png.width = image.width;
        png.height = image.height;
        png.format = PNG_FORMAT_RGB;
        if (!png_image_write_to_file(&png, argv[3], 0, rgb.data(), 0, nullptr)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
