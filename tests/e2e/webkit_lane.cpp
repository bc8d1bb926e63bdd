#include "page_lane.h"

namespace {

// WebKitGTK's own small browser: full-screen it has no toolbar, its window is sized to the page,
// and GTK scales it.
class WebKitLane : public PageLane {
public:
    std::string name() const override { return "WebKit"; }

protected:
    std::vector<std::string> command(const std::string& url, const std::string&, int) const override {
        return {MINIBROWSER_PATH, "--full-screen", "--enable-write-console-messages-to-stdout=true", url};
    }
    Environment environment(int pixelRatio) const override {
        return {{"GDK_SCALE", std::to_string(pixelRatio)}};
    }
    // http://...:3:12: CONSOLE LOG text
    bool fromPage(const std::string& line) const override {
        return line.find(": CONSOLE ") != std::string::npos;
    }
};

} // namespace

const Lane& webkitLane() {
    static const WebKitLane lane;
    return lane;
}
