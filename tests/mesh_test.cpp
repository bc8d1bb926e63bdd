#include "terrain/mesh.h"

#include "gl_fake.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

struct Vertex {
    Vector3d normal;
    Point3d point;
};

// Gives map a w x h grid whose sample at (x, y) is sample(x, y).
void fillMap(Heightmap& map, int w, int h, const std::function<uint8_t(int, int)>& sample) {
    delete[] map.data;
    map.width = w;
    map.height = h;
    map.data = new uint8_t[w * h];
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            map.data[y * w + x] = sample(x, y);
        }
    }
}

// Draws map and returns its vertices, checking that one batch of triangles carries them,
// each vertex led by its normal.
std::vector<Vertex> draw(const Heightmap& map) {
    resetGlLog();
    drawTerrain(map);
    const std::vector<GlCall>& log = glLog();
    std::vector<Vertex> vertices;
    EXPECT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().name, "glBegin");
    EXPECT_EQ(log.front().args, std::vector<double>{GL_TRIANGLES});
    EXPECT_EQ(log.back().name, "glEnd");
    for (size_t k = 1; k + 1 < log.size(); k += 2) {
        EXPECT_EQ(log[k].name, "glNormal3d") << "call " << k;
        EXPECT_EQ(log[k + 1].name, "glVertex3d") << "call " << k + 1;
        const std::vector<double>& n = log[k].args;
        const std::vector<double>& p = log[k + 1].args;
        vertices.push_back({Vector3d(n[0], n[1], n[2]), Point3d(p[0], p[1], p[2])});
    }
    EXPECT_EQ(log.size() % 2, 0u);
    return vertices;
}

void expectPoint(const Point3d& p, double x, double y, double z) {
    EXPECT_DOUBLE_EQ(p.x, x);
    EXPECT_DOUBLE_EQ(p.y, y);
    EXPECT_DOUBLE_EQ(p.z, z);
}

void expectVector(const Vector3d& v, double x, double y, double z, double tolerance = 0.0) {
    if (tolerance == 0.0) {
        EXPECT_DOUBLE_EQ(v.x, x);
        EXPECT_DOUBLE_EQ(v.y, y);
        EXPECT_DOUBLE_EQ(v.z, z);
    } else {
        EXPECT_NEAR(v.x, x, tolerance);
        EXPECT_NEAR(v.y, y, tolerance);
        EXPECT_NEAR(v.z, z, tolerance);
    }
}

// The world coordinate of grid index i on a grid whose last index is last.
double world(int i, int last) { return (double(i) / last - 0.5) * 2.0; }

uint8_t pattern(int x, int y) { return uint8_t(x * 3 + y * 5 + 1); }

TEST(FaceNormal, IsTheUnitCrossProductOfTheEdgesFromA) {
    expectVector(faceNormal(Point3d(0, 0, 0), Point3d(0, 0, 1), Point3d(1, 0, 0)), 0, 1, 0);
    expectVector(faceNormal(Point3d(0, 0, 0), Point3d(0, 0, 2), Point3d(0, 3, 0)), -1, 0, 0);
    expectVector(faceNormal(Point3d(1, 1, 1), Point3d(1, 1, 2), Point3d(2, 2, 1)), -0.70710678118654746,
                 0.70710678118654746, 0, 1e-15);
    // Tiny triangles are still normalised.
    expectVector(faceNormal(Point3d(0, 0, 0), Point3d(0, 0, 1e-5), Point3d(1e-5, 0, 0)), 0, 1, 0);
}

TEST(FaceNormal, DegenerateTriangleGivesZero) {
    expectVector(faceNormal(Point3d(1, 2, 3), Point3d(1, 2, 3), Point3d(4, 5, 6)), 0, 0, 0);
    expectVector(faceNormal(Point3d(0, 0, 0), Point3d(1, 1, 1), Point3d(2, 2, 2)), 0, 0, 0);
}

TEST(MeshDraw, FullGridIssuesEveryCellInOneBatch) {
    Heightmap map;
    fillMap(map, 257, 257, pattern);
    const std::vector<Vertex> vertices = draw(map);
    EXPECT_EQ(vertices.size(), 26u * 26u * 6u);
    EXPECT_EQ(callsNamed("glBegin").size(), 1u);
    EXPECT_EQ(callsNamed("glEnd").size(), 1u);
}

TEST(MeshDraw, CellCornersComeInOrderABCDCB) {
    Heightmap map;
    fillMap(map, 257, 257, pattern);
    const std::vector<Vertex> v = draw(map);
    auto y = [&](int c, int r) { return pattern(c, r) / 255.0 * 0.25; };

    // Cell (c, r) = (10, 20): A (c, r), B (c, r + 10), C (c + 10, r), D (c + 10, r + 10).
    const size_t first = (2 * 26 + 1) * 6;
    const Point3d a(world(10, 256), y(10, 20), world(20, 256));
    const Point3d b(world(10, 256), y(10, 30), world(30, 256));
    const Point3d c(world(20, 256), y(20, 20), world(20, 256));
    const Point3d d(world(20, 256), y(20, 30), world(30, 256));
    const Point3d expected[] = {a, b, c, d, c, b};
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        expectPoint(v[first + k].point, expected[k].x, expected[k].y, expected[k].z);
    }

    // One normal per triangle, the first from A, B, C and the second from D, C, B.
    const Vector3d n1 = faceNormal(a, b, c);
    const Vector3d n2 = faceNormal(d, c, b);
    for (int k = 0; k < 3; ++k) {
        expectVector(v[first + k].normal, n1.x, n1.y, n1.z);
        expectVector(v[first + 3 + k].normal, n2.x, n2.y, n2.z);
    }
    EXPECT_NE(n1.x, n2.x);
}

TEST(MeshDraw, WalksRowsOuterAndColumnsInner) {
    Heightmap map;
    fillMap(map, 257, 257, [](int, int) { return uint8_t(0); });
    const std::vector<Vertex> v = draw(map);
    expectPoint(v[0].point, -1.0, 0.0, -1.0);                 // c = 0, r = 0
    expectPoint(v[6].point, world(10, 256), 0.0, -1.0);       // c = 10, r = 0
    expectPoint(v[25 * 6].point, world(250, 256), 0.0, -1.0); // c = 250, r = 0
    expectPoint(v[26 * 6].point, -1.0, 0.0, world(10, 256));  // c = 0, r = 10
    expectPoint(v[26 * 26 * 6 - 6].point, world(250, 256), 0.0, world(250, 256));
}

TEST(MeshDraw, FarCornersReachPastTheGridAtHeightZero) {
    Heightmap map;
    fillMap(map, 257, 257, [](int, int) { return uint8_t(255); });
    const std::vector<Vertex> v = draw(map);
    const size_t last = (26 * 26 - 1) * 6;
    expectPoint(v[last + 0].point, world(250, 256), 0.25, world(250, 256));
    expectPoint(v[last + 1].point, world(250, 256), 0.0, 1.03125);
    expectPoint(v[last + 2].point, 1.03125, 0.0, world(250, 256));
    expectPoint(v[last + 3].point, 1.03125, 0.0, 1.03125);

    // The cell at c = 250, r = 0 slopes down toward +x, so its first normal leans that way;
    // the cell at c = 0, r = 250 leans toward +z the same way.
    expectVector(v[25 * 6].normal, 0.9545, 0.2983, 0.0, 1e-4);
    expectVector(v[25 * 26 * 6].normal, 0.0, 0.2983, 0.9545, 1e-4);
    // Inside the grid the all-255 terrain is level at its full height.
    expectVector(v[0].normal, 0, 1, 0);
    expectPoint(v[0].point, -1.0, 0.25, -1.0);
}

TEST(MeshDraw, ReadsOnlySamplesOnTheTenStepLattice) {
    Heightmap map;
    fillMap(map, 257, 257, [](int x, int y) { return uint8_t(x % 10 == 0 && y % 10 == 0 ? 0 : 255); });
    for (const Vertex& vertex : draw(map)) {
        ASSERT_EQ(vertex.point.y, 0.0);
    }
}

TEST(MeshDraw, LevelTerrainFacesUpEverywhere) {
    Heightmap flat;
    fillMap(flat, 257, 257, [](int, int) { return uint8_t(0); });
    for (const Vertex& vertex : draw(flat)) {
        ASSERT_EQ(vertex.normal.x, 0.0);
        ASSERT_EQ(vertex.normal.y, 1.0);
        ASSERT_EQ(vertex.normal.z, 0.0);
    }

    // At 251 x 251 the last cells end on the grid, so the full-height plateau stays level.
    Heightmap plateau;
    fillMap(plateau, 251, 251, [](int, int) { return uint8_t(255); });
    const std::vector<Vertex> v = draw(plateau);
    EXPECT_EQ(v.size(), 25u * 25u * 6u);
    for (const Vertex& vertex : v) {
        ASSERT_EQ(vertex.point.y, 0.25);
        ASSERT_EQ(vertex.normal.y, 1.0);
    }
}

TEST(MeshDraw, FiveByFiveIsOneCellReachingFour) {
    Heightmap map;
    fillMap(map, 5, 5, [](int, int) { return uint8_t(51); });
    const std::vector<Vertex> v = draw(map);
    ASSERT_EQ(v.size(), 6u);
    expectPoint(v[0].point, -1.0, 0.05, -1.0);
    expectPoint(v[1].point, -1.0, 0.0, 4.0);
    expectPoint(v[2].point, 4.0, 0.0, -1.0);
    expectPoint(v[3].point, 4.0, 0.0, 4.0);
}

TEST(MeshDraw, EmptyOrNarrowMapsIssueAnEmptyBatch) {
    Heightmap empty;
    EXPECT_TRUE(draw(empty).empty());
    EXPECT_EQ(callNames(true), (std::vector<std::string>{"glBegin", "glEnd"}));

    Heightmap column;
    fillMap(column, 1, 257, pattern);
    EXPECT_TRUE(draw(column).empty());
    Heightmap row;
    fillMap(row, 257, 1, pattern);
    EXPECT_TRUE(draw(row).empty());
}

} // namespace
