#include "modules/swarm_requests.h"

#include <algorithm>
#include <stdexcept>

#include <QString>

#include <nlohmann/json.hpp>

namespace velmora::swarm {
namespace {

    using nlohmann::json;

    json parseReply(const std::string& text)
    {
        return json::parse(text, nullptr, /*allow_exceptions=*/true, /*ignore_comments=*/false);
    }

    // One pass of QString::arg, so a "%2" inside the base URL is never filled in.
    std::string fill(const char* url_template, const std::string& base_url, int number)
    {
        return QString::fromUtf8(url_template)
            .arg(QString::fromStdString(base_url), QString::number(number))
            .toStdString();
    }

    std::string fill(const char* url_template, const std::string& base_url)
    {
        return QString::fromUtf8(url_template).arg(QString::fromStdString(base_url)).toStdString();
    }

    // An optional member: null when missing or null. A holder that is not an
    // object is a reply of the wrong shape, reported by the library's at().
    const json& optionalMember(const json& holder, const char* key)
    {
        static const json kNull;
        if (!holder.is_object())
            return holder.at(key);
        const auto it = holder.find(key);
        return it == holder.end() ? kNull : *it;
    }

    int stateFromName(const std::string& name)
    {
        if (name == "approved")
            return ReviewState::Approved;
        if (name == "needsRevision")
            return ReviewState::NeedRevision;
        if (name == "needsReview")
            return ReviewState::NeedReview;
        if (name == "rejected")
            return ReviewState::Reject;
        return ReviewState::Unknow;
    }

} // namespace

std::string usersUrl(const std::string& base_url)
{
    return fill("%1/api/v9/users?fields=User,FullName", base_url);
}

std::string changeCheckUrl(const std::string& base_url, int change)
{
    return fill("%1/api/v9/changes/%2/check?type=enforced", base_url, change);
}

std::string changeReviewsUrl(const std::string& base_url, int change)
{
    return fill("%1/api/v9/reviews?fields=id,description,author,state,participants&change[]=%2&max=10",
        base_url, change);
}

std::string reviewCommentsUrl(const std::string& base_url, int review_id)
{
    return fill("%1/api/v9/comments?topic=reviews/%2", base_url, review_id);
}

std::string workflowExclusionsUrl(const std::string& base_url)
{
    return fill("%1/api/v10/workflows/0?fields=user_exclusions", base_url);
}

std::string createReviewUrl(const std::string& base_url) { return fill("%1/api/v9/reviews", base_url); }

http::Request makeRequest(
    std::string url, const std::string& user, const std::string& token, std::string body)
{
    http::Request request;
    request.url = std::move(url);
    request.headers = { { "Content-Type", "application/json" } };
    request.auth = http::BasicAuth { user, token };
    request.body = std::move(body);
    return request;
}

std::vector<SwarmUserInfo> decodeUsers(long status_code, const std::string& text)
{
    if (status_code != 200) {
        const QString message = QString::fromUtf8("获取服务器Swarm Users数据失败,[%1]:%2")
                                    .arg(QString::number(status_code), QString::fromStdString(text));
        throw std::runtime_error(message.toStdString());
    }
    return parseReply(text).get<std::vector<SwarmUserInfo>>();
}

bool decodeCheckPassed(const std::string& text) { return parseReply(text).at("isValid").get<bool>(); }

ReviewInfo decodeChangeReview(const std::string& text)
{
    const json reply = parseReply(text);
    ReviewInfo info;
    if (reply.at("totalCount").get<int>() <= 0) {
        info.id = -1;
        info.state = ReviewState::UnCreate;
        return info;
    }
    const json& review = reply.at("reviews").at(0);
    info.state = stateFromName(review.at("state").get<std::string>());
    info.id = review.at("id").get<int>();
    // key() throws invalid_iterator for a non-empty array: an odd server, not a crash.
    const json& participants = optionalMember(review, "participants");
    for (auto it = participants.begin(); it != participants.end(); ++it)
        info.reviewers.push_back(it.key());
    return info;
}

std::vector<SwarmComment> decodeComments(const std::string& text)
{
    const json reply = parseReply(text);
    std::vector<SwarmComment> comments;
    // An id-keyed object iterates its values in ascending key text; a list in order.
    for (const json& element : optionalMember(reply, "comments")) {
        const json& context = optionalMember(element, "context");
        if (context.is_object() && context.contains("comment"))
            continue; // a reply to another comment
        SwarmComment comment;
        element.at("user").get_to(comment.user);
        element.at("body").get_to(comment.body);
        comments.push_back(std::move(comment));
    }
    return comments;
}

bool decodeUserExcluded(const std::string& text, const std::string& user)
{
    const json reply = parseReply(text);
    const auto rules = reply.at("data")
                           .at("workflows")
                           .at(0)
                           .at("user_exclusions")
                           .at("rule")
                           .get<std::vector<std::string>>();
    return std::find(rules.begin(), rules.end(), user) != rules.end();
}

std::string encodeCreateReview(
    int change, const std::string& description, const std::vector<std::string>& reviewers)
{
    nlohmann::ordered_json body;
    body["change"] = change;
    body["description"] = description;
    body["reviewers"] = reviewers;
    return body.dump();
}

void decodeCreateReviewReply(const std::string& text)
{
    const json reply = parseReply(text);
    if (!reply.is_object() || !reply.contains("review"))
        throw std::runtime_error("create swarm review failed.");
}

} // namespace velmora::swarm
