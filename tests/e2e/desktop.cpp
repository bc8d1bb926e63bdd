#include "desktop.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> cArgs(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    return args;
}

// In a freshly forked child: die with the test process rather than outlive it.
void tieToParent(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(127);
    }
}

// Waits for pid up to timeoutSeconds; returns true with its status once it has ended.
bool reap(pid_t pid, double timeoutSeconds, int& status) {
    const Clock::time_point start = Clock::now();
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return true;
        }
        if (done < 0 && errno != EINTR) {
            return false;
        }
        if (secondsSince(start) > timeoutSeconds) {
            return false;
        }
        sleepSeconds(0.01);
    }
}

void stop(pid_t pid) {
    int status = 0;
    kill(pid, SIGTERM);
    if (!reap(pid, 3.0, status)) {
        kill(pid, SIGKILL);
        reap(pid, 3.0, status);
    }
}

} // namespace

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void sleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

XServer::XServer() {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        tieToParent(parent);
        close(fds[0]);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        // -displayfd lets the server take the first free display number and tell us which.
        const std::vector<std::string> argv = {"Xvfb",      "-displayfd",  std::to_string(fds[1]),
                                               "-nolisten", "tcp",         "-screen",
                                               "0",         "1024x768x24", "-noreset"};
        execvp("Xvfb", cArgs(argv).data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        throw std::runtime_error("fork failed");
    }

    std::string number;
    pollfd readable = {fds[0], POLLIN, 0};
    const Clock::time_point start = Clock::now();
    while (secondsSince(start) < 20.0 && number.find('\n') == std::string::npos) {
        if (poll(&readable, 1, 100) > 0) {
            char buffer[16];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            number.append(buffer, n);
        }
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        stop(pid_);
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    }
    display_ = ":" + number.substr(0, number.find('\n'));
}

XServer::~XServer() { stop(pid_); }

CommandResult runCommand(const std::vector<std::string>& argv, const std::string& display,
                         double timeoutSeconds) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        tieToParent(parent);
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDERR_FILENO);
        setenv("DISPLAY", display.c_str(), 1);
        execvp(argv[0].c_str(), cArgs(argv).data());
        _exit(127);
    }
    close(fds[1]);

    CommandResult result;
    pollfd readable = {fds[0], POLLIN, 0};
    const Clock::time_point start = Clock::now();
    for (;;) {
        const int ready = poll(&readable, 1, 50);
        if (ready > 0) {
            char buffer[65536];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            result.out.append(buffer, n);
        }
        if (secondsSince(start) > timeoutSeconds) {
            kill(pid, SIGKILL);
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    if (reap(pid, 5.0, status) && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    if (result.status == 127) {
        throw std::runtime_error("cannot run " + argv[0]);
    }
    return result;
}

ViewerProcess::ViewerProcess(const std::string& program, const std::string& workDir,
                             const std::string& display)
    : workDir_(workDir) {
    // Resolved before the child changes directory.
    const std::string path = std::filesystem::absolute(program).string();
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        tieToParent(parent);
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const int devNull = open("/dev/null", O_RDWR);
        const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(devNull, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        setenv("DISPLAY", display.c_str(), 1);
        // Mesa's software rasteriser, so every machine draws the same pixels.
        setenv("GALLIUM_DRIVER", "llvmpipe", 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        // In a sanitizer build, Mesa's own allocations still held at exit would read as leaks;
        // the viewer's objects are freed by its exit handler, which the unit tests check.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        const std::vector<std::string> argv = {path};
        execv(path.c_str(), cArgs(argv).data());
        _exit(127);
    }
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
}

ViewerProcess::~ViewerProcess() {
    if (running()) {
        stop(pid_);
    }
}

int ViewerProcess::waitForExit(double timeoutSeconds) {
    int status = 0;
    if (pid_ > 0 && reap(pid_, timeoutSeconds, status)) {
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return pid_ > 0 ? -1 : status_;
}

bool ViewerProcess::running() { return waitForExit(0.0) == -1; }

std::string ViewerProcess::printed() const {
    std::string all;
    for (const char* name : {"/stdout.txt", "/stderr.txt"}) {
        std::ifstream in(workDir_ + name);
        std::stringstream text;
        text << in.rdbuf();
        all += text.str();
    }
    return all;
}

void sendDeleteWindow(const std::string& display, unsigned long window) {
    Display* connection = XOpenDisplay(display.c_str());
    if (connection == nullptr) {
        throw std::runtime_error("cannot open display " + display);
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection, window, False, NoEventMask, &event);
    XCloseDisplay(connection);
}
