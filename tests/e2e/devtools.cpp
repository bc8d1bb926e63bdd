#include "devtools.h"

#include "deadlines.h"

#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>
#include <utility>

using nlohmann::json;

DevTools::~DevTools() {
    close(commands_);
    close(answers_);
}

json DevTools::call(const std::string& method, const json& params) {
    if (session_.empty()) {
        const json targets = send("Target.getTargets", json::object(), "")["targetInfos"];
        for (const json& target : targets) {
            if (target["type"] == "page") {
                session_ = send("Target.attachToTarget",
                                {{"targetId", target["targetId"]}, {"flatten", true}}, "")["sessionId"];
                break;
            }
        }
        if (session_.empty()) {
            throw std::runtime_error("the browser shows no page");
        }
    }
    return send(method, params, session_);
}

json DevTools::evaluate(const std::string& expression) {
    const json result = call("Runtime.evaluate",
                             {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    if (result.contains("exceptionDetails")) {
        throw std::runtime_error(expression + " threw: " + result["exceptionDetails"].dump());
    }
    return result["result"].value("value", json());
}

json DevTools::send(const std::string& method, const json& params, const std::string& session) {
    json command = {{"id", ++lastId_}, {"method", method}, {"params", params}};
    if (!session.empty()) {
        command["sessionId"] = session;
    }
    const std::string message = command.dump() + '\0';
    for (size_t sent = 0; sent < message.size();) {
        const ssize_t written = write(commands_, message.data() + sent, message.size() - sent);
        if (written <= 0) {
            throw std::runtime_error("the browser takes no more commands");
        }
        sent += static_cast<size_t>(written);
    }
    for (;;) {
        const json reply = receive(method);
        if (reply.value("id", 0) == lastId_) {
            if (reply.contains("error")) {
                throw std::runtime_error(method + " failed: " + reply["error"].dump());
            }
            return reply["result"];
        }
        // Events are kept for waitFor; answers to other commands are passed over.
        if (reply.contains("method")) {
            events_.push_back(reply);
        }
    }
}

std::vector<json> DevTools::waitFor(const std::string& method) {
    for (;;) {
        if (!events_.empty() && events_.back().value("method", "") == method) {
            return std::exchange(events_, {});
        }
        const json event = receive(method);
        if (event.contains("method")) {
            events_.push_back(event);
        }
    }
}

// The next message, within the deadline of asking for awaited.
json DevTools::receive(const std::string& awaited) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kDeadlineSeconds);
    for (;;) {
        if (const size_t end = received_.find('\0'); end != std::string::npos) {
            const json message = json::parse(received_.substr(0, end));
            received_.erase(0, end + 1);
            return message;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable = {answers_, POLLIN, 0};
        char buffer[65536];
        ssize_t got = 0;
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0 ||
            (got = read(answers_, buffer, sizeof buffer)) <= 0) {
            throw std::runtime_error("the browser did not give " + awaited);
        }
        received_.append(buffer, static_cast<size_t>(got));
    }
}
