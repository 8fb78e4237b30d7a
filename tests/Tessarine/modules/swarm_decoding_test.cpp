#include "modules/swarm_requests.h"

#include <functional>
#include <stdexcept>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velmora::swarm {
namespace {

    std::string errorOf(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const std::exception& error) {
            return error.what();
        }
        return "(nothing thrown)";
    }

    TEST(SwarmDecoding, UrlsFillTheBaseOnce)
    {
        EXPECT_EQ(usersUrl("http://h:1"), "http://h:1/api/v9/users?fields=User,FullName");
        EXPECT_EQ(changeReviewsUrl("http://h/%2", -7),
            "http://h/%2/api/v9/reviews?fields=id,description,author,state,participants&change[]=-7&max=10");
        EXPECT_EQ(reviewCommentsUrl("b", 0), "b/api/v9/comments?topic=reviews/0");
    }

    TEST(SwarmDecoding, UsersAndTheirFailures)
    {
        const auto users
            = decodeUsers(200, R"([{"User":"b","FullName":"B \u5f20"},{"User":"a","FullName":"A","x":1}])");
        ASSERT_EQ(users.size(), 2u);
        EXPECT_EQ(users[0].User + users[0].FullName + users[1].User, "bB 张a");
        EXPECT_EQ(
            errorOf([] { decodeUsers(201, "服务 %1"); }), "获取服务器Swarm Users数据失败,[201]:服务 %1");
        for (const char* bad : { R"([{"User":"a"}])", R"([{"User":"a","FullName":7}])", "[] // no comments" })
            EXPECT_THROW(decodeUsers(200, bad), nlohmann::json::exception) << bad;
    }

    TEST(SwarmDecoding, ChangeReviewStatesIdsAndReviewers)
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
            { R"({"totalCount":1,"reviews":[{"id":7,"state":"approved","participants":{"zoe":[],"adam":{}}}]})",
                7, ReviewState::Approved, { "adam", "zoe" } },
            { R"({"totalCount":2,"reviews":[{"id":8,"state":"needsRevision","participants":[]},{"id":1}]})",
                8, ReviewState::NeedRevision, {} },
            { R"({"totalCount":1,"reviews":[{"id":0,"state":"needsReview","participants":null}]})", 0,
                ReviewState::NeedReview, {} },
            { R"({"totalCount":1,"reviews":[{"id":3,"state":"rejected"}]})", 3, ReviewState::Reject, {} },
            { R"({"totalCount":1,"reviews":[{"id":5,"state":"Approved"}]})", 5, ReviewState::Unknow, {} },
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.reply);
            const ReviewInfo info = decodeChangeReview(row.reply);
            EXPECT_EQ(info.id, row.id);
            EXPECT_EQ(info.state, row.state);
            EXPECT_EQ(info.reviewers, row.reviewers);
        }
        // A list of participants has no names to read: an odd server, not a crash.
        EXPECT_THROW(
            decodeChangeReview(R"({"totalCount":1,"reviews":[{"id":1,"state":"x","participants":["a"]}]})"),
            nlohmann::json::invalid_iterator);
    }

    TEST(SwarmDecoding, CommentsExclusionsAndCreation)
    {
        const auto listed = decodeComments(R"({"comments":[{"user":"a","body":"general","context":[]},
            {"user":"b","body":"reply","context":{"comment":35}},{"user":"c","body":"file","context":{"file":"x"}},
            {"user":"d","body":"bare"}]})");
        ASSERT_EQ(listed.size(), 3u);
        EXPECT_EQ(listed[0].user + listed[1].user + listed[2].user + listed[0].body, "acdgeneral");
        const auto keyed = decodeComments(
            R"({"comments":{"9":{"user":"nine","body":"x"},"10":{"user":"ten","body":"y"}}})");
        ASSERT_EQ(keyed.size(), 2u);
        EXPECT_EQ(keyed[0].user + keyed[1].user, "tennine");
        EXPECT_TRUE(decodeComments(R"({"comments":null})").empty());

        const std::string rules
            = R"({"data":{"workflows":[{"user_exclusions":{"rule":["alice","Swarm"]}}]}})";
        EXPECT_TRUE(decodeUserExcluded(rules, "alice"));
        EXPECT_FALSE(decodeUserExcluded(rules, "swarm"));

        EXPECT_EQ(encodeCreateReview(1234, "", {}), R"({"change":1234,"description":"","reviewers":[]})");
        EXPECT_EQ(encodeCreateReview(-1, "[T]修 \"a\"", { "zoe", "adam" }),
            R"({"change":-1,"description":"[T]修 \"a\"","reviewers":["zoe","adam"]})");
        EXPECT_THROW(encodeCreateReview(1, "bad \xff", {}), nlohmann::json::type_error);
        EXPECT_NO_THROW(decodeCreateReviewReply(R"({"review":null})"));
        for (const char* reply : { R"({"error":"exists","isValid":false})", R"([{"review":{}}])" })
            EXPECT_EQ(errorOf([&] { decodeCreateReviewReply(reply); }), "create swarm review failed.")
                << reply;
    }

} // namespace
} // namespace velmora::swarm
