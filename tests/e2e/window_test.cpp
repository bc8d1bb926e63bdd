// The viewer in a real X window: started on a private Xvfb, driven through XTest and looked at
// through Xlib.
#include "viewer_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace {

const char* const kTitle = "A very simple Mirovale";
const size_t kTerrainBytes = 257 * 257;

std::vector<uint8_t> bundledTerrain() {
    std::vector<uint8_t> bytes = readFile(SAMPLE_RAW_PATH);
    if (bytes.size() != kTerrainBytes) {
        throw std::runtime_error("the bundled " SAMPLE_RAW_PATH " is missing or the wrong size");
    }
    return bytes;
}

// The Linux build, the one these tests were written for.
const ViewerProgram kLinuxViewer{MIROVALE_PATH, ""};

// The build under test: the Linux one, or where MIROVALE_WINDOWS_BUILD names the Windows build's
// folder, its mirovale.exe under Wine, in the Wine prefix that the build made there.
const ViewerProgram& viewerUnderTest() {
    static const ViewerProgram program = [] {
        const char* windows = std::getenv("MIROVALE_WINDOWS_BUILD");
        if (windows == nullptr) {
            return kLinuxViewer;
        }
        return ViewerProgram{std::string(windows) + "/mirovale.exe", std::string(windows) + "/wine"};
    }();
    return program;
}

// What the viewer may print: nothing. Windows sets no DISPLAY, but Wine needs the Unix one and
// hands it on to the program, where freeglut takes it for a Windows display name and warns, in
// Windows' CR LF lines.
std::string expectedPrinted() {
    const ViewerProgram& program = viewerUnderTest();
    if (!program.windows()) {
        return "";
    }
    std::string windowsPath = "Z:" + std::filesystem::absolute(program.path).lexically_normal().string();
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    return "freeglut (" + windowsPath +
           "): fgPlatformInitialize: CreateDC failed, Screen size info may be incorrect\r\n"
           "This is quite likely caused by a bad '-display' parameter\r\n";
}

// Wine's major version where the Windows build is under test ("wine-10.0 ..."), 0 otherwise.
int wineMajorVersion() {
    int major = 0;
    FILE* out = viewerUnderTest().windows() ? popen(WINE_PATH " --version", "r") : nullptr;
    if (out != nullptr) {
        if (std::fscanf(out, "wine-%d", &major) != 1) {
            major = 0;
        }
        pclose(out);
    }
    return major;
}

// How many moves a drag whose picture must come out exactly alike can take. Windows merges the
// pointer motion a program has not read yet, so there a drag in several moves is sampled at a
// number of points that depends on timing, and turns by a different amount; one move is one move.
int exactDragSteps(int steps) { return viewerUnderTest().windows() ? 1 : steps; }

// A level plate at height 0: edge-on it is a single line across the window.
std::vector<uint8_t> levelTerrain() { return std::vector<uint8_t>(kTerrainBytes, 0); }

// A viewer on the given terrain (none: no sample.raw at all), or in a folder that prepare fills.
class Session : public ViewerSession {
public:
    explicit Session(const std::optional<std::vector<uint8_t>>& terrain)
        : ViewerSession(viewerUnderTest(), [&](const TempDir& dir) {
              if (terrain) {
                  dir.write("sample.raw", *terrain);
              }
          }) {}
    using ViewerSession::ViewerSession;

    // Closing the window must end the viewer at once, with status 0, having printed nothing.
    void closeAndExpectCleanExit() {
        EXPECT_EQ(closeWindow(), 0) << "the viewer did not end cleanly when its window closed";
        EXPECT_EQ(viewer().printed(), expectedPrinted()) << "the viewer printed something";
    }
};

TEST(Image, MeasuresTheLitArea) {
    Image image;
    image.width = 4;
    image.height = 3;
    image.pixels = {0, 0, 0, 0, 0, 0xffffff, 0x808080, 0, 0, 0, 0xffffff, 0};
    const LitArea lit = litArea(image);
    EXPECT_EQ(lit.count, 3);
    EXPECT_EQ(lit.left, 1);
    EXPECT_EQ(lit.right, 2);
    EXPECT_EQ(lit.top, 1);
    EXPECT_EQ(lit.bottom, 2);
    EXPECT_DOUBLE_EQ(lit.centreX, 5.0 / 3);
    EXPECT_DOUBLE_EQ(lit.centreY, 4.0 / 3);
    EXPECT_EQ(greyPixels(image), 1);
    image.pixels.assign(12, 0);
    EXPECT_EQ(litArea(image).count, 0);
}

TEST(ViewerWindow, OpensTitledAt512SquareOnAWhiteWireframeAroundTheCentre) {
    Session session(bundledTerrain());
    EXPECT_EQ(session.title(), kTitle);
    EXPECT_EQ(session.size(), std::make_pair(512, 512));
    const Image image = session.firstPicture();
    EXPECT_EQ(image.width, 512);
    EXPECT_EQ(image.height, 512);
    EXPECT_EQ(greyPixels(image), 0) << "the picture has colours other than white lines on black";
    const LitArea lit = litArea(image);
    const double share = double(lit.count) / (image.width * image.height);
    EXPECT_GT(share, 0.02) << "too little of the window is lit for a terrain";
    EXPECT_LT(share, 0.25) << "too much of the window is lit for a wireframe";
    EXPECT_NEAR(lit.centreX, 256, 64) << "the terrain is not around the centre";
    EXPECT_NEAR(lit.centreY, 256, 80) << "the terrain is not around the centre";
    EXPECT_GT(lit.left, 0);
    EXPECT_GT(lit.top, 0);
    EXPECT_LT(lit.right, 511);
    EXPECT_LT(lit.bottom, 511);
    // The top faces the viewer, so the near edge, largest on screen, lies below the centre.
    EXPECT_GT(lit.bottom - 256, 1.5 * (256 - lit.top)) << "the terrain is seen from below";
    // Closing the window ends the viewer at once with status 0 (as every test here checks).
    session.closeAndExpectCleanExit();
}

TEST(ViewerTurn, DraggingTheTiltBackShowsALevelPlateEdgeOn) {
    // The starting tilt is the drag from the centre to (384, 384); the same drag backwards
    // undoes it, leaving the plate seen exactly from its own height: one line across the middle.
    Session session(levelTerrain());
    const Image tilted = session.firstPicture();
    session.drag(1, {{384, 384}, {256, 256}});
    const LitArea lit = litArea(session.pictureChangedFrom(tilted));
    ASSERT_GT(lit.count, 0);
    EXPECT_GE(lit.top, 253) << "the plate is not edge-on";
    EXPECT_LE(lit.bottom, 258) << "the plate is not edge-on";
    EXPECT_GT(lit.width(), 200);
    session.closeAndExpectCleanExit();
}

TEST(ViewerTurn, DraggingDownTurnsThePlateToFaceTheViewer) {
    // Dragging down pulls the plate's near edge down, turning its face toward the viewer, so
    // it grows taller on screen; dragging up tips it toward edge-on, so it grows flatter.
    Session session(levelTerrain());
    const Image start = session.firstPicture();
    const int startHeight = litArea(start).height();

    session.drag(1, line(256, 256, 256, 320, 8));
    const Image down = session.pictureChangedFrom(start);
    EXPECT_GT(litArea(down).height(), startHeight + 20)
        << "dragging down did not turn the plate toward the viewer";

    session.drag(1, line(256, 320, 256, 160, 16));
    EXPECT_LT(litArea(session.pictureChangedFrom(down)).height(), startHeight - 20)
        << "dragging up did not tip the plate away";
    session.closeAndExpectCleanExit();
}

// The x of the lowest lit point: the level plate's corner nearest the viewer.
double nearCornerX(const Image& image) {
    const int row = litArea(image).bottom;
    if (row < 0) {
        return -1.0;
    }
    const auto start = image.pixels.begin() + static_cast<ptrdiff_t>(row) * image.width;
    return litArea(Image{image.width, 1, {start, start + image.width}}).centreX;
}

TEST(ViewerTurn, NearCornerFollowsThePointerSideways) {
    Session session(levelTerrain());
    const Image start = session.firstPicture();
    const double startX = nearCornerX(start);

    session.drag(1, line(256, 256, 296, 256, 4));
    const Image right = session.pictureChangedFrom(start);
    EXPECT_GT(nearCornerX(right), startX + 20) << "dragging right did not carry the near corner right";

    session.drag(1, line(296, 256, 216, 256, 8));
    EXPECT_LT(nearCornerX(session.pictureChangedFrom(right)), startX - 20)
        << "dragging left did not carry the near corner left";
    session.closeAndExpectCleanExit();
}

TEST(ViewerTurn, TheSameDragsGiveTheSamePicture) {
    const Path path = line(200, 300, 330, 210, exactDragSteps(12));
    Image pictures[2];
    for (Image& picture : pictures) {
        Session session(bundledTerrain());
        const Image start = session.firstPicture();
        session.drag(1, path);
        picture = session.pictureChangedFrom(start);
        session.closeAndExpectCleanExit();
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << "two identical runs drew different pictures";
}

TEST(ViewerTurn, ALongDragStillShowsTheTerrain) {
    Session session(bundledTerrain());
    const Image start = session.firstPicture();
    Path path;
    for (int k = 0; k <= 400; ++k) {
        const double angle = k * 0.05;
        path.push_back(
            {256 + int(std::lround(150 * std::cos(angle))), 256 + int(std::lround(150 * std::sin(angle)))});
    }
    session.drag(1, path);
    const Image after = session.pictureChangedFrom(start);
    EXPECT_EQ(greyPixels(after), 0);
    const LitArea lit = litArea(after);
    EXPECT_GT(lit.count, 2000) << "after a long drag the terrain has all but vanished";
    EXPECT_LT(lit.count, 512 * 512 / 4);
    EXPECT_TRUE(session.viewer().running());
    session.closeAndExpectCleanExit();
}

TEST(ViewerZoom, RightDragDownShrinksTheTerrainAndBackUpRestoresIt) {
    Session session(bundledTerrain());
    const Image start = session.firstPicture();
    const LitArea before = litArea(start);

    // 128 pixels down: the camera moves a quarter unit away.
    session.drag(3, line(256, 100, 256, 228, 8));
    const Image farther = session.pictureChangedFrom(start);
    const LitArea away = litArea(farther);
    EXPECT_LT(away.width(), before.width() * 0.95) << "right-drag down did not make the terrain smaller";
    EXPECT_LT(away.height(), before.height() * 0.95) << "right-drag down did not make the terrain smaller";

    session.drag(3, line(256, 228, 256, 100, 8));
    const Image back = session.pictureChangedFrom(farther);
    EXPECT_TRUE(back == start) << "right-drag up by the same amount did not restore the picture";

    session.drag(3, line(256, 228, 256, 100, 8));
    const LitArea nearer = litArea(session.pictureChangedFrom(back));
    EXPECT_GT(nearer.width(), before.width() * 1.05) << "right-drag up did not make the terrain larger";
    session.closeAndExpectCleanExit();
}

TEST(ViewerInput, KeysAndTheMiddleButtonChangeNothing) {
    const Path turn = line(256, 256, 300, 290, exactDragSteps(6));
    Image withKeys;
    {
        Session session(bundledTerrain());
        const Image start = session.firstPicture();
        session.movePointer(256, 256);
        session.pressKeys({"a", "z", "plus", "minus", "space", "Return", "Left", "Right", "Up", "Down",
                           "Page_Up", "F1", "Escape"});
        session.drag(2, line(100, 100, 400, 400, 10));
        EXPECT_TRUE(session.picture(0.6) == start) << "keys or the middle button changed the picture";
        ASSERT_TRUE(session.viewer().running()) << "a key ended the viewer";
        // Whatever state they might have changed unseen would show in a later turn.
        session.drag(1, turn);
        withKeys = session.pictureChangedFrom(start);
        session.closeAndExpectCleanExit();
    }
    Session plain(bundledTerrain());
    const Image start = plain.firstPicture();
    plain.drag(1, turn);
    EXPECT_TRUE(plain.pictureChangedFrom(start) == withKeys) << "keys or the middle button changed the view";
    plain.closeAndExpectCleanExit();
}

TEST(ViewerWindow, ResizedTo800By400TheSceneIsStretchedToFill) {
    if (wineMajorVersion() >= 10) {
        GTEST_SKIP() << "Wine 10 takes no resize from outside the program while no window manager runs; "
                        "Wine 8 (Debian 12) and Linux still check the Windows and Linux viewers";
    }
    Session session(bundledTerrain());
    const Image square = session.firstPicture();
    const LitArea before = litArea(square);
    session.resize(800, 400);
    const Image wide = session.pictureChangedFrom(square);
    ASSERT_EQ(wide.width, 800);
    ASSERT_EQ(wide.height, 400);
    const LitArea after = litArea(wide);
    // The same frustum over a wider, lower viewport scales x by 800 / 512 and y by 400 / 512.
    EXPECT_NEAR(after.centreX, before.centreX * 800 / 512, 6);
    EXPECT_NEAR(after.centreY, before.centreY * 400 / 512, 6);
    EXPECT_NEAR(double(after.width()) / before.width(), 800.0 / 512, 0.05);
    EXPECT_NEAR(double(after.height()) / before.height(), 400.0 / 512, 0.05);
    EXPECT_EQ(greyPixels(wide), 0);
    session.closeAndExpectCleanExit();
}

// With nothing to draw the window stays black, and still takes drags, a resize and the close.
void expectABlackWindowThatStillAnswers(Session& session) {
    EXPECT_EQ(litArea(session.firstPicture()).count, 0);
    session.drag(1, line(256, 256, 350, 380, 10));
    session.drag(3, line(256, 256, 256, 100, 10));
    session.resize(300, 200);
    const Image resized = session.picture(0.5);
    EXPECT_EQ(resized.width, 300);
    EXPECT_EQ(litArea(resized).count, 0);
    EXPECT_TRUE(session.viewer().running());
    session.closeAndExpectCleanExit();
}

TEST(ViewerTerrainFile, MissingFileGivesABlackWindowThatStillAnswers) {
    Session session(std::nullopt);
    expectABlackWindowThatStillAnswers(session);
}

TEST(ViewerTerrainFile, ShortFileGivesABlackWindowThatStillAnswers) {
    std::vector<uint8_t> bytes = bundledTerrain();
    bytes.pop_back();
    Session session(bytes);
    expectABlackWindowThatStillAnswers(session);
}

TEST(ViewerTerrainFile, FifoWithNoWriterGivesABlackWindowThatStillAnswers) {
    Session session(viewerUnderTest(), [](const TempDir& dir) {
        if (mkfifo((dir.path() + "/sample.raw").c_str(), 0600) != 0) {
            throw std::runtime_error("mkfifo failed");
        }
    });
    expectABlackWindowThatStillAnswers(session);
}

TEST(ViewerTerrainFile, LongerFileDrawsLikeItsFirst66049Bytes) {
    std::vector<uint8_t> longer = bundledTerrain();
    longer.insert(longer.end(), 5000, 255);
    Image pictures[2];
    const std::vector<uint8_t> terrains[2] = {bundledTerrain(), longer};
    for (int k = 0; k < 2; ++k) {
        Session session(terrains[k]);
        pictures[k] = session.firstPicture();
        session.closeAndExpectCleanExit();
    }
    EXPECT_GT(litArea(pictures[1]).count, 0);
    EXPECT_TRUE(pictures[0] == pictures[1]) << "bytes past the grid changed the picture";
}

TEST(WindowsBuild, DrawsTheLinuxBuildsFirstFramePixelForPixel) {
    ASSERT_TRUE(viewerUnderTest().windows()) << "this test compares the Windows build with the Linux one";
    Image pictures[2];
    const ViewerProgram* programs[2] = {&kLinuxViewer, &viewerUnderTest()};
    for (int k = 0; k < 2; ++k) {
        ViewerSession session(*programs[k],
                              [](const TempDir& dir) { dir.write("sample.raw", bundledTerrain()); });
        pictures[k] = session.firstPicture();
        EXPECT_EQ(session.closeWindow(), 0);
    }
    EXPECT_GT(litArea(pictures[1]).count, 0) << "the Windows build drew nothing";
    EXPECT_TRUE(pictures[0] == pictures[1])
        << "the Windows build's first frame differs from the Linux build's";
}

} // namespace
