#pragma once

#include "terrain/heightmap.h"

// A vertex position of the terrain mesh.
class Point3d {
public:
    Point3d() = default;
    Point3d(double x, double y, double z) : x(x), y(y), z(z) {}
    Point3d(const Point3d&) = default;
    Point3d& operator=(const Point3d&) = default;
    virtual ~Point3d() = default;

    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// A face normal of the terrain mesh: unit length, or zero for a degenerate face.
class Vector3d {
public:
    Vector3d() = default;
    Vector3d(double x, double y, double z) : x(x), y(y), z(z) {}
    Vector3d(const Vector3d&) = default;
    Vector3d& operator=(const Vector3d&) = default;
    virtual ~Vector3d() = default;

    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Issues the heightmap as GL_TRIANGLES, two per cell of every 10th sample, one normal each.
void drawTerrain(const Heightmap& map);

// The unit normal (b - a) x (c - a) of triangle a, b, c; zero where the cross product is zero.
Vector3d faceNormal(const Point3d& a, const Point3d& b, const Point3d& c);

// Issues one vertex carrying its face normal.
void emitVertex(Vector3d normal, Point3d point);
