#include "demo_services.h"

#include "build_config.h"
#include "demo_scenario.h"

#include <stdexcept>
#include <utility>

namespace velmora::demo {
namespace {

    struct Endpoint {
        std::string host;
        int port = 0;
    };

    // "http://host:port" as the build compiles it in (no path, no trailing slash).
    Endpoint endpointOf(const std::string& url, const char* what)
    {
        const std::string scheme = "http://";
        const size_t colon = url.rfind(':');
        if (url.compare(0, scheme.size(), scheme) != 0 || colon < scheme.size() || colon + 1 >= url.size()
            || url.find('/', scheme.size()) != std::string::npos)
            throw std::runtime_error(std::string(what) + ": the build's URL " + url
                + " is not http://host:port; configure the build as scripts/demo does");
        return { url.substr(scheme.size(), colon - scheme.size()), std::stoi(url.substr(colon + 1)) };
    }

    const standin::TagServer::TagList& demoTags()
    {
        static const standin::TagServer::TagList tags {
            { "feature", "新功能" },
            { "bugfix", "缺陷修复" },
            { "optimize", "性能优化" },
            { "art", "美术资源更新" },
            { "config", "配置表调整" },
            { "refactor", "代码重构" },
        };
        return tags;
    }

    std::vector<standin::ReviewServer::User> demoUsers()
    {
        return {
            { kUser, kUserFullName, std::string(kUser) + "@velmora.example" },
            { "lina", "李娜", "lina@velmora.example" },
            { "wangfang", "王芳", "wangfang@velmora.example" },
            { "liuyang", "刘洋", "liuyang@velmora.example" },
            { "chenjing", "陈静", "chenjing@velmora.example" },
            { "zhaolei", "赵磊", "zhaolei@velmora.example" },
            // The API user is a user of the server too, and the author of the reviews it creates.
            { build_config::kSwarmUser, "Swarm", std::string(build_config::kSwarmUser) + "@velmora.example" },
        };
    }

    void bind(standin::StandInServer& server, const Endpoint& endpoint, const char* what)
    {
        try {
            server.start(endpoint.port, endpoint.host);
        } catch (const std::exception& e) {
            throw std::runtime_error(std::string(what) + ": " + e.what() + " (is another demo running?)");
        }
    }

} // namespace

DemoServices::DemoServices(std::chrono::milliseconds pace, Report report)
    : report_(std::move(report))
    , scenario_(pace, report_)
    , review_(build_config::kSwarmUser, build_config::kSwarmToken)
{
    check_.setScriptSource([this](const httplib::Request& request) { return scenario_.scriptFor(request); });
    review_.setUsers(demoUsers());
    // A workflow that lets a change through once it is linked to a review.
    review_.setCheckRule(standin::ReviewServer::CheckRule::LinkedReview);
    tags_.replyWithTags(demoTags());

    const auto log = [this](const char* name) {
        return [this, name](const httplib::Request& request, const httplib::Response& response) {
            report_(std::string(name) + ": " + request.method + " " + request.target + " -> "
                + std::to_string(response.status));
        };
    };
    check_.http().set_logger(log("check server"));
    review_.http().set_logger(log("review server"));
    tags_.http().set_logger(log("tag service"));
}

DemoServices::~DemoServices() { stop(); }

void DemoServices::start()
{
    bind(check_, { build_config::kCheckServerHost, build_config::kCheckServerPort }, "submit-check server");
    bind(review_, endpointOf(build_config::kSwarmUrl, "review server"), "review server");
    bind(tags_, endpointOf(build_config::kTagServiceUrl, "tag service"), "tag service");
}

void DemoServices::stop()
{
    // The check handler reads the scenario: stop the servers before members go.
    check_.stop();
    review_.stop();
    tags_.stop();
}

std::vector<std::string> DemoServices::summary() const
{
    std::string users;
    for (const auto& user : demoUsers())
        users += (users.empty() ? "" : ", ") + user.user + " " + user.full_name;
    std::string tags;
    for (const auto& [name, description] : demoTags())
        tags += (tags.empty() ? "" : ", ") + ("[" + name + "] " + description);
    return {
        "submit-check server " + check_.baseUrl()
            + "/ : the first check fails with 3 checker groups, every later check passes",
        "review server       " + review_.baseUrl() + " : users " + users,
        "                    change " + std::to_string(kChange)
            + " has no review yet; its change check passes once a review is linked to it",
        "tag service         " + tags_.baseUrl() + tags_.projectPath() + " : " + tags,
    };
}

} // namespace velmora::demo
