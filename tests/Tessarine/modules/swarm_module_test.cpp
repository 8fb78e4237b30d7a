#include "modules/swarm_module.h"

#include "error_of.h"
#include "modules/swarm_requests.h"
#include "review_server.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <tuple>

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
        EXPECT_THROW(module->refresh(), std::runtime_error);
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
        module->initialize(42);

        // A reply of the expected shape counts whatever its status; one of another shape under
        // an error status names the status and the body.
        const std::function<void()> refresh = [&] { module->refresh(); };
        const std::function<void()> mustReview = [&] { module->checkIfMustBeReview(); };
        const std::function<void()> create = [&] { module->requestSwarmReview(42, "again", {}); };
        const std::tuple<Route, Reply, std::function<void()>, std::string> rows[] = {
            { Route::ChangeCheck, { 500, R"({"isValid":true})" }, refresh, "(nothing thrown)" },
            { Route::ChangeCheck, { 200, "<html>OK</html>", "text/html" }, refresh,
                "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while "
                "parsing value - invalid literal; last read: '<'" },
            { Route::Reviews, { 502, "<html>Bad Gateway</html>", "text/html" }, refresh,
                "获取Swarm Review数据失败,[502]:<html>Bad Gateway</html>" },
            { Route::Workflow, { 503, "" }, mustReview, "获取Swarm工作流数据失败,[503]:" },
            { Route::CreateReview, { 201, R"({"review":null})" }, create, "(nothing thrown)" },
            { Route::CreateReview, { 200, "{}" }, create, "create swarm review failed." },
        };
        for (const auto& [route, reply, call, expected] : rows) {
            server_.setRouteReply(route, reply);
            EXPECT_EQ(errorOf(call), expected) << reply.body;
            server_.clearRouteReply(route);
        }
        addReview(7, "needsReview");
        server_.setComments(7, {});
        server_.setRouteReply(Route::Comments, Reply { 404, "<h1>Not Found</h1>", "text/html" });
        EXPECT_EQ(errorOf(refresh), "获取Swarm Review评论失败,[404]:<h1>Not Found</h1>");
        EXPECT_EQ(errorOf(create),
            R"(创建Swarm Review失败,[400]:{"error":"A Review for change 42 already exists.","isValid":false})");

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
