#pragma once

#include "modules/imodule.h"
#include "modules/swarm_types.h"

#include <QObject>
#include <QString>

#include <string>
#include <unordered_map>
#include <vector>

namespace velmora::http {
struct Response;
}

namespace velmora {

// The review module: lets a submit go ahead only when the change has passed its
// code review on the review server, and keeps what the review panel shows (the
// server's users, the change's review, its comments). Every request is made
// synchronously on the calling (GUI) thread; failures leave as exceptions and
// nothing is caught here.
class SwarmModule : public IModule {
    Q_OBJECT
public:
    // Uses the compiled-in server, user and token; fetches the user list.
    SwarmModule();
    // The same against another server (the production constructor delegates here).
    SwarmModule(std::string base_url, std::string user, std::string token);

    void initialize(int change);
    void refresh();
    bool isValid(QString* error) override;

    bool checkIfMustBeReview() const;
    bool hasReviewer(const std::string& name) const;
    // A name the user list lacks yields that name with an empty FullName.
    SwarmUserInfo getReviewer(const std::string& name) const;
    int getPendingId() const;
    std::string getSwarmReviewState() const;
    ReviewInfo getSwarmReviewInfo() const;
    std::vector<SwarmUserInfo> getAllReviewers() const;
    std::vector<SwarmComment> getSwarmComments() const;

    // The review server's requests; none of them changes the module.
    bool checkIfReviewPassed(int change) const;
    ReviewInfo getSwarmReviewInfo(int change) const;
    std::vector<SwarmComment> getSwarmReviewComments(int review_id);
    bool checkIfSkipSwarmReview(const std::string& user) const;
    void requestSwarmReview(int change, const std::string& description, std::vector<std::string> reviewers);

signals:
    void updateSwarmInfoCompleted();

public slots:
    void refreshSwarmReviewInfo();

private:
    static const http::Response& answered(const http::Response& response);
    http::Response get(const std::string& url) const;

    int pending_id_ = 0;
    bool review_passed_ = false;
    ReviewInfo review_info_;
    std::string user_;
    std::string token_;
    std::vector<SwarmComment> comments_;
    std::vector<SwarmUserInfo> users_;
    std::unordered_map<std::string, SwarmUserInfo> user_map_;
    std::string base_url_;
};

} // namespace velmora
