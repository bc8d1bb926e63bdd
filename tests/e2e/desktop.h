#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>

// A private X server: the Xvfb that the build found, on a display number of its own, with no
// TCP and no window manager. It stops with this object, or with the test process should that
// die first.
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

// A viewer build to start: a Linux program, or a Windows one that runs under Wine, in the Wine
// prefix given.
struct ViewerProgram {
    std::string path;
    std::string winePrefix; // empty for a Linux program

    bool windows() const { return !winePrefix.empty(); }
};

// The viewer under test, started in workDir (which holds its sample.raw, or not) on display.
// What it prints goes to a file there. It is killed with this object if still running.
class ViewerProcess {
public:
    ViewerProcess(const ViewerProgram& program, const std::string& workDir, const std::string& display);
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

void sleepSeconds(double seconds);

// Seconds from start until now, on a clock that never jumps.
double secondsSince(std::chrono::steady_clock::time_point start);
