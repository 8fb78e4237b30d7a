#pragma once

#include "standin_server.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace velmora::standin {

// A stand-in update feed: serves one appcast at /appcast.xml with an HTTP
// status of the test's choice, and can hold its replies back to play a slow
// server.
class FeedServer : public StandInServer {
public:
    FeedServer();
    ~FeedServer() override;

    void setFeed(std::string body, int status = 200);
    // Later requests wait until releaseReplies(), until max_delay has passed,
    // or until the server stops, before they are answered.
    void holdReplies(std::chrono::milliseconds max_delay);
    void releaseReplies();
    // Waits until `count` feed requests have reached the handler.
    bool waitForRequests(int count, std::chrono::milliseconds timeout);
    int repliesSent() const;

    std::string feedUrl() const { return baseUrl() + "/appcast.xml"; }

    // An appcast around the given <item> elements, the update namespace
    // bound to the prefix "sparkle".
    static std::string appcast(const std::string& items);
    // An item with a version attribute on its enclosure.
    static std::string item(const std::string& version, const std::string& url, const std::string& os = "");
    // A loopback address where nothing listens.
    static std::string unreachableUrl();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string body_;
    int status_ = 200;
    bool holding_ = false;
    std::chrono::milliseconds max_delay_ { 0 };
    int requests_seen_ = 0;
    int replies_sent_ = 0;
};

} // namespace velmora::standin
