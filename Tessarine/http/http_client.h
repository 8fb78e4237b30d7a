#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::http {

struct BasicAuth {
    std::string user;
    std::string password;
};

struct Request {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<BasicAuth> auth;
    std::string body;
    // A dead host must not freeze the window for minutes; a slow but live
    // server gets a generous whole-request bound.
    std::chrono::milliseconds connect_timeout { std::chrono::seconds(10) };
    std::chrono::milliseconds total_timeout { std::chrono::seconds(120) };
};

struct Response {
    long status_code = 0; // 0 when no HTTP answer came
    std::string text; // the body as received
    std::string error; // transport error text, empty on a completed exchange

    // What a failure report puts after the status: the body, or the transport error when no
    // HTTP answer came, so that "[0]:" always says why.
    const std::string& bodyOrError() const { return status_code == 0 ? error : text; }
};

// Synchronous HTTP over libcurl, safe to call from any thread.
Response get(const Request& request);
Response post(const Request& request);

// Aborts every running request and fails every later one at once (status 0): for a program
// that is going away. There is no way back. Async-signal-safe, so a signal handler may call it.
void interruptRequests() noexcept;

} // namespace velmora::http
