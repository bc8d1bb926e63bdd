#include "lane.h"

const Lane& wineLane();
const Lane& firefoxLane();
const Lane& webkitLane();

std::string Lane::title() const { return "A very simple Mirovale"; }

// Which lanes run is the build's choice: a Windows build folder, a web build folder, or neither.
const std::vector<const Lane*>& lanes() {
    static const std::vector<const Lane*> all = [] {
        std::vector<const Lane*> chosen = {&linuxLane()};
        if (std::string(MIROVALE_WINDOWS_BUILD) != "") {
            chosen.push_back(&wineLane());
        }
        if (std::string(MIROVALE_WEB_BUILD) != "") {
            chosen.insert(chosen.end(),
                          {&chromiumLane(false), &firefoxLane(), &webkitLane(), &chromiumLane(true)});
        }
        return chosen;
    }();
    return all;
}
