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
};

// Synchronous HTTP over libcurl, safe to call from any thread.
Response get(const Request& request);
Response post(const Request& request);

} // namespace velmora::http
