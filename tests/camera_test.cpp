#include "app/camera.h"

#include "viewer_fixture.h"

#include <GL/glut.h>

#include <array>

namespace {

using Quat = std::array<float, 4>;
using Names = std::vector<std::string>;

Quat rotationOf(const Trackball& ball) {
    Quat q;
    ball.getRotation(q.data());
    return q;
}

// Where the view stands: what a test compares before and after an event.
struct ViewState {
    double distance;
    bool viewChanged, rotating, zooming;
    int lastX, lastY;
    Quat rotation;
    bool operator==(const ViewState& o) const {
        return distance == o.distance && viewChanged == o.viewChanged && rotating == o.rotating &&
               zooming == o.zooming && lastX == o.lastX && lastY == o.lastY && rotation == o.rotation;
    }
};

ViewState viewState() {
    return {g_distance, g_viewChanged, g_rotating, g_zooming, g_lastX, g_lastY, rotationOf(*g_trackball)};
}

// A second trackball in the same place as the viewer's, to say what a drag should do.
Trackball twin() {
    Trackball ball(g_trackball->width, g_trackball->height, g_trackball->left, g_trackball->top);
    ball.setRotation(g_trackball->rotation);
    return ball;
}

using CameraStart = ViewerTest;
using CameraInput = ViewerTest;

TEST_F(CameraStart, TrackballCoversTheWindowTiltedBy59Degrees) {
    EXPECT_EQ(g_trackball->width, 512);
    EXPECT_EQ(g_trackball->height, 512);
    EXPECT_EQ(g_trackball->left, 0);
    EXPECT_EQ(g_trackball->top, 0);
    const Quat q = rotationOf(*g_trackball);
    Quat expected;
    dragRotation(expected.data(), 0.0f, 0.0f, 0.5f, -0.5f, 0.8f);
    EXPECT_EQ(q, expected);
    EXPECT_NEAR(q[0], -0.3482, 1e-4);
    EXPECT_NEAR(q[1], -0.3482, 1e-4);
    EXPECT_EQ(q[2], 0.0f);
    EXPECT_NEAR(q[3], 0.8704, 1e-4);
}

TEST_F(CameraStart, InitialDragScalesWithTheWindowSize) {
    delete g_trackball;
    g_windowWidth = 1024;
    g_windowHeight = 768;
    alignRenormalisation();
    createTrackball(); // (512, 384) to (768, 576): the same ball points as at 512 x 512
    EXPECT_EQ(g_trackball->width, 1024);
    EXPECT_EQ(g_trackball->height, 768);
    Quat expected;
    dragRotation(expected.data(), 0.0f, 0.0f, 0.5f, -0.5f, 0.8f);
    EXPECT_EQ(rotationOf(*g_trackball), expected);
}

TEST_F(CameraStart, InputCallbacksFollowTheFrameCallbacksInOrder) {
    registerCallbacks();
    EXPECT_EQ(callNames(), (Names{"glutReshapeFunc", "glutDisplayFunc", "glutMouseFunc", "glutMotionFunc",
                                  "glutKeyboardFunc", "glutSpecialFunc"}));
    EXPECT_EQ(glutCallbacks().mouse, &onMouse);
    EXPECT_EQ(glutCallbacks().motion, &onMotion);
    EXPECT_EQ(glutCallbacks().keyboard, &onKeyboard);
    EXPECT_EQ(glutCallbacks().special, &onSpecial);
}

TEST_F(CameraStart, FirstFrameBuildsTheViewThenLaterFramesKeepIt) {
    onDisplay();
    const std::vector<GlCall>& log = glLog();
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log[0].name, "glMatrixMode");
    EXPECT_EQ(log[0].args, std::vector<double>{GL_MODELVIEW});
    EXPECT_EQ(log[1].name, "glLoadIdentity");
    EXPECT_EQ(log[2].name, "glTranslated");
    EXPECT_EQ(log[2].args, (std::vector<double>{0.0, 0.0, -2.5}));
    EXPECT_EQ(log[3].name, "glMultMatrixf");
    float m[16];
    quatToMatrix(m, g_trackball->rotation);
    EXPECT_EQ(log[3].args, std::vector<double>(m, m + 16));
    // The terrain's up direction is shown leaning toward the viewer.
    EXPECT_NEAR(m[4], 0.2425, 1e-4);
    EXPECT_NEAR(m[5], 0.7575, 1e-4);
    EXPECT_NEAR(m[6], 0.6061, 1e-4);
    EXPECT_EQ(log[4].name, "glMatrixMode");
    EXPECT_EQ(log[5].name, "glPushMatrix");
    EXPECT_FALSE(g_viewChanged);

    resetGlLog();
    onDisplay();
    EXPECT_TRUE(callsNamed("glLoadIdentity").empty());
    EXPECT_TRUE(callsNamed("glMultMatrixf").empty());
}

TEST_F(CameraInput, ButtonsFollowTheStateTable) {
    struct Step {
        int button, state, x, y;
        bool rotating, zooming;
        int lastX, lastY;
    };
    const Step steps[] = {
        {GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 20, true, false, 10, 20},  // idle -> rotating
        {GLUT_RIGHT_BUTTON, GLUT_DOWN, 30, 40, true, true, 30, 40},  // both, re-anchored
        {GLUT_LEFT_BUTTON, GLUT_UP, 50, 60, false, true, 30, 40},    // zooming goes on
        {GLUT_LEFT_BUTTON, GLUT_DOWN, 70, 80, true, true, 70, 80},   // both again
        {GLUT_RIGHT_BUTTON, GLUT_UP, 90, 99, true, false, 70, 80},   // rotating goes on
        {GLUT_LEFT_BUTTON, GLUT_UP, 1, 2, false, false, 70, 80},     // idle
        {GLUT_RIGHT_BUTTON, GLUT_DOWN, 5, 6, false, true, 5, 6},     // idle -> zooming
        {GLUT_RIGHT_BUTTON, GLUT_UP, 7, 8, false, false, 5, 6},      // idle
        {GLUT_MIDDLE_BUTTON, GLUT_DOWN, 11, 12, false, false, 5, 6}, // ignored
        {GLUT_LEFT_BUTTON, GLUT_UP, 13, 14, false, false, 5, 6},     // release while idle
    };
    g_viewChanged = false;
    for (const Step& step : steps) {
        onMouse(step.button, step.state, step.x, step.y);
        SCOPED_TRACE(testing::Message() << "button " << step.button << " state " << step.state);
        EXPECT_EQ(g_rotating, step.rotating);
        EXPECT_EQ(g_zooming, step.zooming);
        EXPECT_EQ(g_lastX, step.lastX);
        EXPECT_EQ(g_lastY, step.lastY);
    }
    // Buttons alone never redraw.
    EXPECT_FALSE(g_viewChanged);
    EXPECT_TRUE(glLog().empty());
}

TEST_F(CameraInput, LeftDragTurnsTheTrackballFromTheLastPosition) {
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 256, 256);
    g_viewChanged = false;
    Trackball expected = twin();
    expected.drag(256, 256, 300, 280);
    expected.drag(300, 280, 310, 200);

    onMotion(300, 280);
    onMotion(310, 200);
    EXPECT_EQ(rotationOf(*g_trackball), rotationOf(expected));
    EXPECT_EQ(g_lastX, 310);
    EXPECT_EQ(g_lastY, 200);
    EXPECT_EQ(g_distance, 2.5);
    EXPECT_TRUE(g_viewChanged);
    EXPECT_EQ(callNames(), (Names{"glutPostRedisplay", "glutPostRedisplay"}));
}

TEST_F(CameraInput, MotionInPlaceStillRedraws) {
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
    g_viewChanged = false;
    const Quat before = rotationOf(*g_trackball);
    onMotion(100, 100);
    EXPECT_EQ(rotationOf(*g_trackball), before);
    EXPECT_TRUE(g_viewChanged);
    EXPECT_EQ(callNames(), Names{"glutPostRedisplay"});
}

TEST_F(CameraInput, RotationWinsWhileBothButtonsAreHeld) {
    onMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0);
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 256, 256);
    Trackball expected = twin();
    expected.drag(256, 256, 256, 400);
    onMotion(256, 400);
    EXPECT_EQ(g_distance, 2.5);
    EXPECT_EQ(rotationOf(*g_trackball), rotationOf(expected));

    // Letting go of the left button hands the same drag over to zooming, from here.
    onMouse(GLUT_LEFT_BUTTON, GLUT_UP, 256, 400);
    onMotion(256, 528);
    EXPECT_EQ(g_distance, 2.75);
    EXPECT_EQ(rotationOf(*g_trackball), rotationOf(expected));
}

TEST_F(CameraInput, RightDragMovesByWindowHeightsWithNoLimit) {
    const Quat rotation = rotationOf(*g_trackball);
    onMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 40, 100);
    onMotion(41, 356); // half a window down: half a unit farther
    EXPECT_EQ(g_distance, 3.0);
    onMotion(41, -1180); // three window heights up
    EXPECT_EQ(g_distance, 0.0);
    onMotion(41, -1436); // past the terrain's centre: nothing clamps it
    EXPECT_EQ(g_distance, -0.5);
    EXPECT_EQ(g_lastX, 41);
    EXPECT_EQ(g_lastY, -1436);
    EXPECT_EQ(rotationOf(*g_trackball), rotation);
    EXPECT_EQ(callsNamed("glutPostRedisplay").size(), 3u);

    // The step divides in floating point, by the current height.
    onReshape(640, 400);
    onMotion(41, -1435);
    EXPECT_DOUBLE_EQ(g_distance, -0.5 + 1.0 / 400);
}

TEST_F(CameraInput, RightDragInAWindowWithNoHeightKeepsTheDistance) {
    onReshape(640, 0);
    onMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0);
    g_viewChanged = false;
    resetGlLog();
    onMotion(0, 50);
    EXPECT_EQ(g_distance, 2.5);
    EXPECT_EQ(g_lastY, 50);
    EXPECT_TRUE(g_viewChanged);
    EXPECT_EQ(callNames(), Names{"glutPostRedisplay"});
}

TEST_F(CameraInput, KeysMiddleButtonAndButtonlessMotionChangeNothing) {
    g_viewChanged = false;
    const ViewState before = viewState();
    onKeyboard('a', 10, 10);
    onKeyboard(27, 10, 10); // Escape
    onKeyboard('+', 10, 10);
    onSpecial(GLUT_KEY_UP, 10, 10);
    onSpecial(GLUT_KEY_LEFT, 10, 10);
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 200, 200);
    onMotion(300, 300);
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 300, 300);
    onMotion(100, 400);
    EXPECT_TRUE(viewState() == before);
    EXPECT_TRUE(glLog().empty());
}

TEST_F(CameraInput, ReshapeKeepsTheRotationAndRecentresLaterDrags) {
    const Quat before = rotationOf(*g_trackball);
    g_viewChanged = false;
    onReshape(1024, 768);
    EXPECT_EQ(g_trackball->width, 1024);
    EXPECT_EQ(g_trackball->height, 768);
    EXPECT_EQ(g_trackball->left, 0);
    EXPECT_EQ(g_trackball->top, 0);
    EXPECT_EQ(rotationOf(*g_trackball), before);
    EXPECT_FALSE(g_viewChanged);
    EXPECT_TRUE(callsNamed("glutPostRedisplay").empty());

    // Centre (512, 384), half-extents 512 and 384: this drag is (0, 0) to (0.5, 0.5).
    Trackball expected(512, 512, 0, 0);
    expected.setRotation(before.data());
    expected.drag(256, 256, 384, 128);
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 512, 384);
    onMotion(768, 192);
    EXPECT_EQ(rotationOf(*g_trackball), rotationOf(expected));
}

} // namespace
