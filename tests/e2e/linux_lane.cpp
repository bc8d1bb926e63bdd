#include "lane.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <filesystem>
#include <stdexcept>
#include <utility>

namespace {

// The Linux build, the one the tests were first written for, and the one the others are held to; or
// another Linux build's viewer, program, run as it is.
class LinuxLane : public Lane {
public:
    explicit LinuxLane(std::string program) : program_(std::move(program)) {}
    std::string name() const override { return "Linux"; }
    unsigned abilities() const override {
        return Platform | Mouse | ResizedFromOutside | FifoFiles | ExactLongDrags | DesktopScale | XftDpi;
    }
    // A desktop keeps its DPI in the X server's resources, as xrdb puts them there.
    std::unique_ptr<ViewerProcess> start(const std::string& dir, const std::string& display, int,
                                         const std::string& dpi) const override {
        if (!dpi.empty()) {
            Display* x = XOpenDisplay(display.c_str());
            if (x == nullptr) {
                throw std::runtime_error("cannot open display " + display);
            }
            const std::string resources = "Xft.dpi:\t" + dpi + "\n";
            XChangeProperty(x, DefaultRootWindow(x), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(resources.c_str()),
                            static_cast<int>(resources.size()));
            XCloseDisplay(x);
        }
        return std::make_unique<ViewerProcess>(
            dir, display, std::vector<std::string>{std::filesystem::absolute(program_).string()});
    }

private:
    std::string program_;
};

} // namespace

const Lane& linuxLane() {
    static const LinuxLane lane(MIROVALE_PATH);
    return lane;
}

std::unique_ptr<Lane> linuxBuildLane(const std::string& program) {
    return std::make_unique<LinuxLane>(program);
}
