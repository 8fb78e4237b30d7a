#include "check_server.h"

#include <algorithm>
#include <memory>

#include <nlohmann/json.hpp>

namespace velmora::standin {

CheckServer::CheckServer()
{
    setScript({});
    http().Post("/", [this](const httplib::Request& request, httplib::Response& response) {
        const CheckReplyScript reply = scriptFor(request);
        if (reply.on_request)
            reply.on_request();
        if (reply.never_answer) {
            while (sleepUnlessStopping(std::chrono::milliseconds(200))) { }
            return;
        }
        response.status = reply.status;
        auto pieces = std::make_shared<std::vector<std::string>>(reply.pieces);
        response.set_chunked_content_provider(
            reply.content_type, [this, pieces, reply](size_t, httplib::DataSink& sink) {
                for (const std::string& piece : *pieces) {
                    if (reply.delay.count() > 0 && !sleepUnlessStopping(reply.delay))
                        return false;
                    if (!piece.empty() && !sink.write(piece.data(), piece.size()))
                        return false;
                }
                if (reply.hang_after_pieces) {
                    while (sleepUnlessStopping(std::chrono::milliseconds(200))) { }
                    return false;
                }
                if (reply.close_early)
                    return false; // no closing chunk: the client sees a broken reply
                sink.done();
                return true;
            });
    });
}

CheckServer::~CheckServer() { stop(); }

void CheckServer::setScript(CheckReplyScript script)
{
    setScriptSource([script = std::move(script)](const httplib::Request&) { return script; });
}

void CheckServer::setScriptSource(ScriptSource source)
{
    std::lock_guard<std::mutex> lock(script_mutex_);
    source_ = std::move(source);
}

CheckReplyScript CheckServer::scriptFor(const httplib::Request& request) const
{
    ScriptSource source;
    {
        std::lock_guard<std::mutex> lock(script_mutex_);
        source = source_;
    }
    // Outside the lock: a source may take its time or set a new source.
    return source(request);
}

std::string CheckServer::lengthField(std::int32_t length)
{
    const auto value = static_cast<std::uint32_t>(length);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    return bytes;
}

std::string CheckServer::frame(const std::string& message)
{
    return lengthField(static_cast<std::int32_t>(message.size())) + message;
}

std::string CheckServer::serverInfo(const std::string& text)
{
    return nlohmann::json {
        { "IdentificationStr", "ServerInfo" }, { "RetCode", 0 }, { "Message", text }
    }.dump();
}

std::string CheckServer::checkResult(bool passed, const std::vector<Group>& groups)
{
    nlohmann::json error_groups = nlohmann::json::array();
    for (const Group& group : groups) {
        nlohmann::json errs = nlohmann::json::array();
        for (const auto& [path, message] : group.errors)
            errs.push_back({ { "AssetPath", path }, { "Message", message } });
        error_groups.push_back({ { "CheckerTitle", group.title }, { "Errs", errs } });
    }
    return nlohmann::json {
        { "IdentificationStr", "CheckResultInfo" }, { "RetCode", passed ? 0 : 1 },
        { "Cr", { { "Passed", passed }, { "ErrorGroups", error_groups } } }
    }.dump();
}

std::vector<std::string> CheckServer::split(const std::string& stream, const std::vector<size_t>& sizes)
{
    std::vector<std::string> pieces;
    size_t offset = 0;
    size_t index = 0;
    while (offset < stream.size()) {
        const size_t size
            = std::max<size_t>(1, sizes.empty() ? stream.size() : sizes[std::min(index, sizes.size() - 1)]);
        pieces.push_back(stream.substr(offset, size));
        offset += size;
        ++index;
    }
    return pieces;
}

} // namespace velmora::standin
