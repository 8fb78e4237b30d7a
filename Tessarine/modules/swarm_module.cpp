#include "modules/swarm_module.h"

#include "http/http_client.h"
#include "modules/swarm_constants.h"
#include "modules/swarm_requests.h"

#include <QString>

#include <exception>
#include <stdexcept>
#include <utility>

namespace velmora {

namespace {

    // The requests whose replies are read whatever their status: a body of the
    // expected shape is taken as it is. One that is not, under an error status
    // (a proxy's error page, a refusal), names the status and the body instead
    // of a JSON error about its first character.
    template <typename Decode>
    auto decodeAnyStatus(const char* failure, const http::Response& response, Decode decode)
    {
        try {
            return decode(response.text);
        } catch (const std::exception&) {
            if (response.status_code >= 200 && response.status_code < 300)
                throw;
            throw std::runtime_error(
                QString("%1,[%2]:%3")
                    .arg(QString::fromUtf8(failure), QString::number(response.status_code),
                        QString::fromStdString(response.text))
                    .toStdString());
        }
    }

} // namespace

SwarmModule::SwarmModule()
    : SwarmModule(kSwarmUrl, kSwarmUser, kSwarmToken)
{
}

SwarmModule::SwarmModule(std::string base_url, std::string user, std::string token)
    : IModule(nullptr)
    , user_(std::move(user))
    , token_(std::move(token))
    , base_url_(std::move(base_url))
{
    const http::Response response = get(swarm::usersUrl(base_url_));
    users_ = swarm::decodeUsers(response.status_code, response.bodyOrError());
    user_map_.clear();
    for (const SwarmUserInfo& user_info : users_)
        user_map_[user_info.User] = user_info; // a later duplicate wins
}

void SwarmModule::initialize(int change)
{
    pending_id_ = change;
    refresh();
}

void SwarmModule::refresh()
{
    // Each member is assigned as soon as its request returns, so a failure
    // midway keeps what the earlier requests brought.
    review_passed_ = checkIfReviewPassed(pending_id_);
    review_info_ = getSwarmReviewInfo(pending_id_);
    if (review_info_.id >= 0)
        comments_ = getSwarmReviewComments(review_info_.id);
}

void SwarmModule::refreshSwarmReviewInfo()
{
    refresh();
    emit updateSwarmInfoCompleted();
}

bool SwarmModule::isValid(QString* error)
{
    refresh();
    if (!review_passed_ && error)
        *error = QString::fromUtf8("需要通过Swarm审核");
    return review_passed_;
}

bool SwarmModule::checkIfMustBeReview() const
{
    // The exclusion list is asked about the API user, not the submitting one.
    if (checkIfSkipSwarmReview(user_))
        return false;
    return !review_passed_;
}

bool SwarmModule::hasReviewer(const std::string& name) const { return user_map_.count(name) != 0; }

SwarmUserInfo SwarmModule::getReviewer(const std::string& name) const
{
    // A review may name participants that joined the server after start-up.
    const auto it = user_map_.find(name);
    return it == user_map_.end() ? SwarmUserInfo { name, {} } : it->second;
}

int SwarmModule::getPendingId() const { return pending_id_; }

std::string SwarmModule::getSwarmReviewState() const
{
    const int state = review_info_.state;
    if (state < 0 || state >= ReviewState::kCount)
        return kReviewStateNames[ReviewState::Unknow];
    return kReviewStateNames[state];
}

ReviewInfo SwarmModule::getSwarmReviewInfo() const { return review_info_; }

std::vector<SwarmUserInfo> SwarmModule::getAllReviewers() const { return users_; }

std::vector<SwarmComment> SwarmModule::getSwarmComments() const { return comments_; }

bool SwarmModule::checkIfReviewPassed(int change) const
{
    return decodeAnyStatus("获取Swarm审核检查结果失败",
        answered(get(swarm::changeCheckUrl(base_url_, change))), swarm::decodeCheckPassed);
}

ReviewInfo SwarmModule::getSwarmReviewInfo(int change) const
{
    return decodeAnyStatus("获取Swarm Review数据失败",
        answered(get(swarm::changeReviewsUrl(base_url_, change))), swarm::decodeChangeReview);
}

std::vector<SwarmComment> SwarmModule::getSwarmReviewComments(int review_id)
{
    return decodeAnyStatus("获取Swarm Review评论失败",
        answered(get(swarm::reviewCommentsUrl(base_url_, review_id))), swarm::decodeComments);
}

bool SwarmModule::checkIfSkipSwarmReview(const std::string& user) const
{
    if (user.empty())
        throw std::runtime_error("[SwarmModule]:user can not be null.");
    return decodeAnyStatus("获取Swarm工作流数据失败", answered(get(swarm::workflowExclusionsUrl(base_url_))),
        [&user](const std::string& text) { return swarm::decodeUserExcluded(text, user); });
}

void SwarmModule::requestSwarmReview(
    int change, const std::string& description, std::vector<std::string> reviewers)
{
    // Encoding first: a description that is not UTF-8 sends nothing.
    std::string body = swarm::encodeCreateReview(change, description, reviewers);
    const http::Response response
        = http::post(swarm::makeRequest(swarm::createReviewUrl(base_url_), user_, token_, std::move(body)));
    decodeAnyStatus("创建Swarm Review失败", answered(response), swarm::decodeCreateReviewReply);
}

const http::Response& SwarmModule::answered(const http::Response& response)
{
    // No HTTP answer at all (server down): say so, rather than report an
    // empty body as bad JSON.
    if (response.status_code == 0)
        throw std::runtime_error("[SwarmModule]No answer from the review server: " + response.error);
    return response;
}

http::Response SwarmModule::get(const std::string& url) const
{
    return http::get(swarm::makeRequest(url, user_, token_));
}

} // namespace velmora
