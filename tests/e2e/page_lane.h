#pragma once

#include "lane.h"

// Where the tests' server puts the page on its site: in a folder, as a static host serves a
// project's page, and opened at the folder's own address.
inline const char* const kPageFolder = "/maps/mirovale/";

// The web build's page in a browser, served from the viewer's folder, with its sample.raw, by
// serve.py on the loopback, at kPageFolder, with the caching a static host sends. The page is
// served with a few lines more, which tell the server each time its program has drawn at a new
// size, and when the page has caught up with a pointer move; what it prints is what its console
// says.
class PageLane : public Lane {
public:
    unsigned abilities() const override { return Platform | Mouse | Page | OtherThanLinux; }
    std::unique_ptr<ViewerProcess> start(const std::string& dir, const std::string& display, int pixelRatio,
                                         const std::string&) const override;
    // The page draws through GL emulation whose matrices are worked out in JavaScript, which puts
    // the odd line on the other side of a pixel centre from Mesa's.
    int perMilleOffLinux() const override { return 1; }
    // 512 x 512 CSS pixels, as the desktop window opens.
    int side(int pixelRatio) const override { return 512 * pixelRatio; }

protected:
    // How the browser is started so that it shows the page and nothing else: one window, no
    // toolbar, a profile of its own in a fresh folder, and the page's console on its output.
    virtual std::vector<std::string> command(const std::string& url, const std::string& profile,
                                             int pixelRatio) const = 0;
    virtual Environment environment(int) const { return {}; }
    // Whether a line the browser printed is the page's console speaking.
    virtual bool fromPage(const std::string& line) const = 0;
    // Whether the browser is driven through DevTools too, over the pipe on its fds 3 and 4.
    virtual bool devtools() const { return false; }

    friend class PageViewer;
};
