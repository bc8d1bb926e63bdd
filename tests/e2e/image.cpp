#include "image.h"

#include <algorithm>

LitArea litArea(const Image& image) {
    LitArea area;
    area.left = image.width;
    area.top = image.height;
    double sumX = 0.0;
    double sumY = 0.0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) != 0) {
                ++area.count;
                sumX += x;
                sumY += y;
                area.left = std::min(area.left, x);
                area.right = std::max(area.right, x);
                area.top = std::min(area.top, y);
                area.bottom = std::max(area.bottom, y);
            }
        }
    }
    if (area.count > 0) {
        area.centreX = sumX / area.count;
        area.centreY = sumY / area.count;
    }
    return area;
}

int greyPixels(const Image& image) {
    int count = 0;
    for (uint32_t pixel : image.pixels) {
        count += pixel != 0 && pixel != 0xffffffu;
    }
    return count;
}
