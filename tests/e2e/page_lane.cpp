#include "page_lane.h"

#include "devtools.h"
#include "temp_dir.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <tuple>
#include <unistd.h>

namespace {

// Said once the program has run and drawn its first frame, and again whenever the canvas has been
// drawn at another size: a frame after the size changed, when the frame drawn at it is on its way
// to the screen; with whether that frame has lines on it, or was only cleared (or drawn without
// WebGL, which draws nothing). It looks at every animation frame: no event tells of a new backing
// store. Without the server, nothing is said. It goes in before the program's script, which is
// async: one that runs after it could find its own postRun, or replace the page's, at random.
const char* const kDrawnSignal = R"(<script>
(function() {
  var canvas = document.getElementById('canvas'), said = -1, seen = -1, lines = false;
  [window.WebGLRenderingContext, window.WebGL2RenderingContext].forEach(function(type) {
    ['clear', 'drawArrays', 'drawElements'].forEach(function(name) {
      var call = type.prototype[name];
      type.prototype[name] = function() {
        lines = name != 'clear' && !this.isContextLost();
        return call.apply(this, arguments);
      };
    });
  });
  (Module['postRun'] = Module['postRun'] || []).push(function look() {
    if (canvas.width == seen && seen != said) {
      fetch('.drawn?' + (said = seen) + (lines ? '&lines' : ''), {cache: 'no-store'}).catch(function() {});
    }
    seen = canvas.width;
    requestAnimationFrame(look);
  });
  // Said two animation frames after the pointer last moved, with where it went: events come in
  // the order they were sent, and the program draws what they ask for at the next animation frame,
  // so by then it has drawn what every event before the move asked for. Said whether the program
  // runs or not.
  // Frames are counted only from a move until it is told.
  var moved = '', frames = -1;
  window.addEventListener('mousemove', function(event) {
    moved = event.clientX + ',' + event.clientY;
    if (frames < 0) {
      requestAnimationFrame(tell);
    }
    frames = 0;
  }, true);
  function tell() {
    if (++frames < 2) {
      requestAnimationFrame(tell);
    } else {
      fetch('.seen?' + moved, {cache: 'no-store'}).catch(function() {});
      frames = -1;
    }
  }
})();
</script>
)";

// The tests' web server for a page's folder, at kPageFolder on the given port (0: one of its own
// choosing), and the end of the pipe it says on which port it listens, and then each request it takes.
std::pair<std::unique_ptr<Process>, int> serveFolder(const std::string& dir, const std::string& port) {
    int requests[2];
    if (pipe2(requests, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    auto server =
        std::make_unique<Process>(std::vector<std::string>{PYTHON_PATH, SERVE_PATH, dir, kPageFolder, port},
                                  [&] { dup2(requests[1], STDOUT_FILENO); });
    close(requests[1]);
    return {std::move(server), requests[0]};
}

} // namespace

class PageViewer : public ViewerProcess {
public:
    // A browser leads a process group of its own, so that its helpers stop with it.
    PageViewer(const PageLane& lane, std::pair<std::unique_ptr<Process>, int> server, const std::string& port,
               const std::string& dir, const std::string& display, const std::vector<std::string>& command,
               const Environment& environment, const std::function<void()>& setUp)
        : ViewerProcess(dir, display, command, environment, true, setUp), lane_(lane), port_(port),
          server_(std::move(server.first)), requests_(server.second) {}
    ~PageViewer() override { close(requests_); }
    std::string printed() const override {
        std::istringstream in(ViewerProcess::printed());
        std::string line, console;
        while (std::getline(in, line)) {
            console += lane_.fromPage(line) ? line + "\n" : "";
        }
        return console;
    }
    std::optional<bool> drawn(int side, double timeoutSeconds) override {
        const auto start = std::chrono::steady_clock::now();
        while (side_ != side) {
            if (!heard(timeoutSeconds - secondsSince(start))) {
                return std::nullopt;
            }
        }
        return lines_;
    }
    // Without its server the page cannot say so: it is taken to have seen the move.
    bool seen(int x, int y, double timeoutSeconds) override {
        const auto start = std::chrono::steady_clock::now();
        const std::string move = std::to_string(x) + "," + std::to_string(y);
        while (server_ && seen_ != move) {
            if (!heard(timeoutSeconds - secondsSince(start))) {
                return false;
            }
        }
        return true;
    }
    void loadsAgain() override { side_ = -1; }
    void serve(bool on) override {
        server_.reset();
        if (on) {
            close(requests_);
            std::string port;
            std::tie(server_, requests_) = serveFolder(dir(), port_);
            if (!readLine(requests_, port, kHelperSeconds)) {
                throw std::runtime_error("the web server did not start again on port " + port_);
            }
        }
    }
    DevTools& devtools() override { return devtools_ ? *devtools_ : ViewerProcess::devtools(); }

    std::unique_ptr<DevTools> devtools_;

private:
    // Takes the next thing the page says to its server: "GET /.../.drawn?512&lines" or
    // "GET /.../.seen?1,5"; false where nothing comes in time.
    bool heard(double timeoutSeconds) {
        std::string request;
        if (!readLine(requests_, request, timeoutSeconds)) {
            return false;
        }
        const std::string said = std::string("GET ") + kPageFolder;
        if (request.rfind(said + ".drawn?", 0) == 0) {
            side_ = std::stoi(request.substr(said.size() + 7));
            lines_ = request.find("&lines") != std::string::npos;
        } else if (request.rfind(said + ".seen?", 0) == 0) {
            seen_ = request.substr(said.size() + 6);
        }
        return true;
    }

    const PageLane& lane_;
    std::string port_;
    std::unique_ptr<Process> server_;
    int requests_; // the server's output: the port it listens on, then each request, a line each
    int side_ = -1;
    bool lines_ = false;
    std::string seen_; // where the page last said the pointer went
};

std::unique_ptr<ViewerProcess> PageLane::start(const std::string& dir, const std::string& display,
                                               int pixelRatio, const std::string&) const {
    std::vector<uint8_t> page = readFile(MIROVALE_WEB_BUILD "/index.html");
    std::string html(page.begin(), page.end());
    const size_t source = html.find("src=\"index.js\"");
    const size_t program = source == std::string::npos ? source : html.rfind("<script", source);
    if (program == std::string::npos) {
        throw std::runtime_error("the web build's index.html has no script index.js");
    }
    if (!(std::ofstream(dir + "/index.html") << html.insert(program, kDrawnSignal))) {
        throw std::runtime_error("cannot write the page in " + dir);
    }
    for (const char* file : {"index.js", "index.wasm", "manifest.webmanifest", "icon-192.png", "icon-512.png",
                             "service-worker.js"}) {
        std::filesystem::copy_file(std::string(MIROVALE_WEB_BUILD "/") + file, dir + "/" + file);
    }
    int commands[2] = {-1, -1}, answers[2] = {-1, -1};
    if (devtools() && (pipe2(commands, O_CLOEXEC) != 0 || pipe2(answers, O_CLOEXEC) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    auto server = serveFolder(dir, "0");
    std::string port;
    if (!readLine(server.second, port, kHelperSeconds)) {
        throw std::runtime_error("the web server did not start");
    }
    const std::string profile = dir + "/browser";
    std::filesystem::create_directory(profile);
    Environment added = {{"HOME", profile}, {"XDG_CONFIG_HOME", profile}, {"XDG_CACHE_HOME", profile}};
    for (const auto& variable : environment(pixelRatio)) {
        added.push_back(variable);
    }
    auto viewer = std::make_unique<PageViewer>(
        *this, std::move(server), port, dir, display,
        command("http://127.0.0.1:" + port + kPageFolder, profile, pixelRatio), added, [&] {
            if (commands[0] >= 0) {
                dup2(fcntl(commands[0], F_DUPFD, 10), 3);
                dup2(fcntl(answers[1], F_DUPFD, 10), 4);
            }
        });
    if (commands[0] >= 0) {
        close(commands[0]);
        close(answers[1]);
        viewer->devtools_ = std::make_unique<DevTools>(commands[1], answers[0]);
    }
    return viewer;
}
