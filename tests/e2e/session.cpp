#include "session.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <png.h>

#include <algorithm>
#include <iostream>
#include <poll.h>
#include <stdexcept>

using Clock = std::chrono::steady_clock;

namespace {

// A request on a window that has gone fails its call instead of ending the test process.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

} // namespace

Session::Session(const Lane& lane, const std::function<void(const TempDir&)>& prepare, int pixelRatio,
                 const std::string& dpi, double deadlineSeconds)
    : lane_(lane), display_(nullptr, XCloseDisplay), ratio_(pixelRatio), deadline_(deadlineSeconds) {
    prepare(dir_);
    const std::string name = lane.display().empty() ? x_.emplace().display() : lane.display();
    display_.reset(XOpenDisplay(name.c_str()));
    Display* display = display_.get();
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor) ||
        !XDamageQueryExtension(display, &damageEvent_, &error)) {
        throw std::runtime_error("cannot open display " + name + " with its XTest and DAMAGE extensions");
    }
    XSetErrorHandler(ignoreXError);
    // Windows are watched from their making, before anything can be drawn in them.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    viewer_ = lane.start(dir_.path(), name, pixelRatio, dpi);
    // The one top-level window the viewer shows, once it is mapped: no other client shows one here.
    const Clock::time_point start = Clock::now();
    for (std::vector<unsigned long> shown; (shown = shownWindows()).size() != 1; damaged(0.2)) {
        if (shown.size() > 1 || !viewer_->running() || secondsSince(start) > deadline_) {
            throw std::runtime_error("the viewer shows " + std::to_string(shown.size()) +
                                     " windows; it printed: " + viewer_->printed());
        }
    }
    window_ = shownWindows()[0];
    pageSide_ = lane.side(pixelRatio);
    while (pageSide_ > 0 && size() != std::make_pair(pageSide_, pageSide_)) {
        if (secondsSince(start) > deadline_) {
            throw std::runtime_error("the window keeps another size than " + std::to_string(pageSide_));
        }
        XMoveResizeWindow(display, window_, 0, 0, pageSide_, pageSide_);
        XEvent configured;
        while (!XCheckTypedWindowEvent(display, window_, ConfigureNotify, &configured) &&
               secondsSince(start) <= deadline_) {
            pollfd readable = {ConnectionNumber(display), POLLIN, 0};
            poll(&readable, 1, 100);
        }
    }
}

Session::~Session() = default;

// Leaving out the 1 x 1 helper window that Wine keeps mapped.
std::vector<unsigned long> Session::shownWindows() {
    Display* display = display_.get();
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    std::vector<unsigned long> shown;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned k = 0; k < count; ++k) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[k], &attributes) && attributes.map_state == IsViewable &&
            attributes.width * attributes.height > 1) {
            shown.push_back(children[k]);
        }
    }
    XFree(children);
    return shown;
}

// Every top-level window is watched from its making, before anything can be drawn in it, for
// changes to its pixels (one notice until they are taken note of), to its size, and for its going.
// Only the viewer's windows are on this server.
bool Session::damaged(double timeoutSeconds) {
    Display* display = display_.get();
    const Clock::time_point start = Clock::now();
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow(display)) {
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
                XSelectInput(display, event.xcreatewindow.window, StructureNotifyMask);
            } else if (event.type == UnmapNotify || event.type == DestroyNotify) {
                return true;
            } else if (event.type == damageEvent_ + XDamageNotify) {
                XDamageSubtract(display, reinterpret_cast<const XDamageNotifyEvent*>(&event)->damage, None,
                                None);
                changed_ = true;
                return true;
            }
        }
        const double left = timeoutSeconds - secondsSince(start);
        pollfd readable = {ConnectionNumber(display), POLLIN, 0};
        if (left <= 0 || poll(&readable, 1, static_cast<int>(left * 1000) + 1) <= 0) {
            return false;
        }
    }
}

// The window shows the last frame once the viewer has caught up with everything sent to it, and
// the window has had no change for a quiet spell since.
Image Session::picture() {
    const Clock::time_point start = Clock::now();
    for (bool settled = false; !settled && secondsSince(start) < deadline_;) {
        settled = caughtUp(deadline_ - secondsSince(start));
        while (damaged(kQuietSeconds) && secondsSince(start) < deadline_) {
            settled = false;
        }
        // A desktop viewer that the server's answers woke may have more of its frame to send.
        settled = settled && (lane_.can(Page) || viewer_->idle());
    }
    return capture();
}

// A desktop viewer has caught up once it sleeps with nothing left to read. A page says so a frame
// after it has seen the pointer move to a mark, sent after everything else: a new one each time,
// at the window's left edge, where no drag goes; no program there answers a move without a button.
bool Session::caughtUp(double timeoutSeconds) {
    if (!lane_.can(Page)) {
        // What it sent before it slept has been read, but the X server may not have drawn it yet.
        const bool idle = viewer_->idle();
        sent();
        return idle;
    }
    const int mark = 1 + static_cast<int>(++marks_ % 256);
    movePointer(ratio_, mark * ratio_);
    return viewer_->seen(1, mark, timeoutSeconds);
}

Image Session::firstPicture() {
    // A desktop viewer's first frame is the first change to its window; a page says when it has
    // drawn. One that never gets that far is judged by what it shows all the same.
    if (!pageShown() && !changed_) {
        damaged(deadline_);
    }
    return picture();
}

// A page's frame is on the screen once the window shows what the page says it drew, at the size
// it is shown: something where it drew lines, all black where it only cleared (a browser shows its
// own background, every pixel lit, until it first shows the page), and nothing outside the canvas
// (where the page laid out at another size shows). Frames that are not are waited past.
bool Session::pageShown() {
    const std::optional<bool> lines = viewer_->drawn(pageSide_, deadline_);
    const Clock::time_point start = Clock::now();
    for (Image shown = capture(); lines; shown = capture()) {
        const LitArea lit = litArea(shown);
        if ((lit.count > 0) == *lines && lit.count < shown.width * shown.height && lit.right < pageSide_ &&
            lit.bottom < pageSide_) {
            return true;
        }
        if (!damaged(deadline_ - secondsSince(start))) {
            break;
        }
    }
    return lines.has_value();
}

Image Session::pageLoadedAgain(const std::function<void()>& loadAgain) {
    viewer_->loadsAgain();
    loadAgain();
    pageShown();
    return picture();
}

Image Session::pictureChangedFrom(const Image& before) {
    const Clock::time_point start = Clock::now();
    Image shown = picture();
    while (shown == before && damaged(deadline_ - secondsSince(start))) {
        shown = picture();
    }
    return shown;
}

Image Session::capture() {
    const auto [width, height] = size();
    XImage* shot = XGetImage(display_.get(), window_, 0, 0, width, height, AllPlanes, ZPixmap);
    if (shot == nullptr) {
        throw std::runtime_error("cannot read the window's pixels");
    }
    // On this server's 24-bit true-colour screen a pixel value is 0xRRGGBB already.
    Image image{width, height, {}};
    image.pixels.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.pixels.push_back(XGetPixel(shot, x, y) & 0xffffff);
        }
    }
    XDestroyImage(shot);
    return image;
}

std::pair<int, int> Session::size() {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_.get(), window_, &attributes)) {
        throw std::runtime_error("the viewer's window has gone");
    }
    return {attributes.width, attributes.height};
}

void Session::resize(int width, int height) {
    XResizeWindow(display_.get(), window_, width, height);
    sent();
    // A page shows its canvas at most 512 CSS pixels square, and whole.
    pageSide_ = std::min({512 * ratio_, width, height});
    pageShown();
}

// A property of the window, of the given type and format (8 for bytes, 32 for longs); empty where
// the window has no such property.
std::vector<unsigned char> Session::property(const char* name, const char* type, int format) {
    Display* display = display_.get();
    Atom got = None;
    int gotFormat = 0;
    unsigned long length = 0, remaining = 0;
    unsigned char* value = nullptr;
    std::vector<unsigned char> bytes;
    if (XGetWindowProperty(display, window_, XInternAtom(display, name, False), 0, 1 << 20, False,
                           XInternAtom(display, type, False), &got, &gotFormat, &length, &remaining,
                           &value) == Success &&
        value != nullptr && gotFormat == format) {
        bytes.assign(value, value + length * (format == 32 ? sizeof(long) : 1));
    }
    XFree(value);
    return bytes;
}

// The UTF-8 name that current programs give, or else the older Latin-1 one.
std::string Session::title() {
    std::vector<unsigned char> name = property("_NET_WM_NAME", "UTF8_STRING", 8);
    if (name.empty()) {
        name = property("WM_NAME", "STRING", 8);
    }
    return {name.begin(), name.end()};
}

// _NET_WM_ICON holds one picture after another, each its width and height, then its pixels as
// 0xAARRGGBB, one to a long.
Image Session::icon(int size) {
    const std::vector<unsigned char> bytes = property("_NET_WM_ICON", "CARDINAL", 32);
    const long* data = reinterpret_cast<const long*>(bytes.data());
    const size_t length = bytes.size() / sizeof(long);
    for (size_t k = 0; k + 2 <= length && data[k] * data[k + 1] <= long(length - k - 2);
         k += 2 + data[k] * data[k + 1]) {
        if (data[k] == size && data[k + 1] == size) {
            Image icon{size, size, {}};
            for (long p = 0; p < size * size; ++p) {
                icon.pixels.push_back(static_cast<uint32_t>(data[k + 2 + p]) & 0xffffff);
            }
            return icon;
        }
    }
    return {};
}

void Session::movePointer(int x, int y) {
    Display* display = display_.get();
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, window_, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    sent();
}

// The X server takes in the input the requests before make, and writes out the events it makes of
// it, before it reads a later request from any client: once a round trip has come back, a second
// one comes back only once those events are on their way to the viewer.
void Session::sent() {
    XSync(display_.get(), False);
    XSync(display_.get(), False);
}

void Session::drag(int button, const Path& path) {
    if (lane_.can(Fingers) && (button == 1 || button == 3)) {
        const Finger resting{1, path[0].first, 500 * ratio_};
        if (button == 3 && std::any_of(path.begin(), path.end(), [&](const auto& point) {
                return point.first != resting.x || point.second >= resting.y;
            })) {
            throw std::runtime_error(
                "a two-finger drag follows a path straight up or down above the resting finger");
        }
        if (button == 3) {
            touch("touchStart", {resting});
        }
        touch("touchStart", {{0, path[0].first, path[0].second}});
        for (size_t k = 1; k < path.size(); ++k) {
            touch("touchMove", {{0, path[k].first, path[k].second}});
        }
        touch("touchEnd", {{0, path.back().first, path.back().second}});
        if (button == 3) {
            touch("touchEnd", {resting});
        }
        return;
    }
    movePointer(path[0].first, path[0].second);
    XTestFakeButtonEvent(display_.get(), button, True, CurrentTime);
    for (size_t k = 1; k < path.size(); ++k) {
        movePointer(path[k].first, path[k].second);
    }
    XTestFakeButtonEvent(display_.get(), button, False, CurrentTime);
    sent();
}

void Session::touch(const std::string& type, const std::vector<Finger>& fingers) {
    nlohmann::json points = nlohmann::json::array();
    for (const Finger& finger : fingers) {
        // In CSS pixels, as a finger lands on the page.
        points.push_back(
            {{"x", double(finger.x) / ratio_}, {"y", double(finger.y) / ratio_}, {"id", finger.id}});
    }
    viewer_->devtools().call("Input.dispatchTouchEvent", {{"type", type}, {"touchPoints", points}});
}

void Session::pressKeys(const std::vector<std::string>& keys) {
    Display* display = display_.get();
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    for (const std::string& key : keys) {
        const KeySym symbol = XStringToKeysym(key.c_str());
        const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
        if (code == 0) {
            throw std::runtime_error("no key gives " + key);
        }
        // A symbol on a key's second level, such as plus, comes with Shift held.
        const bool shifted = XkbKeycodeToKeysym(display, code, 0, 0) != symbol;
        if (shifted) {
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        }
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        if (shifted) {
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
        }
    }
    sent();
}

Image Session::screenshot() {
    const std::string data = viewer_->devtools().call("Page.captureScreenshot", {{"format", "png"}})["data"];
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<uint8_t> png;
    unsigned bits = 0;
    for (size_t k = 0; k < data.size() && data[k] != '='; ++k) {
        bits = bits << 6 | static_cast<unsigned>(digits.find(data[k]));
        if (k % 4 != 0) { // each digit after a group's first completes a byte
            png.push_back(static_cast<uint8_t>(bits >> (6 - 2 * (k % 4))));
        }
    }
    return decodePng(png);
}

int Session::closeWindow() {
    Display* display = display_.get();
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window_, False, NoEventMask, &event);
    XSync(display, False);
    // However long its start was given, a viewer ends as soon as any other.
    if (!lane_.can(Page)) {
        const int status = viewer_->waitForExit(kDeadlineSeconds);
        if (lane_.cutShort(status)) {
            std::cout << "[   NOTE   ] " << lane_.name() << " cut the viewer's end short (status " << status
                      << ") after its window closed: its own exit status is unknown\n";
            return 0;
        }
        return status;
    }
    // A browser takes its window down once the page has unloaded: a page that asks first
    // (beforeunload) keeps it up, showing the question. How soon the browser itself ends after
    // that is its own business; one that takes too long is stopped, and named.
    const Clock::time_point start = Clock::now();
    XWindowAttributes attributes;
    while (XGetWindowAttributes(display, window_, &attributes) && attributes.map_state == IsViewable) {
        if (secondsSince(start) > kDeadlineSeconds) {
            return -1;
        }
        damaged(kDeadlineSeconds - secondsSince(start));
    }
    const int status = viewer_->waitForExit(kBrowserEndSeconds);
    if (status == -1) {
        std::cout << "[   NOTE   ] " << lane_.name() << " had not ended " << secondsSince(start)
                  << " s after its window closed, its page unloaded: it is stopped\n";
        return 0;
    }
    return status;
}

Image decodePng(const std::vector<uint8_t>& bytes) {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    Image image;
    if (png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
        png.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
        if (png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
            image = {static_cast<int>(png.width), static_cast<int>(png.height), {}};
            for (size_t k = 0; k + 2 < rgb.size(); k += 3) {
                image.pixels.push_back(uint32_t(rgb[k]) << 16 | uint32_t(rgb[k + 1]) << 8 | rgb[k + 2]);
            }
        }
    }
    png_image_free(&png);
    return image;
}

Path line(int x0, int y0, int x1, int y1, int steps) {
    Path path;
    for (int k = 0; k <= steps; ++k) {
        path.push_back({x0 + (x1 - x0) * k / steps, y0 + (y1 - y0) * k / steps});
    }
    return path;
}

LitArea litArea(const Image& image) {
    LitArea area;
    area.left = image.width;
    area.top = image.height;
    double sumX = 0.0, sumY = 0.0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) != 0) {
                ++area.count;
                sumX += x;
                sumY += y;
                area.left = std::min(area.left, x);
                area.right = std::max(area.right, x);
                area.top = std::min(area.top, y);
                area.bottom = std::max(area.bottom, y);
            }
        }
    }
    if (area.count > 0) {
        area.centreX = sumX / area.count;
        area.centreY = sumY / area.count;
    }
    return area;
}

int greyPixels(const Image& image) {
    return static_cast<int>(std::count_if(image.pixels.begin(), image.pixels.end(),
                                          [](uint32_t pixel) { return pixel != 0 && pixel != 0xffffffu; }));
}

int differingPixels(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) {
        return -1;
    }
    int count = 0;
    for (size_t k = 0; k < a.pixels.size(); ++k) {
        count += a.pixels[k] != b.pixels[k];
    }
    return count;
}
