// Runs the program's main against the recording fake. The link wraps atexit, so the
// exit handler is recorded in its place among the GL and GLUT calls rather than run.
#include "app/camera.h"
#include "app/viewer.h"
#include "gl_fake.h"
#include "trackball/trackball.h"

#include <gtest/gtest.h>

#include <cstdlib>

#define main mirovaleMain
#include "app/main.cpp"
#undef main

namespace {

void (*g_exitHandler)() = nullptr;

} // namespace

extern "C" int __wrap_atexit(void (*handler)()) {
    g_exitHandler = handler;
    glLog().push_back(GlCall{"atexit", {}, ""});
    return 0;
}

namespace {

TEST(Startup, RunsEveryStepInOrderAndHandsOverToTheMainLoop) {
    resetGlLog();
    char program[] = "mirovale";
    char option[] = "-geometry";
    char* argv[] = {program, option, nullptr};
    EXPECT_EQ(mirovaleMain(2, argv), 0);

    const std::vector<std::string> expected = {"atexit",
                                               "glutInit",
                                               "glutInitWindowSize",
                                               "glutInitWindowPosition",
                                               "glutInitDisplayMode",
                                               "glutCreateWindow",
                                               "glutReshapeFunc",
                                               "glutDisplayFunc",
                                               "glutMouseFunc",
                                               "glutMotionFunc",
                                               "glutKeyboardFunc",
                                               "glutSpecialFunc",
                                               "glLightModeli",
                                               "glPolygonMode",
                                               "glShadeModel",
                                               "glEnable",
                                               "glDisable",
                                               "glutMainLoop"};
    EXPECT_EQ(callNames(), expected);
    EXPECT_EQ(glLog()[1].args, std::vector<double>{2});
    EXPECT_EQ(glLog()[1].text, "mirovale");
    EXPECT_EQ(g_exitHandler, &releaseResources);
    EXPECT_EQ(glutCallbacks().reshape, &onReshape);
    EXPECT_EQ(glutCallbacks().display, &onDisplay);
    EXPECT_EQ(glutCallbacks().mouse, &onMouse);
    ASSERT_NE(g_heightmap, nullptr);
    ASSERT_NE(g_trackball, nullptr);
    EXPECT_NEAR(g_trackball->rotation[3], 0.8704, 1e-4);

    // The exit handler releases what start-up made.
    g_exitHandler();
    g_heightmap = nullptr;
    g_trackball = nullptr;
}

} // namespace
