#include "trackball/trackball.h"

#include "trackball/rotation.h"

#include <cstdint>
#include <cstring>

Trackball::Trackball(int width, int height, int left, int top)
    : left(left), top(top), width(width), height(height) {}

void Trackball::setViewport(int width, int height, int left, int top) {
    this->width = width;
    this->height = height;
    this->left = left;
    this->top = top;
}

void Trackball::drag(int x1, int y1, int x2, int y2) {
    // A minimised window has no ball to drag across.
    if (width <= 0 || height <= 0) {
        return;
    }
    // The centre is a whole pixel; the half-extents are exact, and y turns upward. Centre and
    // differences are whole numbers in 64 bits, where no int overflows them, and each converts
    // to double exactly, so every drag int arithmetic could hold comes out as it would there.
    const int64_t cx = int64_t{left} + width / 2;
    const int64_t cy = int64_t{top} + height / 2;
    const double halfWidth = width / 2.0;
    const double halfHeight = height / 2.0;
    const float p1x = static_cast<float>((x1 - cx) / halfWidth);
    const float p1y = static_cast<float>(-((y1 - cy) / halfHeight));
    const float p2x = static_cast<float>((x2 - cx) / halfWidth);
    const float p2y = static_cast<float>(-((y2 - cy) / halfHeight));

    float q[4];
    dragRotation(q, p1x, p1y, p2x, p2y, radius);
    // The drag goes first, so it turns the scene about an axis fixed to the viewer.
    composeRotations(q, rotation, rotation);
}

void Trackball::getRotation(float out[4]) const { std::memcpy(out, rotation, sizeof rotation); }

void Trackball::setRotation(const float in[4]) { std::memcpy(rotation, in, sizeof rotation); }

void Trackball::getMatrix(float out[16]) const {
    float m[16];
    quatToMatrix(m, rotation);
    std::memcpy(out, m, sizeof m);
}
