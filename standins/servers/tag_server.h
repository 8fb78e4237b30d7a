#pragma once

#include "standin_server.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace velmora::standin {

// A stand-in for the tag service: answers GET on one project's tag-list path
// with the scripted reply (by default an empty list). Other paths get 404.
// Usage: set the reply, start(), point the client at baseUrl().
class TagServer : public StandInServer {
public:
    using TagList = std::vector<std::pair<std::string, std::string>>; // (name, description)

    explicit TagServer(std::string project_id = "VL58.Marlow");
    ~TagServer() override;

    // "/api/api/v1/projects/<id>/commit_tags"
    std::string projectPath() const;

    // {"code":0,"msg":"success","data":{"list":[{"name":..,"description":..},..]}}
    void replyWithTags(const TagList& tags);
    // {"code":code,"msg":msg,"data":null} with status 200.
    void replyWithFailure(int code, const std::string& msg);
    // Any status and body, verbatim (not-JSON bodies, elements missing keys).
    void replyWith(int status, std::string body, std::string content_type = "application/json");
    // Never answers: the request hangs until the server stops.
    void replyNever();

    static std::string tagListJson(const TagList& tags);
    // The demo's six tags, which fill the window's tag area (two rows of three).
    static const TagList& sixTags();
    static std::string failureJson(int code, const std::string& msg);

private:
    struct Reply {
        int status = 200;
        std::string body;
        std::string content_type = "application/json";
        bool hang = false;
    };

    void setReply(Reply reply);

    std::string project_id_;
    std::mutex reply_mutex_;
    Reply reply_;
};

} // namespace velmora::standin
