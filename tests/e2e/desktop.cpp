#include "desktop.h"

#include "temp_dir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Starts argv[0] with argv in a child that dies with the test process, its standard streams on
// /dev/null until setUp, run in the child, changes them; returns the child's pid.
pid_t launch(const std::vector<std::string>& argv, const std::function<void()>& setUp) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        const int devNull = open("/dev/null", O_RDWR);
        for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
            dup2(devNull, stream);
        }
        setUp();
        execv(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    return pid;
}

// Waits for pid up to timeoutSeconds; returns true with its status once it has ended.
bool reap(pid_t pid, double timeoutSeconds, int& status) {
    const Clock::time_point start = Clock::now();
    do {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            return done == pid;
        }
        sleepSeconds(0.01);
    } while (secondsSince(start) <= timeoutSeconds);
    return false;
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
    // -displayfd lets the server take the first free display number and tell us which.
    pid_ = launch({XVFB_PATH, "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-screen", "0",
                   "1024x768x24", "-noreset"},
                  [&] { close(fds[0]); });
    close(fds[1]);
    // The number comes once the server takes connections, in two writes: digits, then a newline.
    pollfd readable = {fds[0], POLLIN, 0};
    char c = 0;
    while (c != '\n' && poll(&readable, 1, 20000) > 0 && read(fds[0], &c, 1) == 1) {
        display_ += c;
    }
    close(fds[0]);
    if (c != '\n') {
        stop(pid_);
        throw std::runtime_error("cannot start " XVFB_PATH);
    }
    display_ = ":" + display_.substr(0, display_.size() - 1);
}

XServer::~XServer() { stop(pid_); }

ViewerProcess::ViewerProcess(const ViewerProgram& program, const std::string& workDir,
                             const std::string& display)
    : workDir_(workDir) {
    // Resolved before the child changes directory.
    const std::string path = std::filesystem::absolute(program.path).string();
    std::vector<std::string> command = {path};
    if (program.windows()) {
        command = {WINE_PATH, path};
    }
    pid_ = launch(command, [&] {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const int printed = open("printed.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(printed, STDOUT_FILENO);
        dup2(printed, STDERR_FILENO);
        setenv("DISPLAY", display.c_str(), 1);
        // Mesa's software rasteriser, so every machine draws the same pixels.
        setenv("GALLIUM_DRIVER", "llvmpipe", 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        // In a sanitizer build, Mesa's own allocations still held at exit would read as leaks;
        // the viewer's objects are freed by its exit handler, which the unit tests check.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (program.windows()) {
            setenv("WINEPREFIX", program.winePrefix.c_str(), 1);
            setenv("WINEDEBUG", "-all", 1);
        }
    });
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
    const std::vector<uint8_t> bytes = readFile(workDir_ + "/printed.txt");
    return std::string(bytes.begin(), bytes.end());
}
