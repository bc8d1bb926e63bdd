#pragma once

#include "devtools.h"
#include "lane.h"
#include "temp_dir.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A captured picture, as 0xRRGGBB pixels row by row from the top-left corner.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Image& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
};

// Where a picture is lit: how many pixels are not black, their bounding box and centre.
struct LitArea {
    int count = 0;
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive; right < left when nothing is lit
    double centreX = 0.0, centreY = 0.0;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};
LitArea litArea(const Image& image);
// How many pixels are neither pure black nor pure white.
int greyPixels(const Image& image);
// How many pixels differ between two pictures of one size; -1 where their sizes differ.
int differingPixels(const Image& a, const Image& b);
// The picture a PNG file holds; an empty one where it cannot be read.
Image decodePng(const std::vector<uint8_t>& png);

using Path = std::vector<std::pair<int, int>>;
// A straight path from (x0, y0) to (x1, y1) in steps moves.
Path line(int x0, int y0, int x1, int y1, int steps);

// A finger on the page: its number, and where it is in the window.
struct Finger {
    int id, x, y;
};

struct _XDisplay;

// One viewer of a lane, in a fresh working directory that prepare fills (with a sample.raw, or
// not) before it starts, on the lane's X server, driven through XTest (or DevTools, for fingers)
// and read through Xlib. Everything it started stops with it.
class Session {
public:
    // Where the lane has a desktop's scale, the desktop has dpi dots to the inch (empty: it says none).
    // Each wait on the viewer ends by deadlineSeconds (deadlines.h).
    Session(const Lane& lane, const std::function<void(const TempDir&)>& prepare, int pixelRatio = 1,
            const std::string& dpi = "", double deadlineSeconds = kDeadlineSeconds);
    ~Session();

    ViewerProcess& viewer() { return *viewer_; }
    const Lane& lane() const { return lane_; }
    // The viewer's working directory: a page's folder.
    const std::string& folder() const { return dir_.path(); }

    // The window's title, its icon of size x size pixels (empty where it has none of that size),
    // its size, and how many windows show (one, unless a menu or a second window has opened).
    std::string title();
    Image icon(int size);
    std::pair<int, int> size();
    void resize(int width, int height);
    int windowsShown() { return static_cast<int>(shownWindows().size()); }

    void movePointer(int x, int y);
    // Presses button at the path's first point, moves along the rest, and lets go. In a lane of
    // fingers the left and right buttons are fingers: one drags as the left button; for the right,
    // a first rests at y 500 (by the pixel ratio) below the path and a second follows it straight
    // up or down.
    void drag(int button, const Path& path);
    // "touchStart", "touchMove" or "touchEnd" for these fingers, placed in the window's pixels;
    // "touchCancel", given none, for all.
    void touch(const std::string& type, const std::vector<Finger>& fingers);
    // Presses and releases each key, named as X keysyms ("a", "Left", "plus"), in turn.
    void pressKeys(const std::vector<std::string>& keys);

    // The window's contents now; the first frame, once drawn; the picture once the window has
    // stopped changing; and that once it differs from before.
    Image capture();
    Image firstPicture();
    Image picture();
    Image pictureChangedFrom(const Image& before);
    // The page as Chromium draws it, in device pixels, whatever the window shows.
    Image screenshot();
    // Once a page that loads again (as loadAgain has it load) has drawn, the picture it shows.
    Image pageLoadedAgain(const std::function<void()>& loadAgain);

    // Closes the window as a window manager's close button does; returns the viewer's exit status,
    // or -1 if it still runs by the deadline. A page's browser: its exit status, or 0 where it
    // had to be stopped once its window had gone; -1 if the window still shows by the deadline,
    // the page not unloaded.
    int closeWindow();

private:
    bool damaged(double timeoutSeconds);
    bool caughtUp(double timeoutSeconds);
    void sent();
    bool pageShown();
    std::vector<unsigned long> shownWindows();
    std::vector<unsigned char> property(const char* name, const char* type, int format);

    const Lane& lane_;
    TempDir dir_;
    std::optional<XServer> x_;
    std::unique_ptr<_XDisplay, int (*)(_XDisplay*)> display_;
    std::unique_ptr<ViewerProcess> viewer_;
    int ratio_;
    double deadline_;
    unsigned long window_ = 0;
    int damageEvent_ = 0;
    bool changed_ = false; // whether its pixels have changed at all yet
    int pageSide_ = 0;     // the side a page's canvas is drawn at, in device pixels
    unsigned marks_ = 0;   // the pointer moves to a mark sent to a page, to learn it has caught up
};
