#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A captured picture, as 0xRRGGBB pixels row by row from the top-left corner.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Image& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
    bool operator!=(const Image& other) const { return !(*this == other); }
};

// Where a picture is lit: how many pixels are not black, their bounding box and centre.
struct LitArea {
    int count = 0;
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive; right < left when nothing is lit
    double centreX = 0.0, centreY = 0.0;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};
LitArea litArea(const Image& image);

// How many pixels are neither pure black nor pure white.
int greyPixels(const Image& image);
