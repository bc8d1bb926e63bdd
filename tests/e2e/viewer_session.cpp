#include "viewer_session.h"

#include <chrono>
#include <stdexcept>

using Clock = std::chrono::steady_clock;

ViewerSession::ViewerSession(const std::string& program, const std::optional<std::vector<uint8_t>>& terrain) {
    if (terrain) {
        dir_.write("sample.raw", *terrain);
    }
    viewer_.emplace(program, dir_.path(), x_.display());
    window_ = findWindow();
}

std::string ViewerSession::xdotool(std::vector<std::string> args) {
    for (std::string& arg : args) {
        if (arg == "W") {
            arg = window_;
        }
    }
    args.insert(args.begin(), "xdotool");
    const CommandResult result = runCommand(args, x_.display());
    if (result.status != 0) {
        throw std::runtime_error("xdotool " + args[1] + " failed");
    }
    return result.out;
}

Image ViewerSession::capture() {
    const CommandResult dump = runCommand({"xwd", "-silent", "-id", window_}, x_.display());
    if (dump.status != 0) {
        throw std::runtime_error("xwd could not capture the window");
    }
    return readXwd(dump.out);
}

Image ViewerSession::picture(double quietSeconds) {
    const Clock::time_point start = Clock::now();
    Image last = capture();
    Clock::time_point changed = Clock::now();
    while (secondsSince(changed) < quietSeconds && secondsSince(start) < 15.0) {
        sleepSeconds(0.05);
        Image next = capture();
        if (next != last) {
            last = std::move(next);
            changed = Clock::now();
        }
    }
    return last;
}

Image ViewerSession::pictureChangedFrom(const Image& before) {
    const Clock::time_point start = Clock::now();
    while (capture() == before && secondsSince(start) < 10.0) {
        sleepSeconds(0.05);
    }
    return picture();
}

Image ViewerSession::firstPicture() {
    const Clock::time_point start = Clock::now();
    while (litArea(capture()).count == 0 && secondsSince(start) < 1.5) {
        sleepSeconds(0.05);
    }
    return picture(0.5);
}

void ViewerSession::drag(int button, const Path& path) {
    const std::string name = std::to_string(button);
    std::vector<std::string> args = {
        "mousemove", "--window", "W", std::to_string(path[0].first), std::to_string(path[0].second),
        "mousedown", name};
    for (size_t k = 1; k < path.size(); ++k) {
        args.insert(args.end(), {"mousemove", "--window", "W", std::to_string(path[k].first),
                                 std::to_string(path[k].second)});
    }
    args.insert(args.end(), {"mouseup", name});
    xdotool(args);
}

int ViewerSession::closeWindow(double timeoutSeconds) {
    sendDeleteWindow(x_.display(), std::stoul(window_));
    return viewer_->waitForExit(timeoutSeconds);
}

std::string ViewerSession::findWindow() {
    const Clock::time_point start = Clock::now();
    while (secondsSince(start) < 20.0) {
        const CommandResult found = runCommand(
            {"xdotool", "search", "--onlyvisible", "--name", "A very simple Mirovale"}, x_.display());
        if (found.status == 0 && !found.out.empty()) {
            return found.out.substr(0, found.out.find('\n'));
        }
        if (!viewer_->running()) {
            throw std::runtime_error("the viewer ended before its window showed: " + viewer_->printed());
        }
        sleepSeconds(0.05);
    }
    throw std::runtime_error("no window titled \"A very simple Mirovale\" appeared");
}

Path line(int x0, int y0, int x1, int y1, int steps) {
    Path path;
    for (int k = 0; k <= steps; ++k) {
        path.push_back({x0 + (x1 - x0) * k / steps, y0 + (y1 - y0) * k / steps});
    }
    return path;
}
