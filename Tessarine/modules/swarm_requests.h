#pragma once

#include "http/http_client.h"
#include "modules/swarm_types.h"

#include <string>
#include <vector>

// The review server's six requests, split into the URL each one asks for and a
// pure decoder of its reply text, so decoding is testable without transport.
// Decoders parse strictly (exceptions on, no comments) and let the JSON
// library's own errors through for replies of the wrong shape.
namespace velmora::swarm {

std::string usersUrl(const std::string& base_url);
std::string changeCheckUrl(const std::string& base_url, int change);
std::string changeReviewsUrl(const std::string& base_url, int change);
std::string reviewCommentsUrl(const std::string& base_url, int review_id);
std::string workflowExclusionsUrl(const std::string& base_url);
std::string createReviewUrl(const std::string& base_url);

// Every request carries the JSON content type and the API user's Basic credentials.
http::Request makeRequest(
    std::string url, const std::string& user, const std::string& token, std::string body = {});

// Throws std::runtime_error "获取服务器Swarm Users数据失败,[status]:body" unless status is 200.
std::vector<SwarmUserInfo> decodeUsers(long status_code, const std::string& text);
bool decodeCheckPassed(const std::string& text);
ReviewInfo decodeChangeReview(const std::string& text);
std::vector<SwarmComment> decodeComments(const std::string& text);
bool decodeUserExcluded(const std::string& text, const std::string& user);

// Compact JSON {"change":..,"description":..,"reviewers":[..]} in that order;
// invalid UTF-8 in a string throws the library's type error.
std::string encodeCreateReview(
    int change, const std::string& description, const std::vector<std::string>& reviewers);
// Throws std::runtime_error "create swarm review failed." unless the reply is an
// object with a "review" member (of any value).
void decodeCreateReviewReply(const std::string& text);

} // namespace velmora::swarm
