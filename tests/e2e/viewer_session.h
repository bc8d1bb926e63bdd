#pragma once

#include "desktop.h"
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
    bool operator!=(const Image& other) const { return !(*this == other); }
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

// Xlib's connection type, named here so that its macros stay out of the tests.
struct _XDisplay;

using Path = std::vector<std::pair<int, int>>;

// A finger on the page: its number, and where it is in the window.
struct Finger {
    int id;
    int x, y;
};

// One viewer on an X server of its own, in a fresh working directory that prepare fills (with a
// sample.raw, or not) before the viewer starts, driven through XTest and read through Xlib on
// one connection. Everything stops with this object.
class ViewerSession {
public:
    ViewerSession(const ViewerProgram& program, const std::function<void(const TempDir& dir)>& prepare);

    ViewerProcess& viewer() { return *viewer_; }

    // The window's title and its size in pixels, as the X server has them.
    std::string title();
    // The window's icon of size x size pixels, as its program hands it to the desktop; an empty
    // picture where it has none of that size.
    Image icon(int size);
    std::pair<int, int> size();
    void resize(int width, int height);
    // How many windows show: one, unless a menu or a second window has opened.
    int windowsShown();

    // Moves the pointer to (x, y) in the window.
    void movePointer(int x, int y);
    // Presses button at the path's first point, moves along the rest, and lets go. Where the
    // program is driven with fingers, the left and right buttons are fingers (see fingerDrag).
    void drag(int button, const Path& path);
    // One touch event on the page, through DevTools: "touchStart" puts the fingers given down,
    // "touchMove" moves them (others stay where they are), "touchEnd" lifts them, and
    // "touchCancel", given none, cancels every finger down.
    void touch(const std::string& type, const std::vector<Finger>& fingers);
    // Presses and releases each key, named as X keysyms ("a", "Left", "plus"), in turn.
    void pressKeys(const std::vector<std::string>& keys);

    // The window's contents now.
    Image capture();
    // The picture once it has not changed for quietSeconds: the viewer draws in its own time.
    Image picture(double quietSeconds = 0.3);
    // The settled picture after it has first become different from before.
    Image pictureChangedFrom(const Image& before);
    // The first frame: settled once something shows, or after a while of showing nothing.
    Image firstPicture();
    // The page as Chromium draws it, in device pixels, whatever the window shows.
    Image screenshot();

    // Closes the window as a window manager's close button does, with a WM_DELETE_WINDOW
    // message; returns the viewer's exit status, or -1 if it still runs after timeoutSeconds.
    int closeWindow(double timeoutSeconds = 10.0);

private:
    // One finger drags as the left button does. For the right button a first finger rests below
    // the path, at y 500, and a second follows it: their distance changes as the path's height
    // does, which zooms as a right-drag does (the path keeps its x).
    void fingerDrag(int button, const Path& path);
    std::vector<unsigned long> shownWindows();
    unsigned long findWindow();
    // A browser's window is made what the desktop viewer's is: side x side at the top-left.
    void placeBrowserWindow(int side);

    TempDir dir_;
    XServer x_;
    std::optional<ViewerProcess> viewer_;
    std::unique_ptr<_XDisplay, int (*)(_XDisplay*)> display_;
    unsigned long window_ = 0;
};

// The picture a PNG file holds; an empty one where it cannot be read.
Image decodePng(const std::vector<uint8_t>& png);

// A straight path from (x0, y0) to (x1, y1) in steps moves.
Path line(int x0, int y0, int x1, int y1, int steps);
