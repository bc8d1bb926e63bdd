#pragma once

#include "trackball/rotation.h"

#include <array>

// Composes a non-unit quaternion until the periodic renormalisation shows itself, so that
// the next 97 compositions are known not to renormalise. Returns the compositions it took.
inline int alignRenormalisation() {
    const float identity[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const float doubled[4] = {0.0f, 0.0f, 0.0f, 2.0f};
    for (int n = 1; n <= 98; ++n) {
        float out[4];
        composeRotations(identity, doubled, out);
        if (out[3] != 2.0f) {
            return n;
        }
    }
    return 0;
}

// An independent double-precision Hamilton product a b, quaternions laid out (x, y, z, w).
inline std::array<double, 4> hamilton(const float* a, const float* b) {
    return {a[3] * double(b[0]) + a[0] * double(b[3]) + a[1] * double(b[2]) - a[2] * double(b[1]),
            a[3] * double(b[1]) - a[0] * double(b[2]) + a[1] * double(b[3]) + a[2] * double(b[0]),
            a[3] * double(b[2]) + a[0] * double(b[1]) - a[1] * double(b[0]) + a[2] * double(b[3]),
            a[3] * double(b[3]) - a[0] * double(b[0]) - a[1] * double(b[1]) - a[2] * double(b[2])};
}
