#include "devtools.h"

#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

DevTools::DevTools(int commands, int answers) : commands_(commands), answers_(answers) {}

DevTools::~DevTools() {
    close(commands_);
    close(answers_);
}

std::string DevTools::call(const std::string& method, const std::string& params) {
    if (session_.empty()) {
        // The page is the target whose type is "page".
        const std::string targets = send("Target.getTargets", "{}", "");
        size_t at = 0;
        std::string page;
        while (page.empty() && (at = targets.find("{\"targetId\":", at)) != std::string::npos) {
            const std::string target = targets.substr(at, targets.find('}', at) - at);
            if (target.find("\"type\":\"page\"") != std::string::npos) {
                page = jsonValue(target, "targetId");
            }
            ++at;
        }
        if (page.empty()) {
            throw std::runtime_error("the browser shows no page: " + targets);
        }
        session_ = jsonValue(
            send("Target.attachToTarget", "{\"targetId\":" + jsonString(page) + ",\"flatten\":true}", ""),
            "sessionId");
    }
    return send(method, params, session_);
}

std::string DevTools::evaluate(const std::string& expression) {
    const std::string result =
        call("Runtime.evaluate", "{\"expression\":" + jsonString(expression) + ",\"returnByValue\":true}");
    return jsonValue(result, "value");
}

std::string DevTools::send(const std::string& method, const std::string& params, const std::string& session) {
    const int id = ++lastId_;
    std::string message = "{\"id\":" + std::to_string(id) + ",";
    if (!session.empty()) {
        message += "\"sessionId\":" + jsonString(session) + ",";
    }
    message += "\"method\":" + jsonString(method) + ",\"params\":" + params + "}";
    message.push_back('\0');
    for (size_t sent = 0; sent < message.size();) {
        const ssize_t written = write(commands_, message.data() + sent, message.size() - sent);
        if (written <= 0) {
            throw std::runtime_error("the browser takes no more commands");
        }
        sent += static_cast<size_t>(written);
    }
    // Answers begin with their id; events, which nothing here asks for, are passed over.
    const std::string answer = "{\"id\":" + std::to_string(id) + ",";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        size_t end = 0;
        while ((end = received_.find('\0')) != std::string::npos) {
            const std::string reply = received_.substr(0, end);
            received_.erase(0, end + 1);
            if (reply.rfind(answer, 0) != 0) {
                continue;
            }
            if (reply.find("\"error\":", answer.size()) == answer.size()) {
                throw std::runtime_error(method + " failed: " + reply);
            }
            return reply;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable = {answers_, POLLIN, 0};
        char buffer[65536];
        ssize_t got = 0;
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0 ||
            (got = read(answers_, buffer, sizeof buffer)) <= 0) {
            throw std::runtime_error("the browser did not answer " + method);
        }
        received_.append(buffer, static_cast<size_t>(got));
    }
}

std::string jsonString(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
        }
        json += c == '\n' ? ' ' : c;
    }
    return json + "\"";
}

std::string jsonValue(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    size_t at = json.find(key);
    if (at == std::string::npos) {
        return "";
    }
    at += key.size();
    std::string value;
    if (json[at] != '"') {
        while (at < json.size() && json[at] != ',' && json[at] != '}' && json[at] != ']') {
            value += json[at++];
        }
        return value;
    }
    for (++at; at < json.size() && json[at] != '"'; ++at) {
        if (json[at] == '\\' && at + 1 < json.size()) {
            ++at;
        }
        value += json[at];
    }
    return value;
}

std::vector<uint8_t> base64Decode(const std::string& text) {
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<uint8_t> bytes;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const size_t digit = digits.find(c);
        if (digit == std::string::npos) {
            continue; // padding
        }
        bits = bits << 6 | static_cast<unsigned>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    return bytes;
}
