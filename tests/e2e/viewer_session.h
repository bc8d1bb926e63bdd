#pragma once

#include "desktop.h"
#include "temp_dir.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using Path = std::vector<std::pair<int, int>>;

// One viewer on an X server of its own, in a fresh working directory that holds terrain as
// sample.raw (or no sample.raw, without a terrain). Everything stops with this object.
class ViewerSession {
public:
    ViewerSession(const std::string& program, const std::optional<std::vector<uint8_t>>& terrain);

    ViewerProcess& viewer() { return *viewer_; }

    // Runs xdotool with args, where "W" stands for the viewer's window, and returns its output.
    std::string xdotool(std::vector<std::string> args);

    // The window's contents now.
    Image capture();
    // The picture once it has not changed for quietSeconds: the viewer draws in its own time.
    Image picture(double quietSeconds = 0.3);
    // The settled picture after it has first become different from before.
    Image pictureChangedFrom(const Image& before);
    // The first frame: settled once something shows, or after a while of showing nothing.
    Image firstPicture();

    // Presses button at the path's first point, moves along the rest, and lets go.
    void drag(int button, const Path& path);

    // Closes the window as a window manager's close button does; returns the viewer's exit
    // status, or -1 if it is still running after timeoutSeconds.
    int closeWindow(double timeoutSeconds = 10.0);

private:
    std::string findWindow();

    TempDir dir_;
    XServer x_;
    std::optional<ViewerProcess> viewer_;
    std::string window_;
};

// A straight path from (x0, y0) to (x1, y1) in steps moves.
Path line(int x0, int y0, int x1, int y1, int steps);
