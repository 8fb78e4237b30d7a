#pragma once

#include "check_server.h"
#include "demo_check_scenario.h"
#include "review_server.h"
#include "tag_server.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace velmora::demo {

// The three services of the demo, on the endpoints compiled into the build,
// loaded with the demo's users, tags and check story, and the update feed,
// whose one version is the build's own. Every request is reported through the
// given function (called on server threads).
class DemoServices {
public:
    using Report = std::function<void(const std::string&)>;

    DemoServices(std::chrono::milliseconds pace, Report report);
    ~DemoServices();

    // Binds all four; throws std::runtime_error naming the endpoint that failed.
    void start();
    void stop();

    // What is served where, one line each.
    std::vector<std::string> summary() const;

private:
    Report report_;
    DemoCheckScenario scenario_;
    standin::CheckServer check_;
    standin::ReviewServer review_;
    standin::TagServer tags_;
    standin::StandInServer feed_;
};

} // namespace velmora::demo
