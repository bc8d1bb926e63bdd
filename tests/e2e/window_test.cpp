// The viewer in a real window, in every lane this build has: started on an X server, driven through
// XTest (or DevTools, for fingers) and looked at through Xlib.
#include "page_lane.h"
#include "session.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <regex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <tuple>
#include <unistd.h>

namespace {

const size_t kTerrainBytes = 257 * 257;

std::vector<uint8_t> bundledTerrain() {
    std::vector<uint8_t> bytes = readFile(SAMPLE_RAW_PATH);
    if (bytes.size() != kTerrainBytes) {
        throw std::runtime_error("the bundled " SAMPLE_RAW_PATH " is missing or the wrong size");
    }
    return bytes;
}

// A level plate at height 0: edge-on it is a single line across the window.
std::vector<uint8_t> levelTerrain() { return std::vector<uint8_t>(kTerrainBytes, 0); }

// A viewer of a lane on the given terrain (none: no sample.raw at all).
Session shown(const Lane& lane, const std::optional<std::vector<uint8_t>>& terrain, int pixelRatio = 1,
              const std::string& dpi = "") {
    const auto prepare = [&](const TempDir& dir) {
        if (terrain) {
            dir.write("sample.raw", *terrain);
        }
    };
    return Session(lane, prepare, pixelRatio, dpi);
}

// Closing the window must end the viewer at once, with status 0 (unknown where Wine cut its end
// short), having printed nothing; a page must unload, asking nothing. Where it does not, all that
// it printed tells why.
void closeAndExpectCleanExit(Session& session) {
    const int status = session.closeWindow();
    EXPECT_EQ(status, 0) << "the viewer did not end cleanly when its window closed: "
                         << (status >= 0                ? "it ended with that status"
                             : session.lane().can(Page) ? "its page had not unloaded by the deadline"
                                                        : "it had not ended by the deadline")
                         << "; it printed:\n"
                         << session.viewer().ViewerProcess::printed();
    EXPECT_EQ(session.viewer().printed(), session.lane().silence()) << "the viewer printed something";
}

// Loads a page again through DevTools (as the tests' server, down or not, may not hear of it), or
// opens it at url, and gives the value of expression a frame after its program has run, or had 20
// seconds to.
nlohmann::json loadedAgain(DevTools& devtools, const std::string& expression, const std::string& url = "") {
    devtools.call("Page.enable");
    if (url.empty()) {
        devtools.call("Page.reload");
    } else {
        devtools.call("Page.navigate", {{"url", url}});
    }
    devtools.waitFor("Page.loadEventFired");
    return devtools.evaluate(
        "new Promise(function(done) { var end = performance.now() + 20000;"
        "  (function look() { if (window.Module && Module.calledRun || performance.now() > end)"
        "    requestAnimationFrame(function() { done(" +
        expression + "); });  else requestAnimationFrame(look); })(); })");
}

// The address of the page's folder, where it is served.
std::string pageFolder(DevTools& devtools) {
    return devtools.evaluate("location.origin").get<std::string>() + kPageFolder;
}

// The names of the caches the page's service worker keeps, once it has taken the page over.
std::string keptCaches(DevTools& devtools) {
    return devtools.evaluate("navigator.serviceWorker.ready.then(function() { return caches.keys(); })"
                             ".then(function(names) { return names.join(); })");
}

// One suite over the lanes: each case runs in every lane that has what it needs, and is skipped,
// saying so, in the others.
class Window : public testing::TestWithParam<const Lane*> {
protected:
    const Lane& lane() const { return *GetParam(); }
    // How many moves a drag whose picture must come out exactly alike can take. Windows merges
    // the pointer motion a program has not read yet, and browsers the moves of one animation
    // frame, so there a drag of several moves turns by an amount that depends on timing.
    int exactSteps(int steps) const { return lane().can(ExactLongDrags) ? steps : 1; }
};

#define NEEDS(abilities)                                                                                     \
    if (!lane().can(abilities))                                                                              \
    GTEST_SKIP() << lane().name() << " lacks " #abilities

// A build for the Wine lane alone has none of its lanes on Linux.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Window);
INSTANTIATE_TEST_SUITE_P(Lanes, Window, testing::ValuesIn(lanes()),
                         [](const testing::TestParamInfo<const Lane*>& info) { return info.param->name(); });

// A lane's first start on a machine reads its program and libraries from a cold disk, and makes
// what it keeps: Wine's services on their server, a browser's caches. ctest runs this before every
// timed case (tests/e2e/CMakeLists.txt), with a deadline of its own, and it says when it was slow.
TEST_P(Window, StartsOnceBeforeTheTimedCases) {
    const auto start = std::chrono::steady_clock::now();
    Session session(
        lane(), [](const TempDir& dir) { dir.write("sample.raw", bundledTerrain()); }, 1, "",
        kFirstStartSeconds);
    EXPECT_GT(litArea(session.firstPicture()).count, 0) << "the first start drew nothing";
    closeAndExpectCleanExit(session);
    if (const double took = secondsSince(start); took > kSlowFirstStartSeconds) {
        std::cout << "[   NOTE   ] " << lane().name() << "'s first start took " << took << " s\n";
    }
}

TEST(Process, IsIdleAsleepWithNothingLeftToReadOnly) {
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    Process sleeper({"/bin/sleep", "600"}, [&] { dup2(input[0], STDIN_FILENO); });
    close(input[0]);
    const auto start = std::chrono::steady_clock::now();
    while (!sleeper.idle() && secondsSince(start) < kDeadlineSeconds) {
        poll(nullptr, 0, 10); // no event tells that another process has fallen asleep
    }
    EXPECT_TRUE(sleeper.idle()) << "a process asleep with nothing to read is not idle";
    // Where another process's pipes can be looked into (not under qemu-user), a byte left unread
    // on its input keeps it busy, asleep or not.
    ASSERT_EQ(write(input[1], "x", 1), 1);
    if (syscall(SYS_pidfd_getfd, -1, 0, 0) == -1 && errno != ENOSYS) {
        EXPECT_FALSE(sleeper.idle()) << "a process with its input unread is idle";
    }
    close(input[1]);
    Process spinner({"/bin/sh", "-c", "while :; do :; done"}, [] {});
    EXPECT_FALSE(spinner.idle()) << "a process that never sleeps is idle";
}

TEST(Image, MeasuresTheLitArea) {
    Image image{4, 3, {0, 0, 0, 0, 0, 0xffffff, 0x808080, 0, 0, 0, 0xffffff, 0}};
    const LitArea lit = litArea(image);
    EXPECT_EQ(lit.count, 3);
    EXPECT_EQ(std::tie(lit.left, lit.right, lit.top, lit.bottom), std::make_tuple(1, 2, 1, 2));
    EXPECT_DOUBLE_EQ(lit.centreX, 5.0 / 3);
    EXPECT_DOUBLE_EQ(lit.centreY, 4.0 / 3);
    EXPECT_EQ(greyPixels(image), 1);
    Image moved = image;
    std::swap(moved.pixels[5], moved.pixels[4]);
    EXPECT_EQ(differingPixels(image, moved), 2);
    EXPECT_EQ(differingPixels(image, image), 0);
    EXPECT_EQ(differingPixels(image, Image{3, 4, image.pixels}), -1);
    image.pixels.assign(12, 0);
    EXPECT_EQ(litArea(image).count, 0);
}

TEST_P(Window, OpensTitledAt512SquareOnAWhiteWireframeAroundTheCentre) {
    NEEDS(Platform);
    Session session = shown(lane(), bundledTerrain());
    EXPECT_EQ(session.size(), std::make_pair(512, 512));
    const Image image = session.firstPicture();
    // A page has its title once it has loaded.
    EXPECT_EQ(session.title(), lane().title());
    EXPECT_EQ(std::make_pair(image.width, image.height), std::make_pair(512, 512));
    EXPECT_EQ(greyPixels(image), 0) << "the picture has colours other than white lines on black";
    const LitArea lit = litArea(image);
    const double share = double(lit.count) / (image.width * image.height);
    EXPECT_GT(share, 0.02) << "too little of the window is lit for a terrain";
    EXPECT_LT(share, 0.25) << "too much of the window is lit for a wireframe";
    EXPECT_NEAR(lit.centreX, 256, 64) << "the terrain is not around the centre";
    EXPECT_NEAR(lit.centreY, 256, 80) << "the terrain is not around the centre";
    EXPECT_TRUE(lit.left > 0 && lit.top > 0 && lit.right < 511 && lit.bottom < 511) << "the terrain is cut";
    // The top faces the viewer, so the near edge, largest on screen, lies below the centre.
    EXPECT_GT(lit.bottom - 256, 1.5 * (256 - lit.top)) << "the terrain is seen from below";
    // A Windows program's window shows the project's icon, at the size Wine hands the desktop, not
    // the stand-in Wine gives a program that has none.
    if (lane().can(WindowIcon)) {
        const Image icon = session.icon(32);
        EXPECT_GT(litArea(icon).count, 0) << "the window has no 32 x 32 icon of its own";
        EXPECT_TRUE(icon == decodePng(readFile(MIROVALE_WINDOWS_BUILD "/icon/32.png")))
            << "the window's icon is not the project's";
    }
    // Closing the window ends the viewer at once with status 0 (as every case here checks).
    closeAndExpectCleanExit(session);
}

TEST_P(Window, DraggingTheTiltBackShowsALevelPlateEdgeOn) {
    // The starting tilt is the drag from the centre to (384, 384); the same drag backwards undoes
    // it, leaving the plate seen exactly from its own height: one line across the middle.
    Session session = shown(lane(), levelTerrain());
    const Image tilted = session.firstPicture();
    session.drag(1, {{384, 384}, {256, 256}});
    const LitArea lit = litArea(session.pictureChangedFrom(tilted));
    ASSERT_GT(lit.count, 0);
    EXPECT_GE(lit.top, 253) << "the plate is not edge-on";
    EXPECT_LE(lit.bottom, 258) << "the plate is not edge-on";
    EXPECT_GT(lit.width(), 200);
    closeAndExpectCleanExit(session);
}

TEST_P(Window, DraggingDownTurnsThePlateToFaceTheViewer) {
    // Dragging down pulls the plate's near edge down, turning its face toward the viewer, so it
    // grows taller on screen; dragging up tips it toward edge-on, so it grows flatter.
    Session session = shown(lane(), levelTerrain());
    const Image start = session.firstPicture();
    const int startHeight = litArea(start).height();
    session.drag(1, line(256, 256, 256, 320, 8));
    const Image down = session.pictureChangedFrom(start);
    EXPECT_GT(litArea(down).height(), startHeight + 20)
        << "dragging down did not turn the plate toward the viewer";
    session.drag(1, line(256, 320, 256, 160, 16));
    EXPECT_LT(litArea(session.pictureChangedFrom(down)).height(), startHeight - 20)
        << "dragging up did not tip the plate away";
    closeAndExpectCleanExit(session);
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

TEST_P(Window, NearCornerFollowsThePointerSideways) {
    Session session = shown(lane(), levelTerrain());
    const Image start = session.firstPicture();
    const double startX = nearCornerX(start);
    session.drag(1, line(256, 256, 296, 256, 4));
    const Image right = session.pictureChangedFrom(start);
    EXPECT_GT(nearCornerX(right), startX + 20) << "dragging right did not carry the near corner right";
    session.drag(1, line(296, 256, 216, 256, 8));
    EXPECT_LT(nearCornerX(session.pictureChangedFrom(right)), startX - 20)
        << "dragging left did not carry the near corner left";
    closeAndExpectCleanExit(session);
}

TEST_P(Window, TheSameDragsGiveTheSamePicture) {
    NEEDS(Mouse);
    const Path path = line(200, 300, 330, 210, exactSteps(12));
    Image pictures[2];
    for (Image& picture : pictures) {
        Session session = shown(lane(), bundledTerrain());
        const Image start = session.firstPicture();
        session.drag(1, path);
        picture = session.pictureChangedFrom(start);
        closeAndExpectCleanExit(session);
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << "two identical runs drew different pictures";
}

TEST_P(Window, ALongDragStillShowsTheTerrain) {
    NEEDS(Mouse);
    Session session = shown(lane(), bundledTerrain());
    const Image start = session.firstPicture();
    Path path;
    for (int k = 0; k <= 400; ++k) {
        path.push_back({256 + int(std::lround(150 * std::cos(k * 0.05))),
                        256 + int(std::lround(150 * std::sin(k * 0.05)))});
    }
    session.drag(1, path);
    const Image after = session.pictureChangedFrom(start);
    EXPECT_EQ(greyPixels(after), 0);
    const LitArea lit = litArea(after);
    EXPECT_GT(lit.count, 2000) << "after a long drag the terrain has all but vanished";
    EXPECT_LT(lit.count, 512 * 512 / 4);
    EXPECT_TRUE(session.viewer().running());
    closeAndExpectCleanExit(session);
}

TEST_P(Window, ADragReleasedOutsideTheWindowEnds) {
    NEEDS(Mouse);
    Session session = shown(lane(), bundledTerrain());
    const Image start = session.firstPicture();
    session.drag(1, {{256, 256}, {400, 300}, {700, 350}});
    const Image released = session.pictureChangedFrom(start);
    // Back over the window with no button held, the pointer turns nothing.
    session.movePointer(700, 350);
    session.movePointer(300, 200);
    session.movePointer(100, 400);
    EXPECT_TRUE(session.picture() == released) << "the drag went on after its release outside the window";
    closeAndExpectCleanExit(session);
}

TEST_P(Window, RightDragDownShrinksTheTerrainAndBackUpRestoresIt) {
    Session session = shown(lane(), bundledTerrain());
    const Image start = session.firstPicture();
    const LitArea before = litArea(start);
    // 128 pixels down: the camera moves a quarter unit away.
    session.drag(3, line(256, 100, 256, 228, 8));
    const Image farther = session.pictureChangedFrom(start);
    EXPECT_EQ(session.windowsShown(), 1) << "the right button opened a menu";
    const LitArea away = litArea(farther);
    EXPECT_LT(away.width(), before.width() * 0.95) << "right-drag down did not make the terrain smaller";
    EXPECT_LT(away.height(), before.height() * 0.95) << "right-drag down did not make the terrain smaller";
    session.drag(3, line(256, 228, 256, 100, 8));
    const Image back = session.pictureChangedFrom(farther);
    EXPECT_TRUE(back == start) << "right-drag up by the same amount did not restore the picture";
    session.drag(3, line(256, 228, 256, 100, 8));
    EXPECT_GT(litArea(session.pictureChangedFrom(back)).width(), before.width() * 1.05)
        << "right-drag up did not make the terrain larger";
    closeAndExpectCleanExit(session);
}

TEST_P(Window, KeysTheMiddleButtonAndTheWheelChangeNothing) {
    NEEDS(Mouse);
    const Path turn = line(256, 256, 300, 290, exactSteps(6));
    Image withKeys;
    {
        Session session = shown(lane(), bundledTerrain());
        const Image start = session.firstPicture();
        session.movePointer(256, 256);
        session.pressKeys({"a", "z", "plus", "minus", "space", "Return", "Left", "Right", "Up", "Down",
                           "Page_Up", "F1", "Escape"});
        session.drag(2, line(100, 100, 400, 400, 10));
        // The wheel is buttons 4 (up) and 5 (down).
        for (const int wheel : {4, 4, 5, 5, 5}) {
            session.drag(wheel, {{300, 200}});
        }
        EXPECT_TRUE(session.picture() == start) << "keys, the middle button or the wheel changed the picture";
        EXPECT_EQ(session.windowsShown(), 1) << "a key or button opened a window";
        ASSERT_TRUE(session.viewer().running()) << "a key ended the viewer";
        // Whatever state they might have changed unseen would show in a later turn.
        session.drag(1, turn);
        withKeys = session.pictureChangedFrom(start);
        closeAndExpectCleanExit(session);
    }
    Session plain = shown(lane(), bundledTerrain());
    const Image start = plain.firstPicture();
    plain.drag(1, turn);
    EXPECT_TRUE(plain.pictureChangedFrom(start) == withKeys)
        << "keys, the middle button or the wheel changed the view";
    closeAndExpectCleanExit(plain);
}

// Resizes the window to width x height, and checks that the first frame shows scaled by scaleX
// and scaleY from the top-left corner; returns the first frame and the resized picture.
std::pair<Image, Image> expectResizedPictureScaled(Session& session, int width, int height, double scaleX,
                                                   double scaleY) {
    const Image first = session.firstPicture();
    session.resize(width, height);
    const Image resized = session.pictureChangedFrom(first);
    EXPECT_EQ(std::make_pair(resized.width, resized.height), std::make_pair(width, height));
    const LitArea before = litArea(first), after = litArea(resized);
    EXPECT_NEAR(after.centreX, before.centreX * scaleX, 6);
    EXPECT_NEAR(after.centreY, before.centreY * scaleY, 6);
    EXPECT_NEAR(double(after.width()) / before.width(), scaleX, 0.05) << "the picture is cut or stretched";
    EXPECT_NEAR(double(after.height()) / before.height(), scaleY, 0.05) << "the picture is cut or stretched";
    return {first, resized};
}

TEST_P(Window, ResizedTo800By400TheSceneIsStretchedToFill) {
    // A page keeps its canvas square and shows it whole instead (ShowsTheCanvasSmallerAndWhole...).
    NEEDS(Platform | ResizedFromOutside);
    Session session = shown(lane(), bundledTerrain());
    // The same frustum over a wider, lower viewport scales x by 800 / 512 and y by 400 / 512.
    const Image wide = expectResizedPictureScaled(session, 800, 400, 800.0 / 512, 400.0 / 512).second;
    EXPECT_EQ(greyPixels(wide), 0);
    closeAndExpectCleanExit(session);
}

// With nothing to draw the window stays black, and still takes drags, a resize and the close.
void expectABlackWindowThatStillAnswers(Session& session) {
    EXPECT_EQ(litArea(session.firstPicture()).count, 0);
    session.drag(1, line(256, 256, 350, 380, 10));
    session.drag(3, line(256, 256, 256, 100, 10));
    // Browsers keep their windows at least 500 pixels wide.
    session.resize(500, 300);
    const Image resized = session.picture();
    EXPECT_EQ(resized.width, 500);
    EXPECT_EQ(litArea(resized).count, 0);
    EXPECT_TRUE(session.viewer().running());
    closeAndExpectCleanExit(session);
}

TEST_P(Window, MissingFileGivesABlackWindowThatStillAnswers) {
    NEEDS(Platform);
    Session session = shown(lane(), std::nullopt);
    expectABlackWindowThatStillAnswers(session);
}

TEST_P(Window, ShortFileGivesABlackWindowThatStillAnswers) {
    NEEDS(Platform);
    std::vector<uint8_t> bytes = bundledTerrain();
    bytes.pop_back();
    Session session = shown(lane(), bytes);
    expectABlackWindowThatStillAnswers(session);
}

TEST_P(Window, FifoWithNoWriterGivesABlackWindowThatStillAnswers) {
    // A page's web server waits on the FIFO before it answers, so the page never gets a reply.
    NEEDS(Platform | FifoFiles);
    Session session(lane(), [](const TempDir& dir) {
        if (mkfifo((dir.path() + "/sample.raw").c_str(), 0600) != 0) {
            throw std::runtime_error("mkfifo failed");
        }
    });
    expectABlackWindowThatStillAnswers(session);
}

TEST_P(Window, LongerAndEndlessFilesDrawLikeTheirFirst66049Bytes) {
    NEEDS(Platform);
    const std::vector<uint8_t> terrain = bundledTerrain();
    std::vector<uint8_t> longer = terrain;
    longer.insert(longer.end(), 16 << 20, 255);
    // The never-ending one is a FIFO that holds the terrain and stays open for writing: the viewer,
    // or the page's web server, reads the terrain and then waits for more, as from a download that
    // never ends.
    int writer = -1;
    const std::function<void(const TempDir&)> files[] = {
        [&](const TempDir& dir) { dir.write("sample.raw", terrain); },
        [&](const TempDir& dir) { dir.write("sample.raw", longer); },
        [&](const TempDir& dir) {
            const std::string path = dir.path() + "/sample.raw";
            if (mkfifo(path.c_str(), 0600) != 0 || (writer = open(path.c_str(), O_RDWR | O_NONBLOCK)) < 0 ||
                fcntl(writer, F_SETPIPE_SZ, 1 << 17) < 0 ||
                write(writer, terrain.data(), terrain.size()) != static_cast<ssize_t>(terrain.size())) {
                throw std::runtime_error("cannot fill a FIFO with the terrain");
            }
        }};
    const char* const names[] = {"the terrain alone", "the terrain and 16 MiB more",
                                 "the terrain in a FIFO left open"};
    Image pictures[3];
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(std::string("sample.raw holds ") + names[k]);
        Session session(lane(), files[k]);
        pictures[k] = session.firstPicture();
        closeAndExpectCleanExit(session);
    }
    close(writer);
    EXPECT_GT(litArea(pictures[0]).count, 0);
    EXPECT_TRUE(pictures[1] == pictures[0]) << "bytes past the grid changed the picture";
    EXPECT_TRUE(pictures[2] == pictures[0]) << "a file that never ends did not draw its first 66049 bytes";
}

// The first frame, then the picture after one move of each drag, in a window of 512 x scale: where
// scaled, the window the lane opens at that scale (its screen's pixel ratio, or its desktop's DPI),
// and otherwise one resized to that size.
std::vector<Image> picturesOfOneMoveDrags(const Lane& lane, double scale, bool scaled) {
    const bool page = lane.can(Page);
    Session session = shown(lane, bundledTerrain(), scaled && page ? int(scale) : 1,
                            scaled && !page ? std::to_string(int(96 * scale)) : "");
    const auto at = [&](int x) { return int(std::lround(x * scale)); };
    if (scaled) {
        EXPECT_EQ(session.size(), std::make_pair(at(512), at(512)))
            << "the window is not 512 x 512 at the scale";
    } else if (session.size() != std::make_pair(at(512), at(512))) {
        const Image small = session.firstPicture();
        session.resize(at(512), at(512));
        session.pictureChangedFrom(small);
    }
    std::vector<Image> pictures = {session.firstPicture()};
    for (const auto& [button, x0, y0, x1, y1] :
         {std::tuple{1, 200, 300, 330, 210}, std::tuple{3, 256, 100, 256, 300},
          std::tuple{3, 256, 240, 256, 120}}) {
        session.drag(button, {{at(x0), at(y0)}, {at(x1), at(y1)}});
        pictures.push_back(session.pictureChangedFrom(pictures.back()));
    }
    EXPECT_EQ(session.closeWindow(), 0);
    return pictures;
}

// The Linux build's picture of a terrain in a window of side x side, after the given drags, button
// and path.
Image linuxPicture(int side, const std::vector<std::pair<int, Path>>& drags = {},
                   const std::vector<uint8_t>& terrain = bundledTerrain()) {
    Session session = shown(linuxLane(), terrain);
    Image picture = session.firstPicture();
    if (side != picture.width) {
        session.resize(side, side);
        picture = session.pictureChangedFrom(picture);
    }
    for (const auto& [button, path] : drags) {
        session.drag(button, path);
    }
    picture = drags.empty() ? picture : session.pictureChangedFrom(picture);
    EXPECT_EQ(session.closeWindow(), 0);
    return picture;
}

// The top-left width x height of a picture.
Image topLeft(const Image& image, int width, int height) {
    Image part{width, height, {}};
    for (int y = 0; y < height && y < image.height; ++y) {
        for (int x = 0; x < width && x < image.width; ++x) {
            part.pixels.push_back(image.at(x, y));
        }
    }
    return part;
}

// Each build draws through Mesa's software rasteriser, as the Linux build does, so its pictures
// come out as the Linux build's do, but for the few lit pixels in a thousand that its lane allows.
void expectLikeTheLinuxBuilds(const Image& picture, const Image& linux, int perMille,
                              const std::string& moment) {
    const int lit = litArea(linux).count;
    EXPECT_GT(litArea(picture).count, 0) << "the build drew nothing in its " << moment;
    const int differing = differingPixels(picture, linux);
    EXPECT_TRUE(differing >= 0 && differing * 1000 <= lit * perMille)
        << "the build's " << moment << " differs from the Linux build's in " << differing << " of " << lit
        << " lit pixels";
}

void expectTheLinuxBuildsPictures(const Lane& lane, double scale) {
    const std::vector<Image> linux = picturesOfOneMoveDrags(linuxLane(), scale, false);
    const std::vector<Image> other = picturesOfOneMoveDrags(lane, scale, true);
    ASSERT_EQ(other.size(), linux.size());
    const char* const moments[] = {"first frame", "picture after a left-drag",
                                   "picture after a right-drag down", "picture after a right-drag up"};
    for (size_t k = 0; k < linux.size(); ++k) {
        expectLikeTheLinuxBuilds(other[k], linux[k], lane.perMilleOffLinux(), moments[k]);
    }
}

TEST_P(Window, DrawsTheLinuxBuildsPictures) {
    // The Windows build draws through Mesa's own fixed-function GL; a page through GL emulation
    // (none of the 12,332 lit pixels of the first frame differ on Debian 12, one on Debian 13, in
    // every browser). With fingers, one drags as the left button does, and two pinch and spread as
    // the right button drags down and up.
    NEEDS(OtherThanLinux);
    expectTheLinuxBuildsPictures(lane(), 1);
}

TEST_P(Window, ShowsTheCanvasSmallerAndWholeInASmallerWindow) {
    NEEDS(Platform | Page);
    Session session = shown(lane(), bundledTerrain());
    // The canvas is shown 300 x 300 at the top-left: the whole picture, scaled, and nothing beside it.
    const auto [full, small] = expectResizedPictureScaled(session, 500, 300, 300.0 / 512, 300.0 / 512);
    EXPECT_LT(litArea(small).right, 300) << "something shows beside the canvas";
    // Drawn there at 300 x 300, not drawn at 512 and shrunk: the Linux build's picture at that size.
    expectLikeTheLinuxBuilds(topLeft(small, 300, 300), linuxPicture(300), 1, "first frame at 300 x 300");
    // Back at full size the picture is as it was: the canvas kept its own resolution.
    session.resize(512, 512);
    EXPECT_TRUE(session.pictureChangedFrom(small) == full);
    closeAndExpectCleanExit(session);
}

TEST_P(Window, DrawsAtTheScreensOwnResolutionOnAHighDensityScreen) {
    // At two device pixels to a CSS pixel the canvas is 1024 x 1024 device pixels: the picture the
    // Linux build draws in a window of that size, lines one pixel wide, and the drags (and fingers,
    // placed in CSS pixels) turn and zoom by the same amounts. Here 2 of the 26,428 lit pixels of
    // the first frame differ on Debian 12, in every browser.
    NEEDS(Page);
    expectTheLinuxBuildsPictures(lane(), 2);
}

TEST_P(Window, OpensInTheDesktopsUnitsDrawnInItsPixels) {
    // A desktop scaled to 150 % has 144 dots to the inch: the window opens 768 x 768 and shows,
    // turns and zooms as the Linux build's window resized to that size does.
    NEEDS(DesktopScale);
    expectTheLinuxBuildsPictures(lane(), 1.5);
    // At 96, as unscaled, 512 x 512; and whatever else the X server's resources may hold, never a
    // window larger than its 1280 x 1280 screen.
    std::vector<std::string> dpis = {"96"};
    if (lane().can(XftDpi)) {
        dpis.insert(dpis.end(), {"abc", "0", "-5", "100000"});
    }
    for (const std::string& dpi : dpis) {
        Session session = shown(lane(), bundledTerrain(), 1, dpi);
        const auto [width, height] = session.size();
        EXPECT_TRUE(dpi == "96" ? width == 512 && height == 512 : width <= 1280 && height <= 1280)
            << "at " << dpi << " dots to the inch the window is " << width << " x " << height;
        EXPECT_GT(litArea(session.firstPicture()).count, 0) << "nothing drawn at " << dpi;
        closeAndExpectCleanExit(session);
    }
}

TEST_P(Window, DrawsAtAPhonesPixelRatioAndAtTheNewOneWhenItChanges) {
    NEEDS(Platform | DevToolsPage);
    Session session = shown(lane(), bundledTerrain());
    session.firstPicture();
    DevTools& devtools = session.viewer().devtools();
    devtools.call("Emulation.setTouchEmulationEnabled", {{"enabled", true}, {"maxTouchPoints", 5}});
    // A phone's screen, 390 x 844 CSS pixels at ratio 3: the canvas shows 390 wide, drawn 1170 wide.
    // Then it is turned on its side at ratio 2, as if on another screen: drawn anew, 780 wide. Then
    // upright again at ratio 1: 390 wide. The ratio is set first, at the size the page has, and the
    // size after it: Chromium's emulation tells the page of a ratio alone by no event (neither
    // resize nor a change of its resolution media query), so the page must not hear of the size
    // first.
    int width = 512, height = 512;
    for (const auto& [newWidth, newHeight, ratio] :
         {std::tuple{390, 844, 3}, std::tuple{844, 390, 2}, std::tuple{390, 844, 1}}) {
        for (const auto& [w, h] : {std::pair{width, height}, std::pair{newWidth, newHeight}}) {
            devtools.call("Emulation.setDeviceMetricsOverride",
                          {{"width", w}, {"height", h}, {"mobile", true}, {"deviceScaleFactor", ratio}});
        }
        std::tie(width, height) = std::pair{newWidth, newHeight};
        // Once the page says it has drawn at the new size, a frame ago.
        const int side = 390 * ratio;
        EXPECT_EQ(session.viewer().drawn(side, kDeadlineSeconds), true)
            << "no lines drawn " << side << " wide at ratio " << ratio;
        expectLikeTheLinuxBuilds(topLeft(session.screenshot(), side, side), linuxPicture(side), 1,
                                 "first frame at ratio " + std::to_string(ratio));
    }
    closeAndExpectCleanExit(session);
}

TEST_P(Window, PinchingThenLiftingAFingerTurnsFromThereWhileAThirdChangesNothing) {
    NEEDS(Fingers);
    // With the mouse: a right-drag 50 pixels down, then a left-drag.
    const Image linux = linuxPicture(512, {{3, {{200, 100}, {200, 150}}}, {1, {{200, 300}, {330, 210}}}});
    Session session = shown(lane(), bundledTerrain());
    const Image start = session.firstPicture();
    session.touch("touchStart", {{0, 200, 300}}); // the left button, pressed at (200, 300)
    session.touch("touchStart", {{1, 200, 500}}); // a second finger: zooming, and nothing turns
    session.touch("touchMove", {{1, 200, 450}});  // a pinch of 50 pixels
    session.touch("touchStart", {{2, 400, 100}}); // a third finger, which changes nothing
    session.touch("touchMove", {{2, 450, 150}, {1, 200, 450}});
    session.touch("touchEnd", {{2, 450, 150}});
    session.touch("touchEnd", {{1, 200, 450}}); // the first finger turns again, from where it is
    session.touch("touchMove", {{0, 330, 210}});
    session.touch("touchCancel", {}); // which ends the turn as a lift does
    expectLikeTheLinuxBuilds(session.pictureChangedFrom(start), linux, 1, "picture after the fingers");
    // The page itself stayed put: not zoomed, scrolled or selected.
    EXPECT_EQ(session.viewer().devtools().evaluate(
                  "[visualViewport.scale, scrollX, scrollY, getSelection().toString().length].join()"),
              "1,0,0,0");
    closeAndExpectCleanExit(session);
}

TEST_P(Window, ALostWebGLContextComesBackWithTheViewAndTheDragsGoOn) {
    // As a phone takes WebGL from a page in the background, and gives it back.
    NEEDS(Platform | DevToolsPage);
    Session session = shown(lane(), bundledTerrain());
    const Image start = session.firstPicture();
    session.drag(1, {{200, 300}, {330, 210}});
    session.drag(3, {{256, 100}, {256, 160}});
    const Image turned = session.pictureChangedFrom(start);
    DevTools& devtools = session.viewer().devtools();
    devtools.evaluate("(window.lose = Module.ctx.getExtension('WEBGL_lose_context')).loseContext()");
    EXPECT_EQ(litArea(session.pictureChangedFrom(turned)).count, 0) << "the lost context does not show black";
    // Painted again meanwhile (a resized window, a phone turned), it still shows black.
    for (const auto& [width, height] : {std::pair{500, 300}, std::pair{512, 512}}) {
        session.resize(width, height);
        EXPECT_EQ(litArea(session.picture()).count, 0)
            << "the lost context does not show black in a window of " << width << " x " << height;
    }
    EXPECT_TRUE(session.pageLoadedAgain([&] { devtools.evaluate("lose.restoreContext()"); }) == turned)
        << "the context given back does not show the turn and zoom the user had";
    session.drag(1, {{300, 300}, {200, 200}});
    EXPECT_FALSE(session.pictureChangedFrom(turned) == turned) << "drags no longer turn the terrain";
    // The view was handed over to that one load alone: loaded again, the page opens on the first view.
    EXPECT_TRUE(session.pageLoadedAgain([&] { devtools.call("Page.reload"); }) == start)
        << "a later load of the page still opens on the view handed over";
    closeAndExpectCleanExit(session);
}

TEST_P(Window, WithoutWebGLThePageSaysSoAndFailsAtNothing) {
    NEEDS(Platform | DevToolsPage);
    Session session = shown(lane(), bundledTerrain());
    session.firstPicture();
    DevTools& devtools = session.viewer().devtools();
    // As where WebGL is switched off: no canvas gives a WebGL context.
    devtools.call(
        "Page.addScriptToEvaluateOnNewDocument",
        {{"source", "HTMLCanvasElement.prototype.getContext = (function(get) { return function(type) {"
                    "  return /webgl/.test(type) ? null : get.apply(this, arguments); }; })("
                    "HTMLCanvasElement.prototype.getContext)"}});
    // Once the program has had its chance to run, and fail, and a frame has been drawn since.
    EXPECT_EQ(loadedAgain(devtools, "(function(text) { return text.offsetHeight > 0 ? text.textContent : "
                                    "'hidden'; })(document.getElementById('no-webgl'))"),
              "Mirovale draws its terrain with WebGL, which this browser has switched off or does not have.");
    // The message once the browser has painted it: a busy one may show a blank frame first.
    Image shown = session.picture();
    if (litArea(shown).count == 0) {
        shown = session.pictureChangedFrom(shown);
    }
    EXPECT_GT(litArea(shown).count, 0) << "the message does not show";
    closeAndExpectCleanExit(session);
}

TEST_P(Window, AssistiveTechnologyAndInstallingFindNothingAmiss) {
    // axe-core's rules of WCAG 2 A and AA and its best practices: a main landmark, a heading, and a
    // canvas named for what it shows and how to drive it.
    NEEDS(Platform | DevToolsPage);
    Session session = shown(lane(), bundledTerrain());
    session.firstPicture();
    DevTools& devtools = session.viewer().devtools();
    const std::vector<uint8_t> axe = readFile(AXE_PATH);
    ASSERT_FALSE(axe.empty()) << "cannot read " AXE_PATH;
    devtools.evaluate(std::string(axe.begin(), axe.end()));
    EXPECT_EQ(devtools.evaluate("axe.run(document, {runOnly: {type: 'tag', values: ['wcag2a', 'wcag2aa', "
                                "'best-practice']}}).then(function(results) { return JSON.stringify("
                                "results.violations.map(function(v) { return v.id + ': ' + v.help; })); })"),
              std::string("[]"));
    // As a phone's browser offers to keep the page on the home screen: Chromium's own check finds
    // nothing missing, and each icon its manifest names is a PNG of the size it says.
    EXPECT_EQ(devtools.call("Page.getInstallabilityErrors")["installabilityErrors"].dump(), "[]");
    EXPECT_EQ(
        devtools.evaluate(
            "fetch(document.querySelector('link[rel=manifest]').href).then(function(answer) {"
            "  return answer.json(); }).then(function(manifest) {"
            "  return Promise.all(manifest.icons.map(function(icon) {"
            "    return fetch(icon.src).then(function(answer) { return answer.blob(); }).then(function(png) {"
            "      return Promise.all([png.slice(1, 4).text(), createImageBitmap(png)]).then(function(read) {"
            "        return [icon.sizes, icon.type, png.type, read[0], read[1].width + 'x' + read[1].height]"
            "          .join(' '); }); }); })); }).then(function(icons) { return icons.join(', '); })"),
        std::string("192x192 image/png image/png PNG 192x192, 512x512 image/png image/png PNG 512x512"));
    // Started from the home screen, it opens the page's own folder, and keeps to it, wherever on its
    // site the page is.
    const std::string folder = pageFolder(devtools);
    EXPECT_EQ(
        devtools.evaluate("fetch(document.querySelector('link[rel=manifest]').href).then(function(answer) {"
                          "  return answer.json().then(function(manifest) {"
                          "    return [manifest.start_url, manifest.scope].map(function(url) {"
                          "      return new URL(url, answer.url).href; }).join(' '); }); })"),
        folder + " " + folder)
        << "the manifest's start URL and scope are not the page's folder";
    closeAndExpectCleanExit(session);
}

TEST_P(Window, ANewTerrainShowsOnTheNextVisitWithThePagesPartsAskedForTogether) {
    NEEDS(Platform | DevToolsPage);
    // The first terrain was last changed a year ago: a browser may take a copy of it for fresh for
    // weeks, unless the page asks.
    Session session(lane(), [](const TempDir& dir) {
        const timeval yearAgo[2] = {{time(nullptr) - 365 * 86400, 0}, {time(nullptr) - 365 * 86400, 0}};
        if (utimes(dir.write("sample.raw", bundledTerrain()).c_str(), yearAgo) != 0) {
            throw std::runtime_error("cannot date the terrain");
        }
    });
    session.firstPicture();
    DevTools& devtools = session.viewer().devtools();
    // With the page's service worker in place, as on every later visit.
    EXPECT_FALSE(keptCaches(devtools).empty()) << "the page's service worker keeps nothing";
    const std::string url = devtools.evaluate("location.href");
    devtools.call("Page.enable");
    devtools.call("Network.enable");
    // Swapped for a level plate, as a user copies a new one beside the page.
    TempDir fresh;
    if (rename(fresh.write("sample.raw", levelTerrain()).c_str(),
               (session.folder() + "/sample.raw").c_str()) != 0) {
        throw std::runtime_error("cannot swap the terrain");
    }
    std::vector<nlohmann::json> events;
    const Image again = session.pageLoadedAgain([&] {
        devtools.call("Page.navigate", {{"url", url + "?again"}});
        events = devtools.waitFor("Page.loadEventFired");
    });
    expectLikeTheLinuxBuilds(again, linuxPicture(512, {}, levelTerrain()), 1,
                             "first frame of the new terrain");
    // The program and the terrain are asked for while the page is read, not once it has loaded.
    std::string asked;
    for (const nlohmann::json& event : events) {
        const std::string method = event["method"];
        if (method == "Network.requestWillBeSent") {
            const std::string name = event["params"]["request"]["url"];
            asked += name.substr(name.rfind('/') + 1) + " ";
        } else if (method == "Page.domContentEventFired") {
            asked += "| ";
        }
    }
    for (const char* part : {"index.wasm ", "sample.raw "}) {
        EXPECT_LT(asked.find(part), asked.find("| "))
            << part << "is asked for once the page has loaded: " << asked;
    }
    closeAndExpectCleanExit(session);
}

TEST_P(Window, OnceVisitedItOpensOfflineANewBuildReachesTheVisitAfterNextAndARemovedTerrainGoes) {
    NEEDS(Platform | DevToolsPage);
    Session session = shown(lane(), bundledTerrain());
    const Image first = session.firstPicture();
    DevTools& devtools = session.viewer().devtools();
    const std::string kept = keptCaches(devtools);
    ASSERT_FALSE(kept.empty()) << "the page's service worker keeps nothing";
    // With the server gone, as with the network, opened as from the home screen: at the folder's
    // address, with the query a launcher adds. The page, its program and its terrain as they were.
    session.viewer().serve(false);
    const std::string folder = pageFolder(devtools);
    EXPECT_EQ(loadedAgain(devtools, "document.title", folder + "?source=homescreen"),
              std::string("A very simple Mirovale"));
    EXPECT_TRUE(session.picture() == first) << "without the server the page does not show what it did";
    // Another build, served: its page and its script marked, and its worker named for it as the
    // build names it. The browser's HTTP cache still holds the old build's parts for ten minutes.
    session.viewer().serve(true);
    const auto mark = [&](const std::string& part, const std::string& from, const std::string& to) {
        const std::vector<uint8_t> bytes = readFile(session.folder() + "/" + part);
        std::ofstream(session.folder() + "/" + part)
            << std::regex_replace(std::string(bytes.begin(), bytes.end()), std::regex(from), to,
                                  std::regex_constants::format_first_only);
    };
    mark("index.html", "<head>", "<head><meta name=\"build\" content=\"another\">");
    mark("index.js", "^", "var builtAnew = true;\n");
    if (Process({CMAKE_PATH, "-DTEMPLATE=" WEB_SOURCE "/service-worker.js", "-DFOLDER=" + session.folder(),
                 "-P", WEB_SOURCE "/service_worker.cmake"},
                [] {})
            .waitForExit(kDeadlineSeconds) != 0) {
        throw std::runtime_error("cannot make another build of the page");
    }
    // The next visit finds the new build's worker, which takes over and drops the old build's cache;
    // the visit after that is the new build's, its page and its script.
    session.pageLoadedAgain([&] { devtools.call("Page.reload"); });
    const std::string keptNow = devtools.evaluate(
        "new Promise(function(done) { navigator.serviceWorker.addEventListener('controllerchange', done);"
        "  caches.keys().then(function(names) { if (names.join() != '" +
        kept +
        "') done(); }); setTimeout(done, 20000); }).then(function() { return caches.keys(); })"
        ".then(function(names) { return names.join(); })");
    EXPECT_NE(keptNow, kept) << "the new build's worker did not take over";
    session.pageLoadedAgain([&] { devtools.call("Page.reload"); });
    EXPECT_EQ(
        devtools.evaluate("(document.querySelector('meta[name=build]') ? 'the new' : 'the old') + ' page, ' +"
                          "  (window.builtAnew ? 'the new' : 'the old') + ' script'"),
        std::string("the new page, the new script"))
        << "the visit after next does not show the new build";
    // The terrain taken off the server: black, and black offline after that too.
    ASSERT_EQ(unlink((session.folder() + "/sample.raw").c_str()), 0);
    for (const bool online : {true, false}) {
        session.viewer().serve(online);
        EXPECT_EQ(loadedAgain(devtools, "document.title"), std::string("A very simple Mirovale"));
        EXPECT_EQ(litArea(session.picture()).count, 0)
            << "a terrain taken off the server still shows " << (online ? "online" : "offline");
    }
    closeAndExpectCleanExit(session);
}

} // namespace
