#pragma once

// Single-precision virtual-trackball arithmetic. Vectors are 3 floats (x, y, z), quaternions
// 4 floats (x, y, z, w) with the scalar w last, matrices 16 floats in glMultMatrixf order.
// Each formula is evaluated in double and rounded to float where it is stored.

// v = (0, 0, 0).
void vec3Zero(float* v);
// v = (x, y, z).
void vec3Set(float* v, float x, float y, float z);
// out = a - b; out may be a or b.
void vec3Sub(const float* a, const float* b, float* out);
// dst = src.
void vec3Copy(const float* src, float* dst);
// out = a x b; out may be a or b.
void vec3Cross(const float* a, const float* b, float* out);
// The length of v.
float vec3Length(const float* v);
// v = v * s.
void vec3Scale(float* v, float s);
// v = v / |v|; a zero vector is not guarded against.
void vec3Normalize(float* v);
// a . b.
float vec3Dot(const float* a, const float* b);
// out = a + b; out may be a or b.
void vec3Add(const float* a, const float* b, float* out);

// z of (x, y) lifted onto a sphere of radius r that turns into a hyperbolic sheet past r / sqrt 2.
float trackballDepth(float r, float x, float y);
// q = the rotation that turns lifted point p2 toward lifted point p1 on a ball of radius r;
// the identity when the points are equal or give no axis.
void dragRotation(float* q, float p1x, float p1y, float p2x, float p2y, float r);
// q = the rotation by phi radians about axis; axis is normalised in place.
void quatFromAxisAngle(float* axis, float phi, float* q);
// dest = q2 q1 (Hamilton product); dest may be q1 or q2. Every 98th call over the whole
// program also renormalises dest.
void composeRotations(const float* q1, const float* q2, float* dest);
// q = q / (x² + y² + z² + w²): divided by the squared length, pulling it back toward 1.
void renormalizeQuat(float* q);
// m = the rotation matrix of q, row by row, which glMultMatrixf reads as its transpose.
void quatToMatrix(float* m, const float* q);
