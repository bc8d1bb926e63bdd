#include "lane.h"

#include <filesystem>

namespace {

// The Linux build, the one the tests were first written for, and the one the others are held to.
class LinuxLane : public Lane {
public:
    std::string name() const override { return "Linux"; }
    unsigned abilities() const override {
        return Platform | Mouse | ResizedFromOutside | FifoFiles | ExactLongDrags;
    }
    std::unique_ptr<ViewerProcess> start(const std::string& dir, const std::string& display,
                                         int) const override {
        return std::make_unique<ViewerProcess>(
            dir, display, std::vector<std::string>{std::filesystem::absolute(MIROVALE_PATH).string()});
    }
};

} // namespace

const Lane& linuxLane() {
    static const LinuxLane lane;
    return lane;
}
