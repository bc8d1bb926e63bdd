#include "lane.h"

#include "temp_dir.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>

namespace {

// The Windows build under Wine, in the prefix its build made, on the X server of the lane's Wine
// desktop, which tests/wine_server.sh starts with the lane's Wine server: Wine mixes up the windows
// of programs that share its server while they show on different X servers. (While each viewer had
// an X server of its own, about one start in three hundred made no window; none has since.)
class WineLane : public Lane {
public:
    std::string name() const override { return "Wine"; }
    unsigned abilities() const override {
        // Wine 10 takes no resize from outside the program while no window manager runs.
        return Platform | Mouse | FifoFiles | WindowIcon | OtherThanLinux | DesktopScale |
               (wineMajorVersion() < 10 ? ResizedFromOutside : 0u);
    }
    // Windows keeps the DPI its user's scale sets as LogPixels: set in the prefix (to 96 where the
    // case names none) by the lane's server script, before the viewer starts, unless already set.
    std::unique_ptr<ViewerProcess> start(const std::string& dir, const std::string& display, int,
                                         const std::string& dpi) const override {
        const std::string wanted = dpi.empty() ? "96" : dpi;
        const std::vector<uint8_t> set = readFile(MIROVALE_WINDOWS_BUILD "/wine.dpi");
        if (std::string(set.begin(), std::find(set.begin(), set.end(), '\n')) != wanted) {
            ViewerProcess script(dir, display,
                                 {WINE_SERVER_SCRIPT, "dpi", MIROVALE_WINDOWS_BUILD "/wine", WINE_PATH,
                                  WINESERVER_PATH, wanted});
            if (script.waitForExit(kWineDpiSeconds) != 0) {
                throw std::runtime_error("cannot set the Wine lane's DPI to " + wanted);
            }
        }
        return std::make_unique<ViewerProcess>(
            dir, display, std::vector<std::string>{WINE_PATH, exe()},
            Environment{{"WINEPREFIX", MIROVALE_WINDOWS_BUILD "/wine"}, {"WINEDEBUG", "-all"}});
    }
    // Wine's server kills a program (SIGKILL) half a second after its last Windows thread ended if
    // its Unix process has not ended by then: on a busy machine, the clean-up of the libraries it
    // loaded (Mesa's among them) can take longer. The exit code it gave Windows goes with it.
    bool cutShort(int status) const override { return status == 128 + SIGKILL; }
    std::string display() const override {
        const std::vector<uint8_t> number = readFile(MIROVALE_WINDOWS_BUILD "/wine.display");
        if (number.empty()) {
            throw std::runtime_error("the Wine lane's X server is not up: run the lane through ctest");
        }
        return ":" + std::string(number.begin(), std::find(number.begin(), number.end(), '\n'));
    }

private:
    static std::string exe() {
        return std::filesystem::absolute(MIROVALE_WINDOWS_BUILD "/mirovale.exe").lexically_normal().string();
    }
    static int wineMajorVersion() {
        static const int major = [] {
            int found = 0;
            if (FILE* out = popen(WINE_PATH " --version", "r")) { // "wine-10.0 ..."
                if (std::fscanf(out, "wine-%d", &found) != 1) {
                    found = 0;
                }
                pclose(out);
            }
            return found;
        }();
        return major;
    }
};

} // namespace

const Lane& wineLane() {
    static const WineLane lane;
    return lane;
}
