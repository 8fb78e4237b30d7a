#include "modules/tag_module.h"

#include "tag_server.h"

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velmora {
namespace {

    using namespace std::chrono_literals;
    using standin::TagServer;

    std::string errorOf(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const std::exception& error) {
            return error.what();
        }
        return "(nothing thrown)";
    }

    class TagModuleTest : public ::testing::Test {
    protected:
        void SetUp() override { server_.start(); }
        std::unique_ptr<TagModule> fetch(std::chrono::milliseconds timeout = 10s)
        {
            return std::make_unique<TagModule>(server_.baseUrl(), timeout);
        }
        TagServer server_;
    };

    TEST_F(TagModuleTest, TheTableKeepsTheFirstOfANameAndSelectsFromTheDescription)
    {
        server_.replyWithTags({ { "a", "first" }, { "b", "bee" }, { "a", "second" }, { "c", "C" } });
        const auto module = fetch();
        const auto requests = server_.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method + " " + requests[0].target,
            "GET /api/api/v1/projects/VL58.Marlow/commit_tags");
        EXPECT_EQ(requests[0].header("Content-Type"), "application/json");

        const auto tags = module->getProjectTags();
        EXPECT_EQ(std::set(tags.begin(), tags.end()),
            (std::set<std::pair<QString, QString>> { { "a", "first" }, { "b", "bee" }, { "c", "C" } }));
        QString reason = "untouched";
        EXPECT_FALSE(module->isValid(&reason));
        EXPECT_EQ(reason, "需要选中相关TAGS标签");
        EXPECT_FALSE(module->isValid(nullptr));

        // Known names of the prefix only, case-sensitive; a later call adds and never clears.
        module->initialize("[c][zz][A] text [b]");
        module->initialize("no tags [b]");
        module->setTag("zz", true);
        EXPECT_TRUE(module->getTag("c"));
        EXPECT_FALSE(module->getTag("a") || module->getTag("b") || module->getTag("zz"));
        EXPECT_EQ(module->getProjectTags().size(), 3);

        // The literals follow the table's order, whatever the order of selection.
        module->setTag("a", true);
        QString literals;
        for (const auto& [name, description] : tags)
            if (name != "b")
                literals += "[" + name + "]";
        EXPECT_EQ(module->getCurrentTagsLiterals(), literals);
        reason = "untouched";
        EXPECT_TRUE(module->isValid(&reason));
        EXPECT_EQ(reason, "untouched");
        module->setTag("a", false);
        module->setTag("c", false);
        EXPECT_FALSE(module->isValid(nullptr));
    }

    TEST_F(TagModuleTest, FailedRepliesThrowFromTheConstructor)
    {
        const std::pair<std::function<void()>, std::string> rows[] = {
            { [&] { server_.replyWith(404, "no such project"); },
                "服务器获取标签[Tag]数据失败,[404]:no such project" },
            { [&] { server_.replyWith(201, R"({"code":0,"data":{"list":[]}})"); },
                R"(服务器获取标签[Tag]数据失败,[201]:{"code":0,"data":{"list":[]}})" },
            { [&] { server_.replyWithFailure(1, "项目不存在"); }, "[TagModule]Get Tags Failed. 项目不存在" },
            { [&] { server_.replyWith(200, R"({"code":1e30,"msg":"big"})"); },
                "[TagModule]Get Tags Failed. big" },
            { [&] { server_.replyWith(200, "<html>gateway</html>"); }, "parse_error" },
            { [&] { server_.replyWith(200, R"({"code":0,"data":{"list":[{"name":"a"}]}})"); },
                "out_of_range" },
            { [&] { server_.replyWith(200, R"({"code":"0","data":{"list":[]}})"); }, "type_error" },
            { [&] { server_.replyWith(200, R"({"code":0,"data":{"list":[{"name":5,"description":"d"}]}})"); },
                "type_error" },
        };
        for (const auto& [script, message] : rows) {
            SCOPED_TRACE(message);
            script();
            const std::string error = errorOf([&] { fetch(); });
            EXPECT_TRUE(error == message || error.find(message) != std::string::npos) << error;
        }
        // Without an HTTP answer there is no body: the transport error says why.
        server_.replyNever();
        EXPECT_NE(errorOf([&] { fetch(300ms); }).find("服务器获取标签[Tag]数据失败,[0]:"), std::string::npos);
        const std::string url = server_.baseUrl();
        server_.stop();
        const std::string refused = errorOf([&] { TagModule module(url); });
        EXPECT_EQ(refused.rfind("服务器获取标签[Tag]数据失败,[0]:", 0), 0u) << refused;
        EXPECT_NE(refused.find("Couldn't connect to server"), std::string::npos) << refused;
    }

} // namespace
} // namespace velmora
