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

    // "http://host:port" as the build compiles it in, with a path where `path` takes one
    // (no trailing slash otherwise).
    Endpoint endpointOf(const std::string& url, const char* what, std::string* path = nullptr)
    {
        const std::string scheme = "http://";
        const size_t slash = url.find('/', scheme.size());
        const std::string authority = url.substr(0, slash);
        const size_t colon = authority.rfind(':');
        if (url.compare(0, scheme.size(), scheme) != 0 || colon < scheme.size()
            || colon + 1 >= authority.size()
            || authority.find_first_not_of("0123456789", colon + 1) != std::string::npos
            || (slash != std::string::npos) != (path != nullptr))
            throw std::runtime_error(std::string(what) + ": the build's URL " + url
                + " is not http://host:port" + (path ? "/path" : "")
                + "; configure the build as scripts/demo does");
        if (path)
            *path = url.substr(slash);
        return { authority.substr(scheme.size(), colon - scheme.size()),
            std::stoi(authority.substr(colon + 1)) };
    }

    // The newest version the feed offers is the one the demo runs, so the update
    // check finds it current.
    std::string demoAppcast()
    {
        const std::string version = build_config::kApplicationVersion;
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
               " <channel><title>Tessarine</title>\n"
               "  <item><title>Tessarine "
            + version + "</title>\n   <enclosure url=\"http://updates.invalid/Tessarine_" + version
            + ".zip\" sparkle:version=\"" + version + "\" sparkle:os=\"linux\" length=\"0\""
            + " type=\"application/octet-stream\"/></item>\n </channel>\n</rss>\n";
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
    tags_.replyWithTags(standin::TagServer::sixTags());

    const auto log = [this](const char* name) {
        return [this, name](const httplib::Request& request, const httplib::Response& response) {
            report_(std::string(name) + ": " + request.method + " " + request.target + " -> "
                + std::to_string(response.status));
        };
    };
    check_.http().set_logger(log("check server"));
    review_.http().set_logger(log("review server"));
    tags_.http().set_logger(log("tag service"));
    feed_.http().set_logger(log("update feed"));
}

DemoServices::~DemoServices() { stop(); }

void DemoServices::start()
{
    bind(check_, { build_config::kCheckServerHost, build_config::kCheckServerPort }, "submit-check server");
    bind(review_, endpointOf(build_config::kSwarmUrl, "review server"), "review server");
    bind(tags_, endpointOf(build_config::kTagServiceUrl, "tag service"), "tag service");
    std::string feed_path;
    const Endpoint feed = endpointOf(build_config::kUpdateFeedUrl, "update feed", &feed_path);
    feed_.http().Get(feed_path, [](const httplib::Request&, httplib::Response& response) {
        response.set_content(demoAppcast(), "application/rss+xml");
    });
    bind(feed_, feed, "update feed");
}

void DemoServices::stop()
{
    // The check handler reads the scenario: stop the servers before members go.
    check_.stop();
    review_.stop();
    tags_.stop();
    feed_.stop();
}

std::vector<std::string> DemoServices::summary() const
{
    std::string users;
    for (const auto& user : demoUsers())
        users += (users.empty() ? "" : ", ") + user.user + " " + user.full_name;
    std::string tags;
    for (const auto& [name, description] : standin::TagServer::sixTags())
        tags += (tags.empty() ? "" : ", ") + ("[" + name + "] " + description);
    return {
        "submit-check server " + check_.baseUrl()
            + "/ : the first check fails with 3 checker groups, every later check passes",
        "review server       " + review_.baseUrl() + " : users " + users,
        "                    change " + std::to_string(kChange)
            + " has no review yet; its change check passes once a review is linked to it",
        "tag service         " + tags_.baseUrl() + tags_.projectPath() + " : " + tags,
        "update feed         " + std::string(build_config::kUpdateFeedUrl) + " : version "
            + build_config::kApplicationVersion + ", the demo's own",
    };
}

} // namespace velmora::demo
