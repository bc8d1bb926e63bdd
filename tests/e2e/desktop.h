#pragma once

#include "devtools.h"

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>

// A private X server: the Xvfb that the build found, on a display number of its own, with a
// 1280 x 1280 screen, no TCP and no window manager. It stops with this object, or with the test
// process should that die first.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A viewer build to start: a Linux program, a Windows one that runs under Wine in the Wine prefix
// given, or the web page in the build folder given, in a browser; driven with the mouse, or in
// Chromium with fingers too.
struct ViewerProgram {
    std::string path;
    std::string winePrefix; // empty but for a Windows program
    std::string browser;    // "chromium", "firefox" or "webkit" for the page; empty otherwise
    int pixelRatio = 1;     // the browser's device pixels to a CSS pixel
    bool touch = false;     // left and right drags are made with fingers, through DevTools

    bool windows() const { return !winePrefix.empty(); }
    bool web() const { return !browser.empty(); }
};

// The viewer under test, started in workDir (which holds its sample.raw, or not) on display.
// What it prints goes to a file there. It is killed with this object if still running.
// The page is served from workDir, with its sample.raw, by a server of its own on this machine's
// loopback, and opened in the browser; what it prints is what the page's console says.
class ViewerProcess {
public:
    ViewerProcess(const ViewerProgram& program, const std::string& workDir, const std::string& display);
    ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    // Whether it has got as far as its main loop within timeoutSeconds: a program at once, the
    // page once the server has answered its request for sample.raw, which it makes just before.
    bool started(double timeoutSeconds);
    // The exit status once it has ended within timeoutSeconds; -1 if still running then.
    int waitForExit(double timeoutSeconds);
    bool running();
    // What it has printed on standard output and standard error together.
    std::string printed() const;
    // Chromium's DevTools, for the page it shows.
    DevTools& devtools();
    const ViewerProgram& program() const { return program_; }

private:
    ViewerProgram program_;
    std::unique_ptr<DevTools> devtools_;
    pid_t pid_ = -1;
    pid_t group_ = -1;  // a browser's process group
    pid_t server_ = -1; // the page's web server
    int status_ = -1;
    std::string workDir_;
};

void sleepSeconds(double seconds);

// Seconds from start until now, on a clock that never jumps.
double secondsSince(std::chrono::steady_clock::time_point start);
