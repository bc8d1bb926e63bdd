#pragma once

// Windows are sized in the desktop's own units, 96 to the inch as at a scale of 1, and drawn in its
// device pixels: a desktop scaled to 150 % says it has 144 dots to the inch. Each desktop platform
// asks its own desktop (linux/, windows/) and sizes the window by these rules.

// A window of width x height desktop units, in the device pixels of a desktop of dpi dots to the
// inch whose screen is screenWidth x screenHeight pixels. A dpi that is not a number from 48 up
// says nothing sensible and counts as 96. The scale makes the window at most as large as the
// screen, never larger, and keeps its shape; it never makes it smaller than it is unscaled.
struct WindowSize {
    int width, height;
};
WindowSize scaledWindowSize(WindowSize size, double dpi, WindowSize screen);

// A dots-per-inch setting written as text, such as "144" or "96.5"; 0 where it is not a number.
double parseDpi(const char* text);
