// The window's size in the X desktop's units: a desktop scaled to 150 % or 200 % says so as Xft.dpi
// in the X server's resource database, which GTK, Qt and browsers read too. The shared code asks
// GLUT for a 512 x 512 window; the link (cmake/linux.cmake) sends that request here first.
#include "app/window_scale.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

extern "C" void __real_glutInitWindowSize(int width, int height);

namespace {

// Xft.dpi as the desktop set it (0 where it did not, or where there is no X server to ask), and
// the size of its screen.
struct Desktop {
    double dpi = 0.0;
    WindowSize screen = {0, 0};
};

Desktop askDesktop() {
    Desktop desktop;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return desktop;
    }
    desktop.screen = {DisplayWidth(display, DefaultScreen(display)),
                      DisplayHeight(display, DefaultScreen(display))};
    if (const char* resources = XResourceManagerString(display)) {
        XrmInitialize();
        XrmDatabase database = XrmGetStringDatabase(resources);
        char* type = nullptr;
        XrmValue value = {0, nullptr};
        if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
            desktop.dpi = parseDpi(value.addr);
        }
        XrmDestroyDatabase(database);
    }
    XCloseDisplay(display);
    return desktop;
}

} // namespace

extern "C" void __wrap_glutInitWindowSize(int width, int height) {
    const Desktop desktop = askDesktop();
    const WindowSize size = scaledWindowSize({width, height}, desktop.dpi, desktop.screen);
    __real_glutInitWindowSize(size.width, size.height);
}
