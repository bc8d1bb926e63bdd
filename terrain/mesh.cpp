#include "terrain/mesh.h"

#include <GL/gl.h>

#include <cmath>

namespace {

const int kStep = 10;            // samples between neighbouring mesh corners
const double kScaleX = 2.0;      // terrain width in world units
const double kScaleY = 0.25;     // height of a 255 sample in world units
const double kScaleZ = 2.0;      // terrain depth in world units
const double kMaxSample = 255.0; // maps a sample onto 0 ... 1

// Maps grid index (c, r) onto the world; indices past the grid get height 0 from at().
Point3d corner(const Heightmap& map, int c, int r, int lastColumn, int lastRow) {
    const double x = (static_cast<double>(c) / static_cast<double>(lastColumn) - 0.5) * kScaleX;
    const double y = (static_cast<double>(map.at(c, r)) / kMaxSample) * kScaleY;
    const double z = (static_cast<double>(r) / static_cast<double>(lastRow) - 0.5) * kScaleZ;
    return Point3d(x, y, z);
}

} // namespace

void drawTerrain(const Heightmap& map) {
    const int lastColumn = map.width - 1;
    const int lastRow = map.height - 1;

    glBegin(GL_TRIANGLES);
    for (int r = 0; r < lastRow; r += kStep) {
        for (int c = 0; c < lastColumn; c += kStep) {
            const Point3d a = corner(map, c, r, lastColumn, lastRow);
            const Point3d b = corner(map, c, r + kStep, lastColumn, lastRow);
            const Point3d cc = corner(map, c + kStep, r, lastColumn, lastRow);
            const Point3d d = corner(map, c + kStep, r + kStep, lastColumn, lastRow);

            // Both triangles share the diagonal from (c + step, r) to (c, r + step).
            const Vector3d n1 = faceNormal(a, b, cc);
            const Vector3d n2 = faceNormal(d, cc, b);
            emitVertex(n1, a);
            emitVertex(n1, b);
            emitVertex(n1, cc);
            emitVertex(n2, d);
            emitVertex(n2, cc);
            emitVertex(n2, b);
        }
    }
    glEnd();
}

Vector3d faceNormal(const Point3d& a, const Point3d& b, const Point3d& c) {
    Vector3d n((b.z - c.z) * a.y + (c.z - a.z) * b.y + (a.z - b.z) * c.y,
               (b.x - c.x) * a.z + (c.x - a.x) * b.z + (a.x - b.x) * c.z,
               (b.y - c.y) * a.x + (c.y - a.y) * b.x + (a.y - b.y) * c.x);
    const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (len != 0.0) {
        n.x /= len;
        n.y /= len;
        n.z /= len;
    }
    return n;
}

void emitVertex(Vector3d normal, Point3d point) {
    glNormal3d(normal.x, normal.y, normal.z);
    glVertex3d(point.x, point.y, point.z);
}
