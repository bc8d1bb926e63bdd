#include "desktop.h"

#include "browser.h"
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

// The first line written to fd within 20 seconds, without its newline; empty if none comes then.
// Closes fd.
std::string firstLine(int fd) {
    std::string line;
    pollfd readable = {fd, POLLIN, 0};
    char c = 0;
    while (poll(&readable, 1, 20000) > 0 && read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(fd);
    return c == '\n' ? line : "";
}

// Starts a web server on the loopback for dir (serve.py), on a port it picks, and returns its pid
// and the page's address.
std::pair<pid_t, std::string> serve(const std::string& dir) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = launch({PYTHON_PATH, SERVE_PATH, dir}, [&] {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        // The requests it answered, for a failure to show.
        const int log = open((dir + "/served.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, STDERR_FILENO);
    });
    close(fds[1]);
    // It says "Serving HTTP on 127.0.0.1 port N (http://127.0.0.1:N/) ..." once it listens.
    const std::string said = firstLine(fds[0]);
    const size_t start = said.find("(http://");
    const size_t end = said.find(")", start);
    if (start == std::string::npos || end == std::string::npos) {
        stop(pid);
        throw std::runtime_error("the web server did not start: " + said);
    }
    return {pid, said.substr(start + 1, end - start - 1) + "index.html"};
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
                   "1280x1280x24", "-noreset"},
                  [&] { close(fds[0]); });
    close(fds[1]);
    // The number comes once the server takes connections, in two writes: digits, then a newline.
    const std::string number = firstLine(fds[0]);
    if (number.empty()) {
        stop(pid_);
        throw std::runtime_error("cannot start " XVFB_PATH);
    }
    display_ = ":" + number;
}

XServer::~XServer() { stop(pid_); }

ViewerProcess::ViewerProcess(const ViewerProgram& program, const std::string& workDir,
                             const std::string& display)
    : program_(program), workDir_(workDir) {
    // Resolved before the child changes directory.
    const std::string path = std::filesystem::absolute(program.path).string();
    std::vector<std::string> command = {path};
    BrowserLaunch browser;
    if (program.windows()) {
        command = {WINE_PATH, path};
    } else if (program.web()) {
        // The page beside the test's own sample.raw, or none.
        for (const char* file : {"index.html", "index.js", "index.wasm"}) {
            std::filesystem::copy_file(path + "/" + file, workDir + "/" + file);
        }
        std::string url;
        std::tie(server_, url) = serve(workDir);
        const std::string profile = workDir + "/browser";
        std::filesystem::create_directory(profile);
        browser = browserLaunch(program.browser, url, profile, program.pixelRatio, program.touch);
        command = browser.command;
    }
    // Chromium takes DevTools commands on its fd 3 and answers on its fd 4.
    int commands[2] = {-1, -1}, answers[2] = {-1, -1};
    if (program.browser == "chromium" &&
        (pipe2(commands, O_CLOEXEC) != 0 || pipe2(answers, O_CLOEXEC) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = launch(command, [&] {
        // A browser leads a process group of its own, so that its helpers stop with it.
        if (program.web()) {
            setpgid(0, 0);
        }
        if (commands[0] >= 0) {
            const int in = fcntl(commands[0], F_DUPFD, 10), out = fcntl(answers[1], F_DUPFD, 10);
            dup2(in, 3);
            dup2(out, 4);
        }
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
        for (const auto& [name, value] : browser.environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
    });
    if (program.web()) {
        group_ = pid_;
    }
    if (commands[0] >= 0) {
        close(commands[0]);
        close(answers[1]);
        devtools_ = std::make_unique<DevTools>(commands[1], answers[0]);
    }
}

DevTools& ViewerProcess::devtools() {
    if (!devtools_) {
        throw std::runtime_error("only Chromium is driven through DevTools here");
    }
    return *devtools_;
}

ViewerProcess::~ViewerProcess() {
    if (running()) {
        stop(pid_);
    }
    // Whatever the browser left running, then the server.
    if (group_ > 0) {
        kill(-group_, SIGKILL);
    }
    if (server_ > 0) {
        stop(server_);
    }
}

bool ViewerProcess::started(double timeoutSeconds) {
    const Clock::time_point start = Clock::now();
    while (server_ > 0) {
        const std::vector<uint8_t> log = readFile(workDir_ + "/served.txt");
        if (std::string(log.begin(), log.end()).find("\"GET /sample.raw ") != std::string::npos) {
            return true;
        }
        if (secondsSince(start) > timeoutSeconds) {
            return false;
        }
        sleepSeconds(0.05);
    }
    return true;
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
    const std::string printed(bytes.begin(), bytes.end());
    return program_.web() ? consoleLines(program_.browser, printed) : printed;
}
