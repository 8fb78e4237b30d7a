#include "standin_server.h"

#include <memory>
#include <stdexcept>

#include <sys/socket.h>

namespace velmora::standin {

std::string RecordedRequest::header(const std::string& name) const
{
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

namespace {
    // A request is routed, handled and logged on one server thread: this ties the
    // body, known only after routing, to the record made before it.
    thread_local size_t current_record = 0;
} // namespace

StandInServer::StandInServer()
{
    // Loopback peers answer at once; short waits keep stop() from lingering
    // on a connection a client left open.
    server_.set_keep_alive_timeout(1);
    server_.set_read_timeout(2, 0);
    // A port that another server listens on is refused, as a real server's is.
    // httplib's default adds SO_REUSEPORT, with which a second stand-in (a demo
    // left running, another test program) would bind it too and silently take
    // a share of the connections.
    server_.set_socket_options([](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Recorded before routing, so a request whose handler never answers still shows.
    server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        RecordedRequest recorded { request.method, request.target, request.body, {} };
        for (const auto& [name, value] : request.headers)
            recorded.headers.emplace(name, value);
        Observer observer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            current_record = requests_.size();
            requests_.push_back(recorded);
            observer = observer_;
        }
        if (observer)
            observer(recorded);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // The body is read after routing; record it before the response goes out,
    // so a client that has its answer finds the body recorded.
    server_.set_post_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (current_record < requests_.size() && requests_[current_record].target == request.target)
            requests_[current_record].body = request.body;
    });
}

void StandInServer::setObserver(Observer observer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

StandInServer::~StandInServer() { stop(); }

int StandInServer::start(int port, const std::string& host)
{
    host_ = host;
    if (port == 0)
        port_ = server_.bind_to_any_port(host_);
    else
        port_ = server_.bind_to_port(host_, port) ? port : -1;
    if (port_ <= 0)
        throw std::runtime_error("stand-in server: cannot bind " + host_ + ":" + std::to_string(port));
    auto listening_ended = std::make_shared<std::atomic<bool>>(false);
    thread_ = std::thread([this, listening_ended] {
        server_.listen_after_bind();
        *listening_ended = true;
    });
    // stop() only reaches a server that is already running.
    while (!server_.is_running() && !*listening_ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port_;
}

void StandInServer::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stop_signal_.notify_all();
    if (thread_.joinable()) {
        server_.stop();
        thread_.join();
    }
}

std::string StandInServer::baseUrl() const { return "http://" + host_ + ":" + std::to_string(port_); }

std::vector<RecordedRequest> StandInServer::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void StandInServer::clearRequests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

bool StandInServer::sleepUnlessStopping(std::chrono::milliseconds duration)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return !stop_signal_.wait_for(lock, duration, [this] { return stopping_.load(); });
}

} // namespace velmora::standin
