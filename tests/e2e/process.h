#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Seconds from start until now, on a clock that never jumps.
double secondsSince(std::chrono::steady_clock::time_point start);

// Starts argv in a child that dies with the test process: in its own process group where group
// is set, its standard streams on /dev/null until setUp, run in the child, changes them.
pid_t launch(const std::vector<std::string>& argv, const std::function<void()>& setUp, bool group = false);
using Environment = std::vector<std::pair<std::string, std::string>>;
// Ends pid (SIGTERM, then SIGKILL) and waits for it.
void stop(pid_t pid);

// The next line written to fd within timeoutSeconds, without its newline; false if none came.
bool readLine(int fd, std::string& line, double timeoutSeconds);

// A private X server: the Xvfb that the build found, on a display number of its own, with a
// 1280 x 1280 screen, no TCP and no window manager. It stops with this object.
class XServer {
public:
    XServer();
    ~XServer() { stop(pid_); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

class DevTools;

// A viewer a lane starts: argv in dir on display, with environment added, printing to printed.txt
// there and drawing through Mesa's software rasteriser, so that every machine draws the same
// pixels; in a process group of its own where group is set. setUp runs in the child last. It is
// killed with this object if still running, with its group.
class ViewerProcess {
public:
    ViewerProcess(
        const std::string& dir, const std::string& display, const std::vector<std::string>& argv,
        const Environment& environment = {}, bool group = false, const std::function<void()>& setUp = [] {});
    virtual ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    // The exit status once it has ended within timeoutSeconds; -1 if still running then.
    int waitForExit(double timeoutSeconds);
    bool running() { return waitForExit(0.0) == -1; }
    // What it has printed on standard output and standard error together.
    virtual std::string printed() const;
    // Waits until a page says it has drawn its canvas side device pixels wide, and says whether
    // it drew lines; nothing where the deadline passed first. A desktop program says nothing: its
    // frames are known from its window alone.
    virtual std::optional<bool> drawn(int, double) { return std::nullopt; }
    // Chromium's DevTools, for a page Chromium shows.
    virtual DevTools& devtools();

protected:
    pid_t pid_ = -1;
    pid_t group_ = -1;
    int status_ = -1;
    std::string dir_;
};
