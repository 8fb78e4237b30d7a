#pragma once

#include "standin_server.h"

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora::standin {

// A stand-in for the review server's REST API (v9 and v10), answering the
// requests the submit assistant makes with replies shaped like the real ones.
// It checks HTTP Basic credentials on every request, serves scripted users,
// reviews, comments, check results and workflow exclusions, creates reviews on
// POST (visible to later queries), and can be told to answer any route with a
// chosen status and body instead. All setters may be called while it runs.
class ReviewServer : public StandInServer {
public:
    enum class Route { Users, ChangeCheck, Reviews, Comments, Workflow, CreateReview };

    struct User {
        std::string user;
        std::string full_name;
        std::string email;
    };
    struct Review {
        int id = 0;
        std::string author;
        std::string description;
        std::string state = "needsReview";
        std::vector<int> changes;
        // Keyed in this order in replies; the author joins at the front when
        // missing. An empty list is sent as [] like the real server does.
        std::vector<std::string> participants;
        std::set<std::string> required; // participants marked {"required":true}
    };
    struct Comment {
        int id = 0;
        std::string user;
        std::string body;
        nlohmann::json context = nlohmann::json::array(); // [] general, {"comment":N} reply, file object
    };
    struct Reply {
        int status = 200;
        std::string body;
        std::string content_type = "application/json";
    };

    ReviewServer(std::string user = "swarm", std::string token = "0123456789ABCDEF0123456789ABCDEF");

    const std::string& apiUser() const { return user_; }
    const std::string& apiToken() const { return token_; }

    void setUsers(std::vector<User> users);
    void addReview(Review review);
    // Comments of a review, served as a list or (as the manual shows) keyed by id.
    void setComments(int review_id, std::vector<Comment> comments, bool keyed_by_id = false);
    void setUserExclusions(std::vector<std::string> rules);
    // What the change check demands of a change without a scripted result: an
    // approved review (the default), or any review at all (a workflow that
    // rejects commits only when they are not linked to a review).
    enum class CheckRule { ApprovedReview, LinkedReview };
    void setCheckRule(CheckRule rule);
    void setCheckResult(int change, bool is_valid);

    // Answer every request on the route with this reply (after the credential check).
    void setRouteReply(Route route, Reply reply);
    void clearRouteReply(Route route);

    std::vector<Review> reviews() const;
    // Bodies of the create-review POSTs as received, credentials good or bad
    // (the base records requests before their bodies are read).
    std::vector<std::string> createBodies() const;

private:
    using Handler = nlohmann::ordered_json (ReviewServer::*)(const httplib::Request&, int& status);

    void addRoute(Route route, const char* method, const char* pattern, Handler handler);
    bool authorised(const httplib::Request& request) const;

    nlohmann::ordered_json users(const httplib::Request& request, int& status);
    nlohmann::ordered_json changeCheck(const httplib::Request& request, int& status);
    nlohmann::ordered_json reviewsOfChange(const httplib::Request& request, int& status);
    nlohmann::ordered_json comments(const httplib::Request& request, int& status);
    nlohmann::ordered_json workflow(const httplib::Request& request, int& status);
    nlohmann::ordered_json createReview(const httplib::Request& request, int& status);

    nlohmann::ordered_json reviewJson(const Review& review, const std::vector<std::string>& fields) const;

    const std::string user_;
    const std::string token_;
    mutable std::mutex data_mutex_;
    std::vector<User> users_;
    std::vector<Review> reviews_;
    std::map<int, std::pair<std::vector<Comment>, bool>> comments_;
    std::vector<std::string> exclusions_;
    CheckRule check_rule_ = CheckRule::ApprovedReview;
    std::map<int, bool> check_results_;
    std::map<Route, Reply> route_replies_;
    std::vector<std::string> create_bodies_;
    int next_review_id_ = 12206;
};

} // namespace velmora::standin
