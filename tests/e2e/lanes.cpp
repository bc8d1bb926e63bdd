#include "lane.h"

const Lane& wineLane();
const Lane& firefoxLane();
const Lane& webkitLane();

std::string Lane::title() const { return "A very simple Mirovale"; }

// Which lanes run is the build's choice: the Linux one where its lane runs, a Windows build folder,
// a web build folder and the browsers asked for, or none of them.
const std::vector<const Lane*>& lanes() {
    static const std::vector<const Lane*> all = [] {
        std::vector<const Lane*> chosen;
        if (MIROVALE_LINUX_LANE) {
            chosen.push_back(&linuxLane());
        }
        if (std::string(MIROVALE_WINDOWS_BUILD) != "") {
            chosen.push_back(&wineLane());
        }
        // Each browser where this system has it.
        if (std::string(MIROVALE_WEB_BUILD) != "") {
            for (const auto& [browser, lane] : {std::pair{CHROMIUM_PATH, &chromiumLane(false)},
                                                {FIREFOX_PATH, &firefoxLane()},
                                                {MINIBROWSER_PATH, &webkitLane()},
                                                {CHROMIUM_PATH, &chromiumLane(true)}}) {
                if (std::string(browser) != "") {
                    chosen.push_back(lane);
                }
            }
        }
        return chosen;
    }();
    return all;
}
