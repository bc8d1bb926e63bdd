// The window's size in the Windows desktop's units. The program's manifest says it is aware of the
// system's DPI (windows/mirovale.manifest), so Windows neither stretches its picture nor sizes its
// window for it: the window is sized here by the system DPI, as the user's scale sets it. The
// shared code asks GLUT for a 512 x 512 window; the link (cmake/windows.cmake) sends that request
// here first.
#include "app/window_scale.h"

#include <windows.h>

extern "C" void __real_glutInitWindowSize(int width, int height);

extern "C" void __wrap_glutInitWindowSize(int width, int height) {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    ReleaseDC(nullptr, screen);
    const WindowSize size = scaledWindowSize({width, height}, dpi,
                                             {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    __real_glutInitWindowSize(size.width, size.height);
}
