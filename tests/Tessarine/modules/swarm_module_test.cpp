#include "modules/swarm_module.h"

#include "error_of.h"
#include "modules/swarm_requests.h"
#include "review_server.h"

#include <functional>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velmora {
namespace {

    using json = nlohmann::json;
    using Route = standin::ReviewServer::Route;
    using Reply = standin::ReviewServer::Reply;

    // A review module against a fresh stand-in review server on a free port.
    class SwarmModuleTest : public ::testing::Test {
    protected:
        void SetUp() override
        {
            server_.setUsers({ { "bruno", "Bruno First", "" }, { "alice", "Alice 王", "" },
                { "bruno", "Bruno Again", "" } });
            server_.start();
        }
        std::unique_ptr<SwarmModule> makeModule()
        {
            return std::make_unique<SwarmModule>(server_.baseUrl(), server_.apiUser(), server_.apiToken());
        }
        void addReview(int id, const std::string& state, std::vector<std::string> participants = {})
        {
            server_.addReview({ id, "bruno", "", state, { 42 }, std::move(participants), {} });
        }
        standin::ReviewServer server_;
    };

    TEST_F(SwarmModuleTest, ReadsUsersReviewAndCommentsWithCredentials)
    {
        auto module = makeModule();
        ASSERT_EQ(module->getAllReviewers().size(), 3u);
        EXPECT_EQ(module->getReviewer("bruno").FullName, "Bruno Again");
        EXPECT_EQ(module->getReviewer("zoe").User + module->getReviewer("zoe").FullName, "zoe");
        module->initialize(42);
        EXPECT_EQ(module->getSwarmReviewState(), "UnCreate");
        const auto stateOf = [](const std::string& state) { // what neither these tests nor the panel's reach
            return swarm::decodeChangeReview(
                R"({"totalCount":1,"reviews":[{"id":3,"state":")" + state + "\"}]}")
                .state;
        };
        EXPECT_EQ(std::pair(stateOf("rejected"), stateOf("Approved")),
            std::pair(int(ReviewState::Reject), int(ReviewState::Unknow)));

        addReview(0, "needsRevision", { "zoe", "adam" }); // id 0 is a review too
        server_.setComments(0,
            { { 9, "alice", "nine", json::array() }, { 11, "adam", "re", json { { "comment", 9 } } },
                { 12, "zoe", "on a file", json { { "file", "//a.c" } } } }); // replies are left out
        std::string seen;
        QObject::connect(module.get(), &SwarmModule::updateSwarmInfoCompleted,
            [&] { seen = module->getSwarmReviewState(); });
        module->refreshSwarmReviewInfo(); // the signal follows the refresh
        EXPECT_EQ(seen, "NeedRevision");
        EXPECT_EQ(
            module->getSwarmReviewInfo().reviewers, (std::vector<std::string> { "adam", "bruno", "zoe" }));
        ASSERT_EQ(module->getSwarmComments().size(), 2u);
        EXPECT_EQ(module->getSwarmComments()[0].body + module->getSwarmComments()[1].body, "nineon a file");
        for (const auto& request : server_.requests())
            EXPECT_EQ(request.header("Content-Type") + " " + request.header("Authorization"),
                "application/json Basic c3dhcm06MDEyMzQ1Njc4OUFCQ0RFRjAxMjM0NTY3ODlBQkNERUY=");
        EXPECT_EQ(server_.requests().back().target, "/api/v9/comments?topic=reviews/0");

        // A refresh that fails midway keeps what the earlier requests brought; one that finds
        // no review keeps the comments.
        server_.setCheckResult(42, true);
        server_.setRouteReply(Route::Reviews, Reply { 502, "<html>Bad Gateway</html>" });
        EXPECT_THROW(module->refresh(), json::parse_error);
        EXPECT_FALSE(module->checkIfMustBeReview());
        EXPECT_EQ(module->getSwarmReviewState(), "NeedRevision");
        server_.setRouteReply(Route::Reviews, Reply { 200, R"({"totalCount":0})" });
        module->refresh();
        EXPECT_EQ(module->getSwarmReviewInfo().id, -1);
        EXPECT_EQ(module->getSwarmComments().size(), 2u);
    }

    TEST_F(SwarmModuleTest, FailuresNameTheirCause)
    {
        server_.setRouteReply(Route::Users, Reply { 500, "<h1>内部错误 %1</h1>", "text/html" });
        EXPECT_EQ(errorOf([&] { makeModule(); }), "获取服务器Swarm Users数据失败,[500]:<h1>内部错误 %1</h1>");
        server_.clearRouteReply(Route::Users);
        auto module = makeModule();
        addReview(7, "needsReview");
        EXPECT_EQ(
            errorOf([&] { module->requestSwarmReview(42, "again", {}); }), "create swarm review failed.");
        server_.stop();
        const std::string lost = errorOf([&] { module->initialize(42); });
        EXPECT_EQ(lost.rfind("[SwarmModule]No answer from the review server: ", 0), 0u) << lost;
        EXPECT_EQ(errorOf([&] { makeModule(); }).rfind("获取服务器Swarm Users数据失败,[0]:", 0), 0u);
    }

    TEST_F(SwarmModuleTest, IsValidAndMustBeReviewedAskTheServer)
    {
        auto module = makeModule();
        module->initialize(42);
        QString error = "untouched";
        EXPECT_FALSE(module->isValid(&error));
        EXPECT_EQ(error, "需要通过Swarm审核");
        EXPECT_TRUE(module->checkIfMustBeReview());

        addReview(7, "approved"); // seen by the next refresh, which isValid makes
        error = "untouched";
        EXPECT_TRUE(module->isValid(&error));
        EXPECT_EQ(error, "untouched");
        EXPECT_FALSE(module->checkIfMustBeReview());

        // The exclusion list is asked about the API user, case-sensitively.
        server_.setCheckResult(42, false);
        module->refresh();
        server_.setUserExclusions({ "Swarm", "alice" });
        EXPECT_TRUE(module->checkIfMustBeReview());
        server_.setUserExclusions({ "swarm" });
        EXPECT_FALSE(module->checkIfMustBeReview());
    }

} // namespace
} // namespace velmora
