#include "tag_server.h"

#include <chrono>

#include <nlohmann/json.hpp>

namespace velmora::standin {

TagServer::TagServer(std::string project_id)
    : project_id_(std::move(project_id))
{
    reply_.body = tagListJson({});
    // Every request of this path is answered from the reply current when it
    // arrives; the project id holds '.', so the route is no regex of it.
    http().Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        if (request.path != projectPath()) {
            response.status = 404;
            response.set_content("no such path", "text/plain");
            return;
        }
        Reply reply;
        {
            std::lock_guard<std::mutex> lock(reply_mutex_);
            reply = reply_;
        }
        if (reply.hang) {
            while (sleepUnlessStopping(std::chrono::milliseconds(100))) { }
            response.status = 503;
            return;
        }
        response.status = reply.status;
        response.set_content(reply.body, reply.content_type.c_str());
    });
}

TagServer::~TagServer()
{
    // The handler reads this class's members: stop before they go.
    stop();
}

std::string TagServer::projectPath() const { return "/api/api/v1/projects/" + project_id_ + "/commit_tags"; }

void TagServer::replyWithTags(const TagList& tags)
{
    setReply({ 200, tagListJson(tags), "application/json", false });
}

void TagServer::replyWithFailure(int code, const std::string& msg)
{
    setReply({ 200, failureJson(code, msg), "application/json", false });
}

void TagServer::replyWith(int status, std::string body, std::string content_type)
{
    setReply({ status, std::move(body), std::move(content_type), false });
}

void TagServer::replyNever() { setReply({ 200, {}, "application/json", true }); }

const TagServer::TagList& TagServer::sixTags()
{
    static const TagList tags {
        { "feature", "新功能" },
        { "bugfix", "缺陷修复" },
        { "optimize", "性能优化" },
        { "art", "美术资源更新" },
        { "config", "配置表调整" },
        { "refactor", "代码重构" },
    };
    return tags;
}

std::string TagServer::tagListJson(const TagList& tags)
{
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [name, description] : tags)
        list.push_back({ { "name", name }, { "description", description } });
    return nlohmann::json { { "code", 0 }, { "msg", "success" }, { "data", { { "list", list } } } }.dump();
}

std::string TagServer::failureJson(int code, const std::string& msg)
{
    return nlohmann::json { { "code", code }, { "msg", msg }, { "data", nullptr } }.dump();
}

void TagServer::setReply(Reply reply)
{
    std::lock_guard<std::mutex> lock(reply_mutex_);
    reply_ = std::move(reply);
}

} // namespace velmora::standin
