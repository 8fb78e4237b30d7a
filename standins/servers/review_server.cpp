#include "review_server.h"

#include <algorithm>
#include <regex>
#include <sstream>
#include <utility>

namespace velmora::standin {
namespace {

    using ordered_json = nlohmann::ordered_json;

    const char* const kReviewFields[] = { "id", "author", "changes", "description", "participants", "state" };
    const char* const kUserFields[] = { "User", "FullName", "Email" };

    std::vector<std::string> splitFields(const std::string& text)
    {
        std::vector<std::string> fields;
        std::stringstream stream(text);
        for (std::string field; std::getline(stream, field, ',');)
            if (!field.empty())
                fields.push_back(field);
        return fields;
    }

    bool wanted(const std::vector<std::string>& fields, const char* name)
    {
        return fields.empty() || std::find(fields.begin(), fields.end(), name) != fields.end();
    }

    ordered_json badRequest(const char* field, const std::string& detail)
    {
        return { { "error", "Bad Request" }, { "isValid", false }, { "details", { { field, detail } } } };
    }

    ordered_json v10Error(int code, const std::string& text)
    {
        return { { "error", code },
            { "messages", ordered_json::array({ { { "code", code }, { "text", text } } }) },
            { "data", nullptr } };
    }

    struct RoutePattern {
        const char* method;
        const char* pattern;
    };
    const RoutePattern kRoutePatterns[] = {
        { "GET", R"(/api/v9/users)" },
        { "GET", R"(/api/v9/changes/(-?\d+)/check)" },
        { "GET", R"(/api/v9/reviews)" },
        { "GET", R"(/api/v9/comments)" },
        { "GET", R"(/api/v10/workflows/(-?\d+))" },
        { "POST", R"(/api/v9/reviews)" },
    };

} // namespace

ReviewServer::ReviewServer(std::string user, std::string token)
    : user_(std::move(user))
    , token_(std::move(token))
{
    addRoute(Route::Users, "GET", kRoutePatterns[0].pattern, &ReviewServer::users);
    addRoute(Route::ChangeCheck, "GET", kRoutePatterns[1].pattern, &ReviewServer::changeCheck);
    addRoute(Route::Reviews, "GET", kRoutePatterns[2].pattern, &ReviewServer::reviewsOfChange);
    addRoute(Route::Comments, "GET", kRoutePatterns[3].pattern, &ReviewServer::comments);
    addRoute(Route::Workflow, "GET", kRoutePatterns[4].pattern, &ReviewServer::workflow);
    addRoute(Route::CreateReview, "POST", kRoutePatterns[5].pattern, &ReviewServer::createReview);

    // Runs for every answer of status 400 or more: fill only the empty ones.
    http().set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& request,
                                                                      httplib::Response& response) {
        if (!response.body.empty() || response.status != 404)
            return httplib::Server::HandlerResponse::Unhandled;
        const bool known_path = std::any_of(
            std::begin(kRoutePatterns), std::end(kRoutePatterns), [&](const RoutePattern& route) {
                return std::regex_match(request.path, std::regex(route.pattern));
            });
        response.status = known_path ? 405 : 404;
        response.set_content(known_path ? R"({"error":"Method Not Allowed"})" : R"({"error":"Not Found"})",
            "application/json");
        return httplib::Server::HandlerResponse::Handled;
    }));
}

void ReviewServer::addRoute(Route route, const char* method, const char* pattern, Handler handler)
{
    auto serve = [this, route, handler](const httplib::Request& request, httplib::Response& response) {
        if (route == Route::CreateReview) {
            std::lock_guard<std::mutex> lock(data_mutex_);
            create_bodies_.push_back(request.body);
        }
        if (!authorised(request)) {
            response.status = 401;
            response.set_content(R"({"error":"Unauthorized"})", "application/json");
            return;
        }
        {
            std::lock_guard<std::mutex> lock(data_mutex_);
            const auto scripted = route_replies_.find(route);
            if (scripted != route_replies_.end()) {
                response.status = scripted->second.status;
                response.set_content(scripted->second.body, scripted->second.content_type.c_str());
                return;
            }
        }
        int status = 200;
        const ordered_json reply = (this->*handler)(request, status);
        response.status = status;
        // Escaped like the real server's encoder, so clients must decode \u sequences.
        response.set_content(reply.dump(-1, ' ', true), "application/json");
    };
    if (std::string(method) == "POST")
        http().Post(pattern, serve);
    else
        http().Get(pattern, serve);
}

bool ReviewServer::authorised(const httplib::Request& request) const
{
    return request.get_header_value("Authorization")
        == httplib::make_basic_authentication_header(user_, token_).second;
}

void ReviewServer::setUsers(std::vector<User> users)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    users_ = std::move(users);
}

void ReviewServer::addReview(Review review)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    next_review_id_ = std::max(next_review_id_, review.id + 1);
    reviews_.push_back(std::move(review));
}

void ReviewServer::setComments(int review_id, std::vector<Comment> comments, bool keyed_by_id)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    comments_[review_id] = { std::move(comments), keyed_by_id };
}

void ReviewServer::setUserExclusions(std::vector<std::string> rules)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    exclusions_ = std::move(rules);
}

void ReviewServer::setCheckRule(CheckRule rule)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    check_rule_ = rule;
}

void ReviewServer::setCheckResult(int change, bool is_valid)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    check_results_[change] = is_valid;
}

void ReviewServer::setRouteReply(Route route, Reply reply)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    route_replies_[route] = std::move(reply);
}

void ReviewServer::clearRouteReply(Route route)
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    route_replies_.erase(route);
}

std::vector<ReviewServer::Review> ReviewServer::reviews() const
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    return reviews_;
}

std::vector<std::string> ReviewServer::createBodies() const
{
    std::lock_guard<std::mutex> lock(data_mutex_);
    return create_bodies_;
}

ordered_json ReviewServer::users(const httplib::Request& request, int& status)
{
    const auto fields = splitFields(request.get_param_value("fields"));
    for (const auto& field : fields) {
        if (std::find(std::begin(kUserFields), std::end(kUserFields), field) == std::end(kUserFields)) {
            status = 400;
            return badRequest("fields", "Invalid field: " + field);
        }
    }
    std::lock_guard<std::mutex> lock(data_mutex_);
    ordered_json list = ordered_json::array();
    for (const auto& user : users_) {
        ordered_json entry = ordered_json::object();
        if (wanted(fields, "User"))
            entry["User"] = user.user;
        if (wanted(fields, "FullName"))
            entry["FullName"] = user.full_name;
        if (wanted(fields, "Email"))
            entry["Email"] = user.email;
        list.push_back(std::move(entry));
    }
    return list;
}

ordered_json ReviewServer::changeCheck(const httplib::Request& request, int& status)
{
    const std::string type = request.has_param("type") ? request.get_param_value("type") : "enforced";
    if (type != "enforced" && type != "strict" && type != "shelve") {
        status = 400;
        return badRequest("type", "Invalid type: " + type);
    }
    const int change = std::stoi(request.matches[1].str());
    std::lock_guard<std::mutex> lock(data_mutex_);
    const Review* review = nullptr;
    for (const auto& candidate : reviews_)
        if (std::count(candidate.changes.begin(), candidate.changes.end(), change))
            review = &candidate;
    const bool approved = review && review->state == "approved";
    const bool follows_rule = check_rule_ == CheckRule::LinkedReview ? review != nullptr : approved;
    const auto scripted = check_results_.find(change);
    const bool valid = scripted == check_results_.end() ? follows_rule : scripted->second;

    ordered_json reply { { "isValid", valid } };
    if (valid) {
        reply["status"] = "OK";
        reply["messages"] = ordered_json::array();
    } else if (!review) {
        reply["status"] = "NO_REVIEW";
        reply["messages"] = ordered_json::array(
            { "Change [" + std::to_string(change) + "] must be associated with a review" });
    } else if (!approved) {
        reply["status"] = "NO_APPROVED_REVIEW";
        reply["messages"]
            = ordered_json::array({ "Review [" + std::to_string(review->id) + "] must be approved" });
    } else {
        reply["status"] = "NOT_SAME_CONTENT";
        reply["messages"] = ordered_json::array({ "Change [" + std::to_string(change)
            + "] does not match review [" + std::to_string(review->id) + "]" });
    }
    return reply;
}

ordered_json ReviewServer::reviewJson(const Review& review, const std::vector<std::string>& fields) const
{
    ordered_json json = ordered_json::object();
    // id first, then the other fields alphabetically, as the real server orders them.
    if (wanted(fields, "id"))
        json["id"] = review.id;
    if (wanted(fields, "author"))
        json["author"] = review.author;
    if (wanted(fields, "changes"))
        json["changes"] = review.changes;
    if (wanted(fields, "description"))
        json["description"] = review.description;
    if (wanted(fields, "participants")) {
        std::vector<std::string> names = review.participants;
        if (!review.author.empty() && std::find(names.begin(), names.end(), review.author) == names.end())
            names.insert(names.begin(), review.author);
        ordered_json participants = names.empty() ? ordered_json::array() : ordered_json::object();
        for (const auto& name : names)
            participants[name]
                = review.required.count(name) ? ordered_json { { "required", true } } : ordered_json::array();
        json["participants"] = std::move(participants);
    }
    if (wanted(fields, "state"))
        json["state"] = review.state;
    return json;
}

ordered_json ReviewServer::reviewsOfChange(const httplib::Request& request, int& status)
{
    auto fields = splitFields(request.get_param_value("fields"));
    for (const auto& field : fields) {
        if (std::find(std::begin(kReviewFields), std::end(kReviewFields), field) == std::end(kReviewFields)) {
            status = 400;
            return badRequest("fields", "Invalid field: " + field);
        }
    }
    std::vector<int> changes;
    for (size_t i = 0; i < request.get_param_value_count("change[]"); ++i)
        changes.push_back(std::atoi(request.get_param_value("change[]", i).c_str()));
    const size_t max
        = request.has_param("max") ? std::max(0, std::atoi(request.get_param_value("max").c_str())) : 1000;

    std::lock_guard<std::mutex> lock(data_mutex_);
    std::vector<const Review*> matches;
    for (const auto& review : reviews_) {
        const bool related = changes.empty() || std::any_of(changes.begin(), changes.end(), [&](int change) {
            return std::count(review.changes.begin(), review.changes.end(), change) != 0;
        });
        if (related)
            matches.push_back(&review);
    }
    // Newest first, like the real server.
    std::sort(matches.begin(), matches.end(), [](const Review* a, const Review* b) { return a->id > b->id; });
    ordered_json list = ordered_json::array();
    for (size_t i = 0; i < matches.size() && i < max; ++i)
        list.push_back(reviewJson(*matches[i], fields));
    ordered_json last_seen = list.empty() ? ordered_json() : ordered_json(matches[list.size() - 1]->id);
    return { { "lastSeen", last_seen }, { "reviews", std::move(list) }, { "totalCount", matches.size() } };
}

ordered_json ReviewServer::comments(const httplib::Request& request, int& status)
{
    static const std::regex kTopic(R"(reviews/(-?\d+))");
    std::smatch match;
    const std::string topic = request.get_param_value("topic");
    if (!std::regex_match(topic, match, kTopic)) {
        status = 400;
        return badRequest("topic", "Invalid topic: " + topic);
    }
    const int review_id = std::stoi(match[1].str());
    std::lock_guard<std::mutex> lock(data_mutex_);
    const auto found = comments_.find(review_id);
    const bool keyed = found != comments_.end() && found->second.second;
    ordered_json list = keyed ? ordered_json::object() : ordered_json::array();
    ordered_json last_seen;
    if (found != comments_.end()) {
        for (const auto& comment : found->second.first) {
            ordered_json entry { { "id", comment.id }, { "attachments", ordered_json::array() },
                { "body", comment.body }, { "context", comment.context }, { "edited", nullptr },
                { "flags", ordered_json::array() }, { "likes", ordered_json::array() },
                { "taskState", "comment" }, { "time", 1461164347 }, { "topic", topic },
                { "updated", 1461164347 }, { "user", comment.user } };
            if (keyed)
                list[std::to_string(comment.id)] = std::move(entry);
            else
                list.push_back(std::move(entry));
            last_seen = comment.id;
        }
    }
    return { { "comments", std::move(list) }, { "lastSeen", last_seen } };
}

ordered_json ReviewServer::workflow(const httplib::Request& request, int& status)
{
    if (request.matches[1].str() != "0") {
        status = 404;
        return v10Error(404, "Cannot fetch entry. Id does not exist.");
    }
    std::lock_guard<std::mutex> lock(data_mutex_);
    ordered_json exclusions { { "rule", exclusions_ }, { "mode", "policy" } };
    ordered_json workflow { { "user_exclusions", std::move(exclusions) } };
    return { { "error", nullptr }, { "messages", ordered_json::array() },
        { "data", { { "workflows", ordered_json::array({ std::move(workflow) }) } } } };
}

ordered_json ReviewServer::createReview(const httplib::Request& request, int& status)
{
    const ordered_json body = ordered_json::parse(request.body, nullptr, false);
    status = 400;
    if (body.is_discarded() || !body.is_object())
        return badRequest("body", "Request body must be a JSON object.");
    const auto change = body.find("change");
    if (change == body.end() || !change->is_number_integer())
        return badRequest("change", "Change is required and must be an integer.");
    const auto description = body.find("description");
    if (description != body.end() && !description->is_string())
        return badRequest("description", "Description must be a string.");
    std::vector<std::string> reviewers;
    if (const auto given = body.find("reviewers"); given != body.end()) {
        if (!given->is_array() || !std::all_of(given->begin(), given->end(), [](const ordered_json& r) {
                return r.is_string();
            }))
            return badRequest("reviewers", "Reviewers must be a list of user ids.");
        reviewers = given->get<std::vector<std::string>>();
    }

    std::lock_guard<std::mutex> lock(data_mutex_);
    const int change_id = change->get<int>();
    for (const auto& review : reviews_) {
        if (std::count(review.changes.begin(), review.changes.end(), change_id))
            return { { "error", "A Review for change " + std::to_string(change_id) + " already exists." },
                { "isValid", false } };
    }
    std::string unknown;
    for (const auto& name : reviewers) {
        const bool known
            = std::any_of(users_.begin(), users_.end(), [&](const User& user) { return user.user == name; });
        if (!known)
            unknown += (unknown.empty() ? "" : ", ") + name;
    }
    if (!unknown.empty())
        return badRequest("reviewers", "Unknown user id(s): " + unknown);

    Review review;
    review.id = next_review_id_++;
    review.author = user_;
    review.description = description == body.end() ? std::string() : description->get<std::string>();
    review.changes = { change_id };
    review.participants = reviewers;
    reviews_.push_back(review);
    status = 200;
    return { { "review", reviewJson(review, {}) } };
}

} // namespace velmora::standin
