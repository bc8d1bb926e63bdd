#pragma once

#include "deadlines.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Seconds from start until now, on a clock that never jumps.
double secondsSince(std::chrono::steady_clock::time_point start);
// The next line written to fd within timeoutSeconds, without its newline; false if none came.
bool readLine(int fd, std::string& line, double timeoutSeconds);

using Environment = std::vector<std::pair<std::string, std::string>>;
class DevTools;

// argv in a child that dies with the test process, and is stopped (SIGTERM, then SIGKILL) with
// this object: in its own process group where group is set, and then with its whole group. Its
// standard streams are on /dev/null until setUp, run in the child, changes them.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::function<void()>& setUp, bool group = false);
    virtual ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The exit status once it has ended within timeoutSeconds; -1 if still running then.
    int waitForExit(double timeoutSeconds);
    bool running() { return waitForExit(0.0) == -1; }
    // Whether it has taken in everything sent to it and done with it: each of its threads asleep,
    // nothing on its sockets and pipes left for it to read, and nothing it sent there left unread
    // by the other end. Where this system will not show another process's sockets, its threads
    // alone tell.
    bool idle() const;

private:
    pid_t pid_ = -1;
    pid_t group_ = -1;
    int status_ = -1;
};

// A private X server: the Xvfb that the build found, on a display number of its own, with a
// 1280 x 1280 screen, no TCP and no window manager.
class XServer {
public:
    XServer();
    const std::string& display() const { return display_; }

private:
    std::optional<Process> server_;
    std::string display_;
};

// A viewer a lane starts: argv in dir on display, with environment added, printing to printed.txt
// there and drawing through Mesa's software rasteriser, so that every machine draws the same
// pixels. setUp runs in the child last.
class ViewerProcess : public Process {
public:
    ViewerProcess(
        const std::string& dir, const std::string& display, const std::vector<std::string>& argv,
        const Environment& environment = {}, bool group = false, const std::function<void()>& setUp = [] {});
    // What it has printed on standard output and standard error together.
    virtual std::string printed() const;
    // Waits until a page says it has drawn its canvas side device pixels wide, and says whether
    // it drew lines; nothing where the deadline passed first. A desktop program says nothing: its
    // frames are known from its window alone.
    virtual std::optional<bool> drawn(int, double) { return std::nullopt; }
    // Waits until a page says it has seen the pointer move to (x, y), in CSS pixels, and drawn
    // what came before; false where the deadline passed first. A desktop program says nothing.
    virtual bool seen(int, int, double) { return true; }
    // Forgets what the page said, as it loads again.
    virtual void loadsAgain() {}
    // Stops a page's web server, as a network goes away, or starts it again as it was.
    virtual void serve(bool);
    // Chromium's DevTools, for a page Chromium shows.
    virtual DevTools& devtools();

protected:
    // Its working directory.
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};
