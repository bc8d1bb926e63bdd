#include "process.h"

#include "temp_dir.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <linux/sockios.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool readLine(int fd, std::string& line, double timeoutSeconds) {
    const Clock::time_point start = Clock::now();
    line.clear();
    char c = 0;
    pollfd readable = {fd, POLLIN, 0};
    for (;;) {
        const int left = static_cast<int>((timeoutSeconds - secondsSince(start)) * 1000);
        if (left < 0 || poll(&readable, 1, left) <= 0 || read(fd, &c, 1) != 1) {
            return false;
        }
        if (c == '\n') {
            return true;
        }
        line += c;
    }
}

Process::Process(const std::vector<std::string>& argv, const std::function<void()>& setUp, bool group) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent || (group && setpgid(0, 0) != 0)) {
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
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    group_ = group ? pid_ : -1;
}

Process::~Process() {
    if (running() && kill(pid_, SIGTERM) == 0 && waitForExit(kStopSeconds) == -1) {
        kill(pid_, SIGKILL);
        waitForExit(kStopSeconds);
    }
    // Whatever a browser left running.
    if (group_ > 0) {
        kill(-group_, SIGKILL);
    }
}

int Process::waitForExit(double timeoutSeconds) {
    if (pid_ <= 0) {
        return status_;
    }
    // A pidfd becomes readable when its process ends: the wait ends on that, not on a poll loop.
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    pollfd ended = {fd, POLLIN, 0};
    if (fd >= 0) {
        poll(&ended, 1, static_cast<int>(timeoutSeconds * 1000));
        close(fd);
    }
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (done == pid_) {
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return pid_ > 0 ? -1 : status_;
}

bool Process::idle() const {
    if (pid_ <= 0) {
        return true;
    }
    const std::string process = "/proc/" + std::to_string(pid_);
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(process + "/task", error)) {
        // "pid (name) S ...": the state follows the name, which may hold anything.
        const std::vector<uint8_t> stat = readFile(task.path().string() + "/stat");
        const std::string line(stat.begin(), stat.end());
        const size_t name = line.rfind(')');
        if (name == std::string::npos || line.compare(name, 3, ") S") != 0) {
            return false;
        }
    }
    const int self = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    bool quiet = true;
    for (const auto& fd : std::filesystem::directory_iterator(process + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        const bool socket = target.rfind("socket:", 0) == 0;
        if (self < 0 || !(socket || target.rfind("pipe:", 0) == 0)) {
            continue;
        }
        const int copy = static_cast<int>(syscall(SYS_pidfd_getfd, self, std::stoi(fd.path().filename()), 0));
        int unread = 0, unsent = 0;
        if (copy >= 0) {
            quiet = quiet && ioctl(copy, FIONREAD, &unread) == 0 && unread == 0 &&
                    (!socket || (ioctl(copy, SIOCOUTQ, &unsent) == 0 && unsent == 0));
            close(copy);
        }
    }
    if (self >= 0) {
        close(self);
    }
    return quiet;
}

// -displayfd lets the server take the first free display number and say which, once it takes
// connections.
XServer::XServer() {
    int says[2];
    if (pipe(says) != 0) {
        throw std::runtime_error("pipe failed");
    }
    server_.emplace(std::vector<std::string>{XVFB_PATH, "-displayfd", std::to_string(says[1]), "-nolisten",
                                             "tcp", "-screen", "0", "1280x1280x24", "-noreset"},
                    [&] { close(says[0]); });
    close(says[1]);
    std::string number;
    const bool said = readLine(says[0], number, kHelperSeconds);
    close(says[0]);
    if (!said) {
        throw std::runtime_error("cannot start " XVFB_PATH);
    }
    display_ = ":" + number;
}

ViewerProcess::ViewerProcess(const std::string& dir, const std::string& display,
                             const std::vector<std::string>& argv, const Environment& environment, bool group,
                             const std::function<void()>& setUp)
    : Process(
          argv,
          [&] {
              if (chdir(dir.c_str()) != 0) {
                  _exit(126);
              }
              const int printed = open("printed.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
              dup2(printed, STDOUT_FILENO);
              dup2(printed, STDERR_FILENO);
              setenv("DISPLAY", display.c_str(), 1);
              setenv("GALLIUM_DRIVER", "llvmpipe", 1);
              setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
              // In a sanitizer build, Mesa's own allocations still held at exit would read as leaks;
              // the viewer's objects are freed by its exit handler, which the unit tests check. Any
              // other sanitizer options the tests were given stand.
              const char* given = getenv("ASAN_OPTIONS");
              setenv("ASAN_OPTIONS", (std::string(given ? given : "") + ":detect_leaks=0").c_str(), 1);
              for (const auto& [name, value] : environment) {
                  setenv(name.c_str(), value.c_str(), 1);
              }
              setUp();
          },
          group),
      dir_(dir) {}

std::string ViewerProcess::printed() const {
    const std::vector<uint8_t> bytes = readFile(dir_ + "/printed.txt");
    return {bytes.begin(), bytes.end()};
}

void ViewerProcess::serve(bool) { throw std::runtime_error("only a page has a web server"); }

DevTools& ViewerProcess::devtools() {
    throw std::runtime_error("only Chromium is driven through DevTools here");
}
