#pragma once

#include "app/camera.h"
#include "app/viewer.h"
#include "gl_fake.h"
#include "quat_helpers.h"
#include "terrain/heightmap.h"
#include "trackball/trackball.h"

#include <gtest/gtest.h>

// Puts the viewer's globals in their start-up state, with an empty heightmap and the
// tilted trackball, on an empty log; and deletes and resets everything afterwards.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_windowWidth = 512;
        g_windowHeight = 512;
        g_distance = 2.5;
        g_viewChanged = true;
        g_rotating = false;
        g_zooming = false;
        g_lastX = 0;
        g_lastY = 0;
        g_heightmap = new Heightmap;
        // Keep the counter clear of a renormalisation for this case's compositions.
        alignRenormalisation();
        createTrackball();
        resetGlLog();
    }
    void TearDown() override {
        delete g_heightmap;
        delete g_trackball;
        g_heightmap = nullptr;
        g_trackball = nullptr;
    }
};
