#include "page_lane.h"

#include <fstream>
#include <stdexcept>

namespace {

class FirefoxLane : public PageLane {
public:
    std::string name() const override { return "Firefox"; }
    std::string title() const override { return Lane::title() + " \u2014 Mozilla Firefox"; }

protected:
    // Its settings come from the profile: no first-run pages or default-browser question, the
    // page's console on standard output, without the site fixes built into it, which tell that
    // console of every site they fix, a quick exit when its window closes (it otherwise takes
    // seconds to tidy a profile that is thrown away), and the pixel ratio.
    std::vector<std::string> command(const std::string& url, const std::string& profile,
                                     int pixelRatio) const override {
        std::ofstream prefs(profile + "/user.js");
        for (const auto& [name, value] :
             {std::pair<std::string, std::string>{"browser.shell.checkDefaultBrowser", "false"},
              {"browser.startup.homepage_override.mstone", "\"ignore\""},
              {"datareporting.policy.dataSubmissionEnabled", "false"},
              {"toolkit.telemetry.reportingpolicy.firstRun", "false"},
              {"devtools.console.stdout.content", "true"},
              {"extensions.webcompat.perform_injections", "false"},
              {"extensions.webcompat.perform_ua_overrides", "false"},
              {"toolkit.shutdown.fastShutdownStage", "3"},
              {"layout.css.devPixelsPerPx", "\"" + std::to_string(pixelRatio) + ".0\""}}) {
            prefs << "user_pref(\"" << name << "\", " << value << ");\n";
        }
        if (!prefs) {
            throw std::runtime_error("cannot write Firefox's settings in " + profile);
        }
        return {FIREFOX_PATH, "--no-remote", "--profile", profile, "--kiosk",
                "--width",    "512",         "--height",  "512",   url};
    }
    // console.warn: "text", or "JavaScript error: http://..., line 5: ..." for an exception;
    // Firefox's own messages name their module instead of quoting.
    bool fromPage(const std::string& line) const override {
        const size_t colon = line.find(": ");
        return (line.rfind("console.", 0) == 0 && colon != std::string::npos &&
                line.compare(colon + 2, 1, "\"") == 0) ||
               line.rfind("JavaScript error: http", 0) == 0 || line.rfind("JavaScript warning: http", 0) == 0;
    }
};

} // namespace

const Lane& firefoxLane() {
    static const FirefoxLane lane;
    return lane;
}
