#pragma once

// A recording stand-in for the GL and GLUT functions the viewer calls. Tests link it
// instead of the real libraries: every call is appended to a log, and nothing draws.

#include <string>
#include <vector>

struct GlCall {
    std::string name;
    std::vector<double> args; // numbers in argument order; arrays are spelled out
    std::string text;         // the string argument, where there is one
};

// Every call since the last reset, oldest first.
std::vector<GlCall>& glLog();
void resetGlLog();

// The calls named name, in order.
std::vector<GlCall> callsNamed(const std::string& name);
// The names of the log, in order, dropping the vertex stream unless asked for it.
std::vector<std::string> callNames(bool withVertices = false);

// The callbacks the viewer registered, kept so a test can play GLUT's part.
struct GlutCallbacks {
    void (*reshape)(int, int) = nullptr;
    void (*display)() = nullptr;
    void (*mouse)(int, int, int, int) = nullptr;
    void (*motion)(int, int) = nullptr;
    void (*keyboard)(unsigned char, int, int) = nullptr;
    void (*special)(int, int, int) = nullptr;
};
GlutCallbacks& glutCallbacks();
