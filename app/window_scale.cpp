#include "app/window_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A scale of a half: no desktop offers less, and a smaller window would be of little use.
const double kLeastDpi = 48.0;
const double kUnscaledDpi = 96.0;

} // namespace

WindowSize scaledWindowSize(WindowSize size, double dpi, WindowSize screen) {
    const double scale = dpi >= kLeastDpi ? dpi / kUnscaledDpi : 1.0; // NaN too counts as 96
    const double fits = std::min(double(screen.width) / size.width, double(screen.height) / size.height);
    const double used = scale > 1.0 ? std::max(1.0, std::min(scale, fits)) : scale;
    return {static_cast<int>(std::lround(size.width * used)),
            static_cast<int>(std::lround(size.height * used))};
}

double parseDpi(const char* text) {
    char* end = nullptr;
    const double dpi = text ? std::strtod(text, &end) : 0.0;
    if (end == text || !std::isfinite(dpi)) {
        return 0.0;
    }
    while (*end == ' ' || *end == '\t') {
        ++end;
    }
    return *end == '\0' ? dpi : 0.0;
}
