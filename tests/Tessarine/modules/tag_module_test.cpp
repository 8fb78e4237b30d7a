#include "modules/tag_module.h"

#include "error_of.h"
#include "modules/description_tags.h"
#include "tag_server.h"

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

    using namespace std::chrono_literals;
    using Names = std::vector<std::string>;

    TEST(DescriptionTags, OnlyTheLeadingRunOfValidLiterals)
    {
        const std::tuple<std::string, Names, std::string> rows[] = {
            // free text: the input when no names
            { "[feature][ui] add button", { "feature", "ui" }, " add button" },
            { "[a][b][a]x", { "a", "b", "a" }, "x" },
            { "[azAZ09:_-][fix:core_1-2]t", { "azAZ09:_-", "fix:core_1-2" }, "t" },
            { "[a] [b] text", { "a" }, " [b] text" },
            { "[a][b c]text", { "a" }, "[b c]text" },
            { "fix [a] later", {}, "" },
            { "", {}, "" },
            { "[v1.2]text", {}, "" },
            { std::string("[a\0]x", 5), {}, "" },
        };
        for (const auto& [description, names, rest] : rows) {
            std::string free_text = "left over";
            EXPECT_EQ(parseDescriptionTags(description, &free_text), names) << description;
            EXPECT_EQ(free_text, names.empty() ? description : rest);
        }
        // A "%1" inside a name is text, not a place marker.
        EXPECT_EQ(tagLiterals({ "fix:core_1-2", "中文", "%1" }), QStringLiteral("[fix:core_1-2][中文][%1]"));
    }

    class TagModuleTest : public ::testing::Test {
    protected:
        void SetUp() override { server_.start(); }
        std::unique_ptr<TagModule> fetch(std::chrono::milliseconds timeout = 10s)
        {
            return std::make_unique<TagModule>(server_.baseUrl(), timeout);
        }
        standin::TagServer server_;
    };

    TEST_F(TagModuleTest, TheTableKeepsTheFirstOfANameAndSelectsFromTheDescription)
    {
        server_.replyWithTags({ { "a", "first" }, { "b", "bee" }, { "a", "second" }, { "c", "C" } });
        const auto module = fetch();
        const auto requests = server_.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method + " " + requests[0].target + " " + requests[0].header("Content-Type"),
            "GET /api/api/v1/projects/VL58.Marlow/commit_tags application/json");
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

        module->setTag("a", true); // the literals follow the table, not the order of selection
        QString literals;
        for (const auto& [name, description] : tags)
            literals += name == "b" ? "" : "[" + name + "]";
        EXPECT_EQ(module->getCurrentTagsLiterals(), literals);
        reason = "untouched";
        EXPECT_TRUE(module->isValid(&reason));
        EXPECT_EQ(reason, "untouched");
    }

    TEST_F(TagModuleTest, FailedRepliesThrowFromTheConstructor)
    {
        const std::tuple<int, std::string, std::string> rows[] = {
            { 404, "no such project", "服务器获取标签[Tag]数据失败,[404]:no such project" },
            { 201, "{}", "服务器获取标签[Tag]数据失败,[201]:{}" },
            { 200, R"({"code":1,"msg":"项目不存在"})", "[TagModule]Get Tags Failed. 项目不存在" },
            { 200, R"({"code":1e30,"msg":"big"})", "[TagModule]Get Tags Failed. big" },
            { 200, R"({"code":0,"data":{"list":[{"name":"a"}]}})", "out_of_range" },
        };
        for (const auto& [status, body, message] : rows) {
            server_.replyWith(status, body);
            const std::string error = errorOf([&] { fetch(); });
            EXPECT_NE(error.find(message), std::string::npos) << error;
        }
        // Without an HTTP answer there is no body: the transport error says why.
        server_.replyNever();
        EXPECT_EQ(errorOf([&] { fetch(300ms); }).rfind("服务器获取标签[Tag]数据失败,[0]:", 0), 0u);
    }

} // namespace
} // namespace velmora
