#pragma once

#include "xwd_image.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A private X server: Xvfb on a display number of its own, with no TCP and no window manager.
// It stops with this object, or with the test process should that die first.
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

// What a finished command left: its exit status and its standard output.
struct CommandResult {
    int status = -1;
    std::string out;
};

// Runs argv on display, waiting at most timeoutSeconds; its standard error is dropped.
CommandResult runCommand(const std::vector<std::string>& argv, const std::string& display,
                         double timeoutSeconds = 20.0);

// The viewer under test, started in workDir (which holds its sample.raw, or not) on display.
// Its standard output and error go to files there. It is killed with this object if still running.
class ViewerProcess {
public:
    ViewerProcess(const std::string& program, const std::string& workDir, const std::string& display);
    ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    // The exit status once it has ended within timeoutSeconds; -1 if still running then.
    int waitForExit(double timeoutSeconds);
    bool running();
    // What it has printed on standard output and standard error together.
    std::string printed() const;

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string workDir_;
};

// Asks window to close the way a window manager's close button does: a WM_DELETE_WINDOW
// client message under WM_PROTOCOLS.
void sendDeleteWindow(const std::string& display, unsigned long window);

void sleepSeconds(double seconds);

// Seconds from start until now, on a clock that never jumps.
double secondsSince(std::chrono::steady_clock::time_point start);
