// Takes the README's screenshot: the viewer's first frame of a terrain, under a private Xvfb. With
// a size, takes the icon instead: a size x size square around the terrain, drawn in a window in
// which the terrain comes out a little narrower than that. With --viewer, the viewer is another
// Linux build's program, such as a release's, instead of the tests' own.
// Usage: screenshot [--viewer PROGRAM] TERRAIN OUTPUT.png [SIZE]
#include "session.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

namespace {

// The square of side size around the lit area's centre, kept inside the image.
Image squareAroundTerrain(const Image& image, int size) {
    const LitArea lit = litArea(image);
    const int left = std::clamp(int(lit.left + lit.width() / 2) - size / 2, 0, image.width - size);
    const int top = std::clamp(int(lit.top + lit.height() / 2) - size / 2, 0, image.height - size);
    Image square{size, size, {}};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            square.pixels.push_back(image.at(left + x, top + y));
        }
    }
    return square;
}

bool writePng(const Image& image, const char* path) {
    std::vector<uint8_t> rgb;
    for (const uint32_t pixel : image.pixels) {
        rgb.insert(rgb.end(), {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)});
    }
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path, 0, rgb.data(), 0, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    const char* const program = argv[0];
    std::unique_ptr<Lane> otherBuild;
    if (argc > 2 && std::string(argv[1]) == "--viewer") {
        otherBuild = linuxBuildLane(argv[2]);
        argc -= 2;
        argv += 2;
    }
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s [--viewer PROGRAM] TERRAIN OUTPUT.png [SIZE]\n", program);
        return 2;
    }
    try {
        Session session(otherBuild ? *otherBuild : linuxLane(),
                        [&](const TempDir& dir) { dir.write("sample.raw", readFile(argv[1])); });
        Image image = session.firstPicture();
        if (argc == 4) {
            const int size = std::atoi(argv[3]);
            const int window = image.width * size * 15 / 16 / litArea(image).width();
            session.resize(window, window);
            image = squareAroundTerrain(session.pictureChangedFrom(image), size);
        }
        session.closeWindow();
        if (!writePng(image, argv[2])) {
            std::fprintf(stderr, "%s: cannot write %s\n", program, argv[2]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        return 1;
    }
    return 0;
}
