#include "app/window_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

std::pair<int, int> sized(double dpi, WindowSize screen = {1920, 1080}) {
    const WindowSize size = scaledWindowSize({512, 512}, dpi, screen);
    return {size.width, size.height};
}

TEST(WindowScale, ScalesByTheDesktopsDpiOver96) {
    EXPECT_EQ(sized(96), std::make_pair(512, 512));
    EXPECT_EQ(sized(144), std::make_pair(768, 768));
    EXPECT_EQ(sized(120), std::make_pair(640, 640));
    EXPECT_EQ(sized(72), std::make_pair(384, 384));
    EXPECT_EQ(scaledWindowSize({512, 300}, 144, {1920, 1080}).height, 450);
}

TEST(WindowScale, NonsenseCountsAs96) {
    for (const double dpi : {0.0, -5.0, 47.9, double(NAN), -double(INFINITY)}) {
        EXPECT_EQ(sized(dpi), std::make_pair(512, 512)) << dpi;
    }
}

TEST(WindowScale, NeverLargerThanTheScreenNorSmallerThanUnscaled) {
    EXPECT_EQ(sized(100000), std::make_pair(1080, 1080));
    EXPECT_EQ(sized(INFINITY), std::make_pair(1080, 1080));
    EXPECT_EQ(sized(192, {800, 600}), std::make_pair(600, 600));
    // A screen turned on its side is narrower than it is high.
    EXPECT_EQ(sized(240, {1080, 1920}), std::make_pair(1080, 1080));
    // A screen smaller than the window keeps the window it always had.
    EXPECT_EQ(sized(144, {400, 300}), std::make_pair(512, 512));
}

TEST(WindowScale, ReadsADpiWrittenAsText) {
    EXPECT_EQ(parseDpi("144"), 144.0);
    EXPECT_EQ(parseDpi(" 96.5\t"), 96.5);
    for (const char* nonsense : {"abc", "", "144abc", "1e400", "nan", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(parseDpi(nonsense), 0.0) << (nonsense ? nonsense : "null");
    }
    EXPECT_EQ(parseDpi("-5"), -5.0); // which the scale then refuses
}

} // namespace
