#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Chromium's DevTools protocol, over the pipe that --remote-debugging-pipe opens: each message a
// JSON object ended by a NUL byte, commands on the browser's fd 3, answers and events on its fd 4.
// Commands go to the page, in a session attached to it on first use.
class DevTools {
public:
    // Takes the two pipe ends: the one the browser reads commands from, and the one it answers on.
    DevTools(int commands, int answers);
    ~DevTools();
    DevTools(const DevTools&) = delete;
    DevTools& operator=(const DevTools&) = delete;

    // Runs method with params (a JSON object) on the page; returns the answer, as JSON, whose
    // values jsonValue finds. Throws on an error answer, or when none comes within 30 seconds.
    std::string call(const std::string& method, const std::string& params = "{}");
    // The value of a JavaScript expression on the page, as JSON.
    std::string evaluate(const std::string& expression);

private:
    std::string send(const std::string& method, const std::string& params, const std::string& session);

    int commands_ = -1;
    int answers_ = -1;
    int lastId_ = 0;
    std::string received_;
    std::string session_;
};

// text as a JSON string.
std::string jsonString(const std::string& text);
// The first value named name in json: a number or literal as written, or a string's text.
std::string jsonValue(const std::string& json, const std::string& name);
std::vector<uint8_t> base64Decode(const std::string& text);
