#include "app/viewer.h"

#include "temp_dir.h"
#include "viewer_fixture.h"

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using Names = std::vector<std::string>;
using Args = std::vector<double>;

// Counts its own deletions, to see the exit handler release the object it owns.
int g_heightmapsDeleted = 0;
class CountedHeightmap : public Heightmap {
public:
    ~CountedHeightmap() override { ++g_heightmapsDeleted; }
};

int g_trackballsDeleted = 0;
class CountedTrackball : public Trackball {
public:
    ~CountedTrackball() override { ++g_trackballsDeleted; }
};

// The frame's own calls, with the view already in place.
class Viewer : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        g_viewChanged = false;
    }
};

TEST_F(Viewer, WindowIs512SquareAtTheOriginDoubleBufferedWithDepth) {
    initWindow();
    EXPECT_EQ(callNames(), (Names{"glutInitWindowSize", "glutInitWindowPosition", "glutInitDisplayMode",
                                  "glutCreateWindow"}));
    EXPECT_EQ(glLog()[0].args, (Args{512, 512}));
    EXPECT_EQ(glLog()[1].args, (Args{0, 0}));
    EXPECT_EQ(glLog()[2].args, (Args{18}));
    EXPECT_EQ(glLog()[3].text, "A very simple Mirovale");
}

TEST_F(Viewer, RenderStateIsWireframeWithDepthTestAndNoCulling) {
    initRenderState();
    EXPECT_EQ(callNames(),
              (Names{"glLightModeli", "glPolygonMode", "glShadeModel", "glEnable", "glDisable"}));
    EXPECT_EQ(glLog()[0].args, (Args{GL_LIGHT_MODEL_TWO_SIDE, 1}));
    EXPECT_EQ(glLog()[1].args, (Args{GL_FRONT_AND_BACK, GL_LINE}));
    EXPECT_EQ(glLog()[2].args, (Args{GL_SMOOTH}));
    EXPECT_EQ(glLog()[3].args, (Args{GL_DEPTH_TEST}));
    EXPECT_EQ(glLog()[4].args, (Args{GL_CULL_FACE}));
}

TEST_F(Viewer, ReshapeRecordsTheSizeAndSetsTheSameFrustumForEveryShape) {
    onReshape(800, 400);
    EXPECT_EQ(g_windowWidth, 800);
    EXPECT_EQ(g_windowHeight, 400);
    EXPECT_EQ(callNames(), (Names{"glViewport", "glMatrixMode", "glLoadIdentity", "glFrustum"}));
    EXPECT_EQ(glLog()[0].args, (Args{0, 0, 800, 400}));
    EXPECT_EQ(glLog()[1].args, (Args{GL_PROJECTION}));
    EXPECT_EQ(glLog()[3].args, (Args{-0.1, 0.1, -0.1, 0.1, 0.1, 50.0}));
}

TEST_F(Viewer, FrameClearsSetsMaterialDrawsAndSwapsInsideOnePushPop) {
    uint8_t* samples = new uint8_t[11 * 11]();
    g_heightmap->data = samples;
    g_heightmap->width = 11;
    g_heightmap->height = 11;
    onDisplay();

    EXPECT_EQ(callNames(), (Names{"glMatrixMode", "glPushMatrix", "glClear", "glMaterialfv", "glMaterialfv",
                                  "glMaterialfv", "glMaterialf", "glBegin", "glEnd", "glutSwapBuffers",
                                  "glMatrixMode", "glPopMatrix"}));
    const std::vector<GlCall>& log = glLog();
    EXPECT_EQ(log[0].args, (Args{GL_MODELVIEW}));
    EXPECT_EQ(log[2].args, (Args{GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}));
    EXPECT_EQ(log[3].args, (Args{GL_FRONT_AND_BACK, GL_AMBIENT, 0.0, 0.8f, 0.2f, 1.0}));
    EXPECT_EQ(log[4].args, (Args{GL_FRONT_AND_BACK, GL_DIFFUSE, 0.0, 0.8f, 0.2f, 1.0}));
    EXPECT_EQ(log[5].args, (Args{GL_FRONT_AND_BACK, GL_SPECULAR, 1.0, 1.0, 1.0, 1.0}));
    EXPECT_EQ(log[6].args, (Args{GL_FRONT_AND_BACK, GL_SHININESS, 25.0}));
    EXPECT_EQ(callsNamed("glVertex3d").size(), 6u);
    EXPECT_EQ(log[log.size() - 2].args, (Args{GL_MODELVIEW}));
}

TEST_F(Viewer, FrameOfAnEmptyHeightmapStillClearsAndSwaps) {
    onDisplay();
    EXPECT_EQ(callsNamed("glClear").size(), 1u);
    EXPECT_EQ(callsNamed("glutSwapBuffers").size(), 1u);
    EXPECT_TRUE(callsNamed("glVertex3d").empty());
}

TEST_F(Viewer, LoadTerrainReadsSampleRawFromTheWorkingDirectory) {
    TempDir dir;
    const std::vector<uint8_t> bytes = patternBytes(257 * 257 + 10);
    dir.write("sample.raw", bytes);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);

    delete g_heightmap;
    loadTerrain();
    ASSERT_NE(g_heightmap, nullptr);
    EXPECT_EQ(g_heightmap->width, 257);
    EXPECT_EQ(g_heightmap->height, 257);
    EXPECT_EQ(g_heightmap->at(256, 256), bytes[257 * 257 - 1]);

    // Without the file the heightmap is there, and empty.
    ASSERT_EQ(unlink("sample.raw"), 0);
    delete g_heightmap;
    loadTerrain();
    ASSERT_NE(g_heightmap, nullptr);
    EXPECT_EQ(g_heightmap->data, nullptr);
    EXPECT_EQ(g_heightmap->width, 0);

    ASSERT_EQ(chdir(previous), 0);
    free(previous);
}

TEST_F(Viewer, ExitHandlerDeletesBothObjectsThroughTheirVirtualDestructors) {
    delete g_heightmap;
    delete g_trackball;
    g_heightmap = new CountedHeightmap;
    g_trackball = new CountedTrackball;
    g_heightmapsDeleted = 0;
    g_trackballsDeleted = 0;
    releaseResources();
    EXPECT_EQ(g_heightmapsDeleted, 1);
    EXPECT_EQ(g_trackballsDeleted, 1);

    // With nothing made, nothing is released.
    g_heightmap = nullptr;
    g_trackball = nullptr;
    releaseResources();
    EXPECT_EQ(g_heightmapsDeleted, 1);
    EXPECT_EQ(g_trackballsDeleted, 1);
}

} // namespace
