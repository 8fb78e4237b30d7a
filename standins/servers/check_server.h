#pragma once

#include "standin_server.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace velmora::standin {

// How the stand-in check server answers the next check requests.
struct CheckReplyScript {
    int status = 200;
    std::string content_type = "application/octet-stream";
    std::vector<std::string> pieces; // each written and flushed on its own
    std::chrono::milliseconds delay { 0 }; // before every piece
    bool close_early = false; // drop the connection after the pieces
    bool hang_after_pieces = false; // keep the reply open until the server stops
    bool never_answer = false; // hang until the server stops
    std::function<void()> on_request; // runs on the server's thread before it answers
};

// The submit-check service: takes the POST at "/" and streams the scripted
// reply of length-prefixed JSON frames in chosen pieces.
class CheckServer : public StandInServer {
public:
    // Picks the reply for one request; called on a server thread, possibly for
    // several requests at once.
    using ScriptSource = std::function<CheckReplyScript(const httplib::Request&)>;

    CheckServer();
    ~CheckServer() override;

    // Every request gets this reply.
    void setScript(CheckReplyScript script);
    // Each request gets the reply the source makes for it.
    void setScriptSource(ScriptSource source);

    // A frame: the 32-bit little-endian length, then the message bytes.
    static std::string frame(const std::string& message);
    static std::string lengthField(std::int32_t length);
    static std::string serverInfo(const std::string& text);
    // groups: title and its (asset path, message) errors
    struct Group {
        std::string title;
        std::vector<std::pair<std::string, std::string>> errors;
    };
    static std::string checkResult(bool passed, const std::vector<Group>& groups = {});
    // Cuts a byte stream into pieces of the given sizes (the last size repeats).
    static std::vector<std::string> split(const std::string& stream, const std::vector<size_t>& sizes);

private:
    CheckReplyScript scriptFor(const httplib::Request& request) const;

    mutable std::mutex script_mutex_;
    ScriptSource source_;
};

} // namespace velmora::standin
