#pragma once

#include <string>
#include <utility>
#include <vector>

// How each browser the web build is proven in is started so that it shows the page and nothing
// else: one window of 512 x 512 CSS pixels at the top-left, no toolbar, a profile of its own in a
// fresh folder, and the page's console written out where consoleLines finds it.
struct BrowserLaunch {
    std::vector<std::string> command;
    std::vector<std::pair<std::string, std::string>> environment;
};

// browser: "chromium", "firefox" or "webkit"; pixelRatio: device pixels to a CSS pixel; touch: the
// page is on a touch screen (Chromium only).
BrowserLaunch browserLaunch(const std::string& browser, const std::string& url, const std::string& profile,
                            int pixelRatio, bool touch);

// What the page's console said, one message a line, out of all that the browser printed.
std::string consoleLines(const std::string& browser, const std::string& printed);

// The title the browser gives the window of a page titled title.
std::string browserWindowTitle(const std::string& browser, const std::string& title);
