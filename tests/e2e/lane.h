#pragma once

#include "process.h"

#include <memory>
#include <string>
#include <vector>

// What a lane can show, which a case that needs it asks for.
enum Ability : unsigned {
    Platform = 1u << 0,           // its platform's own window, files and page, not only an input on them
    Mouse = 1u << 1,              // the mouse, whose pointer can leave the window; the wheel; keys
    Fingers = 1u << 2,            // left and right drags made with fingers
    ResizedFromOutside = 1u << 3, // a window resized from outside takes the size and fills it
    FifoFiles = 1u << 4,          // reads a terrain file that is a FIFO
    ExactLongDrags = 1u << 5,     // a drag of many moves turns by the same amount every time
    WindowIcon = 1u << 6,         // a window with the icon its resources hold
    Page = 1u << 7,               // a page: its canvas shown whole in a smaller window, at any pixel ratio
    DevToolsPage = 1u << 8,       // a page in a browser driven through DevTools, which emulates phones
    OtherThanLinux = 1u << 9,     // another build than the Linux one, whose pictures it must draw
    DesktopScale = 1u << 10,      // a desktop whose scale (its DPI) opens the window at another size
    XftDpi = 1u << 11,            // that DPI as any text the X server's resources may hold
};

// One way of running the viewer: a build on a platform, driven with one input. A case runs in each
// lane that has the abilities it needs.
class Lane {
public:
    virtual ~Lane() = default;
    virtual std::string name() const = 0;
    virtual unsigned abilities() const = 0;
    // Starts the viewer in dir, on display, at pixelRatio device pixels to a CSS pixel where the
    // lane has pages, and on a desktop of dpi dots to the inch (empty: one that says nothing of its
    // scale) where it has a desktop's scale.
    virtual std::unique_ptr<ViewerProcess> start(const std::string& dir, const std::string& display,
                                                 int pixelRatio, const std::string& dpi) const = 0;
    // The X display its viewers show on; empty for a private one each.
    virtual std::string display() const { return ""; }
    // The window's title for the viewer's "A very simple Mirovale".
    virtual std::string title() const;
    // Whether a viewer that ended with this status after its window closed was cut short by the
    // lane's own platform once it had ended there: its own exit status is then unknown.
    virtual bool cutShort(int) const { return false; }
    // What the viewer prints, in this lane, when it has nothing to say.
    virtual std::string silence() const { return ""; }
    // At most this many of a thousand lit pixels may differ from the Linux build's pictures.
    virtual int perMilleOffLinux() const { return 0; }
    // The side its window is made, at the top-left, once it shows; 0 where the window is left as
    // the viewer opened it.
    virtual int side(int) const { return 0; }
    bool can(unsigned needed) const { return (abilities() & needed) == needed; }
};

// Every lane this build runs: Linux where its lane runs; Wine where there is a Windows build;
// Chromium, Firefox, WebKitGTK and Chromium with fingers where there is a web build, each where its
// lane runs. The Linux lane itself is always there, as the pictures the others must draw.
const std::vector<const Lane*>& lanes();
const Lane& linuxLane();
// The Linux lane with the viewer of another Linux build, such as a release's.
std::unique_ptr<Lane> linuxBuildLane(const std::string& program);
const Lane& chromiumLane(bool fingers);
