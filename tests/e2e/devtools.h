#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// Chromium's DevTools protocol, over the pipe that --remote-debugging-pipe opens: each message a
// JSON object ended by a NUL byte, commands on the browser's fd 3, answers and events on its fd 4.
// Commands go to the page, in a session attached to it on first use.
class DevTools {
public:
    // Takes the two pipe ends: the one the browser reads commands from, and the one it answers on.
    DevTools(int commands, int answers) : commands_(commands), answers_(answers) {}
    ~DevTools();
    DevTools(const DevTools&) = delete;
    DevTools& operator=(const DevTools&) = delete;

    // Runs method with params on the page and returns its result. Throws on an error answer, or
    // when none comes within 30 seconds.
    nlohmann::json call(const std::string& method, const nlohmann::json& params = nlohmann::json::object());
    // The value of a JavaScript expression on the page, once the promise it gives (if it does) has
    // settled.
    nlohmann::json evaluate(const std::string& expression);
    // Waits for the event method (of a domain enabled before) within 30 seconds, and returns every
    // event received until then, in order, and it last; throws if it does not come.
    std::vector<nlohmann::json> waitFor(const std::string& method);

private:
    nlohmann::json send(const std::string& method, const nlohmann::json& params, const std::string& session);
    nlohmann::json receive(const std::string& awaited);
    std::vector<nlohmann::json> events_;

    int commands_;
    int answers_;
    int lastId_ = 0;
    std::string received_;
    std::string session_;
};
