#include "page_lane.h"

namespace {

// The page in Chromium, driven with the mouse, or with fingers through DevTools on a touch screen.
class ChromiumLane : public PageLane {
public:
    explicit ChromiumLane(bool fingers) : fingers_(fingers) {}
    std::string name() const override { return fingers_ ? "ChromiumTouch" : "Chromium"; }
    // Its DevTools emulate a phone's screen, or a phone's WebGL; with fingers it adds an input,
    // not a platform.
    unsigned abilities() const override {
        return fingers_ ? Fingers | Page | OtherThanLinux | DevToolsPage
                        : PageLane::abilities() | DevToolsPage;
    }
    std::string title() const override { return Lane::title() + " - Chromium"; }

protected:
    // Chromium keeps WebGL from a software GL unless told otherwise, and runs as root only without
    // its sandbox; as a test it shows no bar warning of that.
    std::vector<std::string> command(const std::string& url, const std::string& profile,
                                     int pixelRatio) const override {
        return {CHROMIUM_PATH,
                "--user-data-dir=" + profile,
                "--no-sandbox",
                "--test-type",
                "--no-first-run",
                "--disable-background-networking",
                "--disable-component-update",
                "--disable-sync",
                "--password-store=basic",
                "--ignore-gpu-blocklist",
                "--enable-logging=stderr",
                "--kiosk",
                "--window-position=0,0",
                "--window-size=512,512",
                "--force-device-scale-factor=" + std::to_string(pixelRatio),
                "--remote-debugging-pipe",
                fingers_ ? "--touch-events=enabled" : "--touch-events=disabled",
                url};
    }
    // [pid:tid:time:INFO:CONSOLE:3] "text", source: http://... (3)
    bool fromPage(const std::string& line) const override {
        return line.find(":CONSOLE") != std::string::npos;
    }
    bool devtools() const override { return true; }

private:
    bool fingers_;
};

} // namespace

const Lane& chromiumLane(bool fingers) {
    static const ChromiumLane mouse(false), touch(true);
    return fingers ? touch : mouse;
}
