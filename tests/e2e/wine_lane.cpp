#include "lane.h"

#include "temp_dir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// The Windows build under Wine, in the prefix its build made, on the X server of the lane's Wine
// desktop, which tests/wine_server.sh starts with the lane's Wine server: Wine mixes up the windows
// of programs that share its server while they show on different X servers.
class WineLane : public Lane {
public:
    std::string name() const override { return "Wine"; }
    unsigned abilities() const override {
        // Wine 10 takes no resize from outside the program while no window manager runs.
        return Platform | Mouse | FifoFiles | WindowIcon | OtherThanLinux |
               (wineMajorVersion() < 10 ? ResizedFromOutside : 0u);
    }
    std::unique_ptr<ViewerProcess> start(const std::string& dir, const std::string& display,
                                         int) const override {
        return std::make_unique<ViewerProcess>(
            dir, display, std::vector<std::string>{WINE_PATH, exe()},
            Environment{{"WINEPREFIX", MIROVALE_WINDOWS_BUILD "/wine"}, {"WINEDEBUG", "-all"}});
    }
    std::string display() const override {
        const std::vector<uint8_t> number = readFile(MIROVALE_WINDOWS_BUILD "/wine.display");
        if (number.empty()) {
            throw std::runtime_error("the Wine lane's X server is not up: run the lane through ctest");
        }
        return ":" + std::string(number.begin(), std::find(number.begin(), number.end(), '\n'));
    }
    // While each viewer had an X server of its own apart from the desktop's, about one start in
    // three hundred made no window ("Failed to create a window"), never seen in 600 starts alone.
    // None has since they share the desktop's; should one, it is made again, said on the test's
    // output (Session) and counted, a line each, in the Windows build's wine.second-starts.
    bool startsAgain(ViewerProcess& viewer) const override {
        const bool again =
            !viewer.running() && viewer.printed().find("Failed to create a window") != std::string::npos;
        if (again) {
            std::ofstream(MIROVALE_WINDOWS_BUILD "/wine.second-starts", std::ios::app)
                << viewer.printed() << "\n";
        }
        return again;
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
