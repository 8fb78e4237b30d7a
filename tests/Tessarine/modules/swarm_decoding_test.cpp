#include "modules/swarm_requests.h"

#include <functional>
#include <stdexcept>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velmora::swarm {
namespace {

using json = nlohmann::json;

std::string runtimeErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

TEST(SwarmDecodingTest, UrlsFollowTheTemplatesAndFillTheBaseOnce)
{
    const std::string base = "http://h:1";
    EXPECT_EQ(usersUrl(base), "http://h:1/api/v9/users?fields=User,FullName");
    EXPECT_EQ(changeCheckUrl(base, 42), "http://h:1/api/v9/changes/42/check?type=enforced");
    EXPECT_EQ(changeReviewsUrl(base, -7), "http://h:1/api/v9/reviews?fields=id,description,author,state,participants&change[]=-7&max=10");
    EXPECT_EQ(reviewCommentsUrl(base, 0), "http://h:1/api/v9/comments?topic=reviews/0");
    EXPECT_EQ(workflowExclusionsUrl(base), "http://h:1/api/v10/workflows/0?fields=user_exclusions");
    EXPECT_EQ(createReviewUrl(base), "http://h:1/api/v9/reviews");
    // A "%2" in the base must not receive the number.
    EXPECT_EQ(changeCheckUrl("http://h/%2", 5), "http://h/%2/api/v9/changes/5/check?type=enforced");
}

TEST(SwarmDecodingTest, UsersKeepReplyOrderAndDuplicates)
{
    const auto users = decodeUsers(200, R"([{"User":"b","FullName":"B \u5f20"},{"User":"a","FullName":"A","Email":"x"},{"User":"b","FullName":"B2"}])");
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].User, "b");
    EXPECT_EQ(users[0].FullName, "B 张");
    EXPECT_EQ(users[1].User, "a");
    EXPECT_EQ(users[2].FullName, "B2");
    EXPECT_TRUE(decodeUsers(200, "[]").empty());
}

TEST(SwarmDecodingTest, UserListFailuresCarryStatusAndBodyVerbatim)
{
    EXPECT_EQ(runtimeErrorOf([] { decodeUsers(404, R"({"error":"Not Found"})"); }), R"(获取服务器Swarm Users数据失败,[404]:{"error":"Not Found"})");
    EXPECT_EQ(runtimeErrorOf([] { decodeUsers(500, "服务 %1 down"); }), "获取服务器Swarm Users数据失败,[500]:服务 %1 down");
    EXPECT_EQ(runtimeErrorOf([] { decodeUsers(0, ""); }), "获取服务器Swarm Users数据失败,[0]:");
    // A good body under another status is still a failure.
    EXPECT_EQ(runtimeErrorOf([] { decodeUsers(201, "[]"); }), "获取服务器Swarm Users数据失败,[201]:[]");
}

TEST(SwarmDecodingTest, WrongShapesThrowTheJsonLibraryErrors)
{
    EXPECT_THROW(decodeUsers(200, R"({"User":"a","FullName":"A"})"), json::type_error);
    EXPECT_THROW(decodeUsers(200, R"([{"User":"a"}])"), json::out_of_range);
    EXPECT_THROW(decodeUsers(200, R"([{"User":"a","FullName":7}])"), json::type_error);
    EXPECT_THROW(decodeUsers(200, "<html>busy</html>"), json::parse_error);
    EXPECT_THROW(decodeUsers(200, "[] // no comments"), json::parse_error);

    EXPECT_THROW(decodeCheckPassed(""), json::parse_error);
    EXPECT_THROW(decodeCheckPassed(R"({"status":"OK"})"), json::out_of_range);
    EXPECT_THROW(decodeCheckPassed(R"({"isValid":"true"})"), json::type_error);
    EXPECT_THROW(decodeCheckPassed("[true]"), json::type_error);

    EXPECT_THROW(decodeChangeReview(R"({"totalCount":"1"})"), json::type_error);
    EXPECT_THROW(decodeChangeReview(R"({"totalCount":1,"reviews":[]})"), json::out_of_range);
    EXPECT_THROW(decodeChangeReview(R"({"totalCount":1,"reviews":[{"id":1,"state":3}]})"), json::type_error);
    EXPECT_THROW(decodeChangeReview(R"({"totalCount":1,"reviews":[{"state":"approved"}]})"), json::out_of_range);
    // An odd server: participants as a non-empty list has no keys to read.
    EXPECT_THROW(decodeChangeReview(R"({"totalCount":1,"reviews":[{"id":1,"state":"approved","participants":["a"]}]})"), json::invalid_iterator);
    EXPECT_THROW(decodeChangeReview(R"({"totalCount":1,"reviews":[{"id":1,"state":"approved","participants":"a"}]})"), json::invalid_iterator);

    EXPECT_THROW(decodeComments(R"({"comments":[{"body":"x","context":[]}]})"), json::out_of_range);
    EXPECT_THROW(decodeComments(R"({"comments":[{"user":"u","body":5}]})"), json::type_error);
    EXPECT_THROW(decodeComments(R"({"comments":[7]})"), json::type_error);
    EXPECT_THROW(decodeComments("[]"), json::type_error);

    EXPECT_THROW(decodeUserExcluded(R"({"error":404,"messages":[],"data":null})", "swarm"), json::type_error);
    EXPECT_THROW(decodeUserExcluded(R"({"data":{"workflows":[]}})", "swarm"), json::out_of_range);
    EXPECT_THROW(decodeUserExcluded(R"({"data":{"workflows":[{"user_exclusions":[]}]}})", "swarm"), json::type_error);
    EXPECT_THROW(decodeUserExcluded(R"({"data":{"workflows":[{"user_exclusions":{"rule":["a",1]}}]}})", "swarm"), json::type_error);
}

TEST(SwarmDecodingTest, ChangeReviewStatesIdsAndReviewers)
{
    struct Row {
        const char* reply;
        int id;
        int state;
        std::vector<std::string> reviewers;
    };
    const Row rows[] = {
        { R"({"totalCount":0})", -1, ReviewState::UnCreate, {} },
        { R"({"totalCount":-3,"reviews":[{"id":9,"state":"approved"}]})", -1, ReviewState::UnCreate, {} },
        { R"({"totalCount":1,"reviews":[{"id":7,"state":"approved","participants":{"zoe":[],"adam":{"required":true}}}]})", 7, ReviewState::Approved, { "adam", "zoe" } },
        { R"({"totalCount":2,"reviews":[{"id":8,"state":"needsRevision","participants":[]},{"id":1,"state":"approved"}]})", 8, ReviewState::NeedRevision, {} },
        { R"({"totalCount":1,"reviews":[{"id":0,"state":"needsReview","participants":null}]})", 0, ReviewState::NeedReview, {} },
        { R"({"totalCount":1,"reviews":[{"id":3,"state":"rejected"}]})", 3, ReviewState::Reject, {} },
        { R"({"totalCount":1,"reviews":[{"id":4,"state":"archived","participants":{"B":[],"a":[]}}]})", 4, ReviewState::Unknow, { "B", "a" } },
        { R"({"totalCount":1,"reviews":[{"id":5,"state":"Approved"}]})", 5, ReviewState::Unknow, {} },
    };
    for (const Row& row : rows) {
        const ReviewInfo info = decodeChangeReview(row.reply);
        EXPECT_EQ(info.id, row.id) << row.reply;
        EXPECT_EQ(info.state, row.state) << row.reply;
        EXPECT_EQ(info.reviewers, row.reviewers) << row.reply;
    }
}

TEST(SwarmDecodingTest, CommentsSkipRepliesAndKeepKeyTextOrder)
{
    const auto listed = decodeComments(R"({"comments":[
        {"user":"a","body":"general","context":[]},
        {"user":"b","body":"reply","context":{"comment":35,"version":1}},
        {"user":"c","body":"file","context":{"file":"//depot/x.cpp","rightLine":3}},
        {"user":"d","body":"bare"},
        {"user":"e","body":"null context","context":null},
        {"user":"f","context":{"comment":1}}],"lastSeen":35})");
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0].user + listed[0].body, "ageneral");
    EXPECT_EQ(listed[1].user + listed[1].body, "cfile");
    EXPECT_EQ(listed[2].user, "d");
    EXPECT_EQ(listed[3].user, "e");

    const auto keyed = decodeComments(R"({"comments":{"9":{"user":"nine","body":"x"},"10":{"user":"ten","body":"\u597d"}}})");
    ASSERT_EQ(keyed.size(), 2u);
    EXPECT_EQ(keyed[0].user, "ten");
    EXPECT_EQ(keyed[0].body, "好");
    EXPECT_EQ(keyed[1].user, "nine");

    EXPECT_TRUE(decodeComments(R"({"lastSeen":null})").empty());
    EXPECT_TRUE(decodeComments(R"({"comments":null})").empty());
    EXPECT_TRUE(decodeComments(R"({"comments":[],"lastSeen":null})").empty());
}

TEST(SwarmDecodingTest, ExclusionsMatchExactlyAndCaseSensitively)
{
    const std::string reply = R"({"error":null,"messages":[],"data":{"workflows":[{"user_exclusions":{"rule":["alice","Swarm","swarm-bot"],"mode":"policy"}}]}})";
    EXPECT_TRUE(decodeUserExcluded(reply, "alice"));
    EXPECT_FALSE(decodeUserExcluded(reply, "swarm"));
    EXPECT_FALSE(decodeUserExcluded(reply, "ali"));
    EXPECT_FALSE(decodeUserExcluded(R"({"data":{"workflows":[{"user_exclusions":{"rule":[]}}]}})", "alice"));
}

TEST(SwarmDecodingTest, CreateReviewBodyIsCompactOrderedUtf8)
{
    EXPECT_EQ(encodeCreateReview(1234, "", {}), R"({"change":1234,"description":"","reviewers":[]})");
    EXPECT_EQ(encodeCreateReview(-1, "[TAG]修复 \"a\"\n", { "zoe", "adam" }),
        "{\"change\":-1,\"description\":\"[TAG]修复 \\\"a\\\"\\n\",\"reviewers\":[\"zoe\",\"adam\"]}");
    try {
        encodeCreateReview(1, "bad \xff text", {});
        ADD_FAILURE() << "invalid UTF-8 was encoded";
    } catch (const json::type_error& error) {
        EXPECT_EQ(error.id, 316);
    }
}

TEST(SwarmDecodingTest, CreateReviewReplyNeedsAReviewMember)
{
    EXPECT_NO_THROW(decodeCreateReviewReply(R"({"review":null})"));
    EXPECT_NO_THROW(decodeCreateReviewReply(R"({"review":{"id":12206,"state":"needsReview"}})"));
    for (const char* reply : { R"({"error":"A Review for change 1 already exists.","isValid":false})", R"([{"review":{}}])", R"("review")", "{}" })
        EXPECT_EQ(runtimeErrorOf([&] { decodeCreateReviewReply(reply); }), "create swarm review failed.") << reply;
    EXPECT_THROW(decodeCreateReviewReply("Bad Gateway"), json::parse_error);
}

} // namespace
} // namespace velmora::swarm
