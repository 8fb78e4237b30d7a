#pragma once

#include "check_server.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include <httplib.h>

namespace velmora::demo {

// The demo's submit check: reads the request like the real server, streams
// English progress lines with a pause before each, and ends with the verdict:
// failed with three checker groups on the first check, passed on every later
// one (as if the developer had fixed the problems). A request that is not a
// check request gets 400 and does not count. Each answer is told to `report`.
class DemoCheckScenario {
public:
    using Report = std::function<void(const std::string&)>;

    DemoCheckScenario(std::chrono::milliseconds pace, Report report);

    // Safe to call from several server threads at once.
    standin::CheckReplyScript scriptFor(const httplib::Request& request);

private:
    std::chrono::milliseconds pace_;
    Report report_;
    std::atomic<int> checks_ { 0 };
};

} // namespace velmora::demo
