#include "feed_server.h"

namespace velmora::standin {

FeedServer::FeedServer()
{
    http().Get("/appcast.xml", [this](const httplib::Request&, httplib::Response& response) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++requests_seen_;
        changed_.notify_all();
        const auto deadline = std::chrono::steady_clock::now() + max_delay_;
        // Polls stopping() as well, so that stop() never waits for a held reply.
        while (holding_ && !stopping() && std::chrono::steady_clock::now() < deadline)
            changed_.wait_for(lock, std::chrono::milliseconds(20));
        response.status = status_;
        response.set_content(body_, "application/rss+xml");
        ++replies_sent_;
        changed_.notify_all();
    });
}

FeedServer::~FeedServer()
{
    releaseReplies();
    // The handler uses this object's members: stop before they go.
    stop();
}

void FeedServer::setFeed(std::string body, int status)
{
    std::lock_guard<std::mutex> lock(mutex_);
    body_ = std::move(body);
    status_ = status;
}

void FeedServer::holdReplies(std::chrono::milliseconds max_delay)
{
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = true;
    max_delay_ = max_delay;
}

void FeedServer::releaseReplies()
{
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = false;
    changed_.notify_all();
}

bool FeedServer::waitForRequests(int count, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_seen_ >= count; });
}

int FeedServer::repliesSent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return replies_sent_;
}

std::string FeedServer::appcast(const std::string& items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
           " <channel><title>Updates</title>\n"
        + items + " </channel>\n</rss>\n";
}

std::string FeedServer::item(const std::string& version, const std::string& url, const std::string& os)
{
    const std::string os_attribute = os.empty() ? "" : " sparkle:os=\"" + os + "\"";
    return "  <item><title>Version " + version + "</title>\n"
           "   <enclosure url=\"" + url + "\" sparkle:version=\"" + version + "\"" + os_attribute
        + " length=\"1\" type=\"application/octet-stream\"/></item>\n";
}

std::string FeedServer::unreachableUrl()
{
    StandInServer closed;
    closed.start();
    const std::string url = closed.baseUrl() + "/appcast.xml";
    closed.stop();
    return url;
}

} // namespace velmora::standin
