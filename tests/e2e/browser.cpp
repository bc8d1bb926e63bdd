#include "browser.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

// Firefox takes its settings from the profile: no first-run pages or default-browser question,
// the page's console on standard output, without the site fixes built into it, which tell that
// console of every site they fix (Firefox 140 does), a quick exit when its window closes (it
// otherwise takes seconds to tidy a profile that is thrown away), and the pixel ratio.
void writeFirefoxSettings(const std::string& profile, int pixelRatio) {
    std::ofstream prefs(profile + "/user.js");
    prefs << "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
             "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
             "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
             "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
             "user_pref(\"devtools.console.stdout.content\", true);\n"
             "user_pref(\"extensions.webcompat.perform_injections\", false);\n"
             "user_pref(\"extensions.webcompat.perform_ua_overrides\", false);\n"
             "user_pref(\"toolkit.shutdown.fastShutdownStage\", 3);\n"
             "user_pref(\"layout.css.devPixelsPerPx\", \""
          << pixelRatio << ".0\");\n";
    if (!prefs) {
        throw std::runtime_error("cannot write Firefox's settings in " + profile);
    }
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Whether a line the browser printed is the page's console speaking.
bool fromPage(const std::string& browser, const std::string& line) {
    if (browser == "chromium") {
        // [pid:tid:time:INFO:CONSOLE:3] "text", source: http://... (3)
        return line.find(":CONSOLE") != std::string::npos;
    }
    if (browser == "firefox") {
        // console.warn: "text", or "JavaScript error: http://..., line 5: ..." for an exception;
        // Firefox's own messages name their module instead of quoting.
        const size_t colon = line.find(": ");
        return (startsWith(line, "console.") && colon != std::string::npos &&
                line.compare(colon + 2, 1, "\"") == 0) ||
               startsWith(line, "JavaScript error: http") || startsWith(line, "JavaScript warning: http");
    }
    // WebKit: http://...:3:12: CONSOLE LOG text
    return line.find(": CONSOLE ") != std::string::npos;
}

} // namespace

BrowserLaunch browserLaunch(const std::string& browser, const std::string& url, const std::string& profile,
                            int pixelRatio, bool touch) {
    const std::string ratio = std::to_string(pixelRatio);
    // Each keeps its settings and caches in the profile folder, and draws through Mesa, as the
    // desktop viewer does.
    BrowserLaunch launch;
    launch.environment = {{"HOME", profile}, {"XDG_CONFIG_HOME", profile}, {"XDG_CACHE_HOME", profile}};
    if (browser == "chromium") {
        // Chromium keeps WebGL from a software GL unless told otherwise, and runs as root only
        // without its sandbox; as a test it shows no bar warning of that. The tests drive it
        // through DevTools too, over a pipe.
        launch.command = {CHROMIUM_PATH,
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
                          "--force-device-scale-factor=" + ratio,
                          "--remote-debugging-pipe",
                          touch ? "--touch-events=enabled" : "--touch-events=disabled",
                          url};
    } else if (browser == "firefox") {
        writeFirefoxSettings(profile, pixelRatio);
        launch.command = {FIREFOX_PATH, "--no-remote", "--profile", profile, "--kiosk",
                          "--width",    "512",         "--height",  "512",   url};
    } else if (browser == "webkit") {
        // WebKitGTK's own small browser: full-screen has no toolbar; the window is then sized to the
        // page, and GTK scales it.
        launch.command = {MINIBROWSER_PATH, "--full-screen", "--enable-write-console-messages-to-stdout=true",
                          url};
        launch.environment.push_back({"GDK_SCALE", ratio});
    } else {
        throw std::runtime_error("no such browser: " + browser);
    }
    return launch;
}

std::string consoleLines(const std::string& browser, const std::string& printed) {
    std::istringstream in(printed);
    std::string line;
    std::string console;
    while (std::getline(in, line)) {
        if (fromPage(browser, line)) {
            console += line + "\n";
        }
    }
    return console;
}

std::string browserWindowTitle(const std::string& browser, const std::string& title) {
    if (browser == "chromium") {
        return title + " - Chromium";
    }
    if (browser == "firefox") {
        return title + " \u2014 Mozilla Firefox";
    }
    return title;
}
