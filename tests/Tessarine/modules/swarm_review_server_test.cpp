#include "swarm_test_server.h"

#include "http/http_client.h"

#include <nlohmann/json.hpp>

namespace velmora::testing {
namespace {

using json = nlohmann::json;

class ReviewServerTest : public SwarmServerTest {
protected:
    http::Response get(const std::string& path, const std::string& token = "0123456789ABCDEF0123456789ABCDEF")
    {
        return http::get(http::Request { server_.baseUrl() + path, {}, http::BasicAuth { "swarm", token }, {} });
    }
    http::Response post(const std::string& path, std::string body)
    {
        return http::post(http::Request { server_.baseUrl() + path, {}, http::BasicAuth { "swarm", server_.apiToken() }, std::move(body) });
    }
};

TEST_F(ReviewServerTest, CredentialsRoutesAndMethodsAreChecked)
{
    for (const char* path : { "/api/v9/users", "/api/v9/changes/1/check", "/api/v9/reviews", "/api/v9/comments", "/api/v10/workflows/0" }) {
        const auto response = get(path, "WRONG");
        EXPECT_EQ(response.status_code, 401) << path;
        EXPECT_EQ(response.text, R"({"error":"Unauthorized"})") << path;
    }
    EXPECT_EQ(http::get(http::Request { server_.baseUrl() + "/api/v9/users", {}, {}, {} }).status_code, 401);
    EXPECT_EQ(get("/api/v9/nothing").text, R"({"error":"Not Found"})");
    EXPECT_EQ(post("/api/v9/users", "{}").text, R"({"error":"Method Not Allowed"})");
    EXPECT_EQ(get("/api/v9/users?fields=User,Bogus").status_code, 400);
    EXPECT_EQ(get("/api/v9/changes/1/check?type=odd").status_code, 400);
    EXPECT_EQ(json::parse(get("/api/v10/workflows/3").text)["messages"][0]["code"], 404);
}

TEST_F(ReviewServerTest, ReviewsFollowTheRealShapes)
{
    EXPECT_EQ(get("/api/v9/reviews?change[]=5&max=10").text, R"({"lastSeen":null,"reviews":[],"totalCount":0})");
    addReview(3, 5, "needsReview", { "zoe", "adam" });
    addReview(4, 5, "approved");
    const auto reply = nlohmann::ordered_json::parse(get("/api/v9/reviews?fields=state,id,participants&change[]=5&max=1").text);
    EXPECT_EQ(reply["totalCount"], 2);
    EXPECT_EQ(reply["lastSeen"], 4);
    ASSERT_EQ(reply["reviews"].size(), 1u);
    EXPECT_EQ(reply["reviews"][0].dump(), R"({"id":4,"participants":{"bruno":[]},"state":"approved"})");
    EXPECT_EQ(json::parse(get("/api/v9/changes/5/check?type=enforced").text)["status"], "OK");
    EXPECT_EQ(json::parse(get("/api/v9/changes/6/check?type=enforced").text)["status"], "NO_REVIEW");

    const auto created = post("/api/v9/reviews", R"({"change":6,"description":"d","reviewers":["alice"]})");
    EXPECT_EQ(created.status_code, 200);
    EXPECT_EQ(nlohmann::ordered_json::parse(created.text)["review"]["participants"].dump(), R"({"swarm":[],"alice":[]})");
    EXPECT_EQ(json::parse(get("/api/v9/changes/6/check").text)["status"], "NO_APPROVED_REVIEW");
    EXPECT_EQ(post("/api/v9/reviews", R"({"change":6})").text, R"({"error":"A Review for change 6 already exists.","isValid":false})");
    EXPECT_EQ(post("/api/v9/reviews", R"({"description":"x"})").status_code, 400);
    EXPECT_EQ(post("/api/v9/reviews", "not json").status_code, 400);
}

TEST_F(ReviewServerTest, CommentsAndScriptedReplies)
{
    server_.setComments(9, { { 35, "bruno", "LGTM", json::array() } });
    const auto comments = json::parse(get("/api/v9/comments?topic=reviews/9").text);
    EXPECT_EQ(comments["lastSeen"], 35);
    EXPECT_EQ(comments["comments"][0]["context"], json::array());
    EXPECT_EQ(get("/api/v9/comments?topic=reviews/8").text, R"({"comments":[],"lastSeen":null})");

    server_.setRouteReply(Route::Comments, { 503, "down", "text/plain" });
    const auto scripted = get("/api/v9/comments?topic=reviews/9");
    EXPECT_EQ(scripted.status_code, 503);
    EXPECT_EQ(scripted.text, "down");
    server_.clearRouteReply(Route::Comments);
    EXPECT_EQ(get("/api/v9/comments?topic=reviews/9").status_code, 200);
}

} // namespace
} // namespace velmora::testing
