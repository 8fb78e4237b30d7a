#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace velmora::standin {

struct RecordedRequest {
    std::string method;
    std::string target; // path and query exactly as the client sent them
    std::string body;
    std::multimap<std::string, std::string> headers;

    std::string header(const std::string& name) const;
};

// A loopback HTTP server on its own thread, the common ground of the stand-in
// services. Routes are added on http() before start(); every request is
// recorded before it is routed.
class StandInServer {
public:
    StandInServer();
    virtual ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    httplib::Server& http() { return server_; }

    // Binds the loopback address on the port (0: any free one) and returns the
    // port; throws std::runtime_error when the port cannot be bound.
    int start(int port = 0, const std::string& host = "127.0.0.1");
    void stop();

    int port() const { return port_; }
    std::string baseUrl() const;

    std::vector<RecordedRequest> requests() const;
    void clearRequests();

    // Called on the server thread with each request as it is recorded, before
    // it is routed: for tests that must act while a client waits for its answer.
    using Observer = std::function<void(const RecordedRequest&)>;
    void setObserver(Observer observer);

    // For handlers that must hang: sleeps, waking early when the server stops.
    // Returns false when the server is stopping.
    bool sleepUnlessStopping(std::chrono::milliseconds duration);
    bool stopping() const { return stopping_; }

private:
    httplib::Server server_;
    std::thread thread_;
    std::string host_ = "127.0.0.1";
    int port_ = 0;
    std::atomic<bool> stopping_ { false };
    mutable std::mutex mutex_;
    std::condition_variable stop_signal_;
    std::vector<RecordedRequest> requests_;
    Observer observer_;
};

} // namespace velmora::standin
