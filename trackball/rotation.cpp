#include "trackball/rotation.h"

#include <cmath>

namespace {

// Compositions between renormalisations, shared by every caller.
int s_composeCount = 0;
const int kRenormalizeAfter = 97;

// Single-precision 1/sqrt 2 and sqrt 2 (bit patterns 0x3F3504F3 and 0x3FB504F3).
const float kInvSqrt2 = 0.70710677f;
const float kSqrt2 = 1.41421354f;

void quatIdentity(float* q) {
    vec3Zero(q);
    q[3] = 1.0f;
}

} // namespace

void vec3Zero(float* v) { vec3Set(v, 0.0f, 0.0f, 0.0f); }

void vec3Set(float* v, float x, float y, float z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void vec3Sub(const float* a, const float* b, float* out) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

void vec3Copy(const float* src, float* dst) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

void vec3Cross(const float* a, const float* b, float* out) {
    float t[3];
    t[0] = static_cast<float>(double(a[1]) * b[2] - double(a[2]) * b[1]);
    t[1] = static_cast<float>(double(a[2]) * b[0] - double(a[0]) * b[2]);
    t[2] = static_cast<float>(double(a[0]) * b[1] - double(a[1]) * b[0]);
    vec3Copy(t, out);
}

float vec3Length(const float* v) {
    return static_cast<float>(std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]));
}

void vec3Scale(float* v, float s) {
    v[0] *= s;
    v[1] *= s;
    v[2] *= s;
}

void vec3Normalize(float* v) { vec3Scale(v, static_cast<float>(1.0 / vec3Length(v))); }

float vec3Dot(const float* a, const float* b) {
    return static_cast<float>(double(a[0]) * b[0] + double(a[1]) * b[1] + double(a[2]) * b[2]);
}

void vec3Add(const float* a, const float* b, float* out) {
    out[0] = a[0] + b[0];
    out[1] = a[1] + b[1];
    out[2] = a[2] + b[2];
}

float trackballDepth(float r, float x, float y) {
    const float d = static_cast<float>(std::sqrt(double(x) * x + double(y) * y));
    if (d < double(r) * kInvSqrt2) {
        return static_cast<float>(std::sqrt(double(r) * r - double(d) * d));
    }
    // On the sheet z = (r² / 2) / d, which meets the sphere at d = r / sqrt 2.
    const float t = static_cast<float>(double(r) / kSqrt2);
    return static_cast<float>(double(t) * t / d);
}

void dragRotation(float* q, float p1x, float p1y, float p2x, float p2y, float r) {
    if (p1x == p2x && p1y == p2y) {
        quatIdentity(q);
        return;
    }

    float p1[3];
    float p2[3];
    vec3Set(p1, p1x, p1y, trackballDepth(r, p1x, p1y));
    vec3Set(p2, p2x, p2y, trackballDepth(r, p2x, p2y));

    float axis[3];
    vec3Cross(p2, p1, axis);
    // An axis too short to normalise (lifted points in line with the centre) means no turn, not NaNs.
    if (!std::isfinite(1.0f / vec3Length(axis))) {
        quatIdentity(q);
        return;
    }

    float d[3];
    vec3Sub(p1, p2, d);
    float t = static_cast<float>(vec3Length(d) / (2.0 * r));
    // Past a chord of one diameter the angle stays at half a turn.
    if (t > 1.0f) {
        t = 1.0f;
    }
    if (t < -1.0f) {
        t = -1.0f;
    }
    const float phi = static_cast<float>(2.0 * std::asin(t));
    quatFromAxisAngle(axis, phi, q);
}

void quatFromAxisAngle(float* axis, float phi, float* q) {
    vec3Normalize(axis);
    vec3Copy(axis, q);
    const float halfSine = static_cast<float>(std::sin(phi / 2.0));
    vec3Scale(q, halfSine);
    q[3] = static_cast<float>(std::cos(phi / 2.0));
}

void composeRotations(const float* q1, const float* q2, float* dest) {
    float t1[3];
    float t2[3];
    float t3[3];
    float sum[3];
    vec3Copy(q1, t1);
    vec3Scale(t1, q2[3]);
    vec3Copy(q2, t2);
    vec3Scale(t2, q1[3]);
    vec3Cross(q2, q1, t3);
    vec3Add(t1, t2, sum);
    vec3Add(t3, sum, sum);
    const float w = static_cast<float>(double(q1[3]) * q2[3] - vec3Dot(q1, q2));

    vec3Copy(sum, dest);
    dest[3] = w;

    // Float rounding slowly stretches the quaternion; pull it back now and then.
    if (++s_composeCount > kRenormalizeAfter) {
        s_composeCount = 0;
        renormalizeQuat(dest);
    }
}

void renormalizeQuat(float* q) {
    const float mag = static_cast<float>(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] +
                                         double(q[3]) * q[3]);
    for (int i = 0; i < 4; ++i) {
        q[i] /= mag;
    }
}

void quatToMatrix(float* m, const float* q) {
    const double x = q[0];
    const double y = q[1];
    const double z = q[2];
    const double w = q[3];
    m[0] = static_cast<float>(1.0 - 2.0 * (y * y + z * z));
    m[1] = static_cast<float>(2.0 * (x * y - z * w));
    m[2] = static_cast<float>(2.0 * (z * x + y * w));
    m[3] = 0.0f;
    m[4] = static_cast<float>(2.0 * (x * y + z * w));
    m[5] = static_cast<float>(1.0 - 2.0 * (z * z + x * x));
    m[6] = static_cast<float>(2.0 * (y * z - x * w));
    m[7] = 0.0f;
    m[8] = static_cast<float>(2.0 * (z * x - y * w));
    m[9] = static_cast<float>(2.0 * (y * z + x * w));
    m[10] = static_cast<float>(1.0 - 2.0 * (y * y + x * x));
    m[11] = 0.0f;
    m[12] = 0.0f;
    m[13] = 0.0f;
    m[14] = 0.0f;
    m[15] = 1.0f;
}
