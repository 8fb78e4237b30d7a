#include "modules/tag_module.h"

#include "modules/description_tags.h"
#include "tag_server.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velmora {
namespace {

    using namespace std::chrono_literals;
    using standin::TagServer;
    using TagPairs = std::set<std::pair<QString, QString>>;

    const QString kNoTagSelected = QStringLiteral("需要选中相关TAGS标签");

    class TagModuleTest : public ::testing::Test {
    protected:
        void SetUp() override { server_.start(); }

        std::unique_ptr<TagModule> fetch(std::chrono::milliseconds timeout = 10s)
        {
            return std::make_unique<TagModule>(server_.baseUrl(), timeout);
        }

        std::unique_ptr<TagModule> fetchTags(const TagServer::TagList& tags)
        {
            server_.replyWithTags(tags);
            return fetch();
        }

        static TagPairs tagsOf(const TagModule& module)
        {
            const auto list = module.getProjectTags();
            return TagPairs(list.begin(), list.end());
        }

        TagServer server_;
    };

    TEST_F(TagModuleTest, SendsOnePlainGetForTheProject)
    {
        fetchTags({ { "a", "A" } });
        const auto requests = server_.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "GET");
        EXPECT_EQ(requests[0].target, "/api/api/v1/projects/VL58.Marlow/commit_tags");
        EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
        EXPECT_TRUE(requests[0].header("Authorization").empty());
        EXPECT_TRUE(requests[0].body.empty());
        EXPECT_STREQ(kProjectID, "VL58.Marlow");
    }

    TEST_F(TagModuleTest, ListBecomesAnUnselectedTable)
    {
        const auto module = fetchTags({ { "feature", "新功能" }, { "ui", "界面" }, { "fix:core_1-2", "" } });
        EXPECT_EQ(
            tagsOf(*module), TagPairs({ { "feature", "新功能" }, { "ui", "界面" }, { "fix:core_1-2", "" } }));
        for (const char* name : { "feature", "ui", "fix:core_1-2" })
            EXPECT_FALSE(module->getTag(name)) << name;
        EXPECT_TRUE(module->getCurrentTagsLiterals().isEmpty());
        EXPECT_STREQ(module->metaObject()->className(), "velmora::TagModule");
    }

    TEST_F(TagModuleTest, EmptyListGivesAnEmptyTableThatRefuses)
    {
        const auto module = fetchTags({});
        EXPECT_TRUE(module->getProjectTags().isEmpty());
        EXPECT_TRUE(module->getCurrentTagsLiterals().isEmpty());
        QString reason;
        EXPECT_FALSE(module->isValid(&reason));
        EXPECT_EQ(reason, kNoTagSelected);
        EXPECT_FALSE(module->isValid(nullptr));
    }

    TEST_F(TagModuleTest, FirstOfARepeatedNameWins)
    {
        const auto module
            = fetchTags({ { "a", "first" }, { "b", "bee" }, { "a", "second" }, { "a", "third" } });
        EXPECT_EQ(tagsOf(*module), TagPairs({ { "a", "first" }, { "b", "bee" } }));
        EXPECT_EQ(module->getProjectTags().size(), 2);
        EXPECT_FALSE(module->getTag("a"));
    }

    TEST_F(TagModuleTest, OtherKeysAreIgnored)
    {
        server_.replyWith(200, R"({"code":0,"msg":"ok","total":1,"data":{"page":1,
        "list":[{"id":7,"name":"a","description":"A","color":"red"}]}})");
        EXPECT_EQ(tagsOf(*fetch()), TagPairs({ { "a", "A" } }));
    }

    struct FailureRow {
        const char* label;
        std::function<void(TagServer&)> script;
        std::string message; // exact what() of a std::runtime_error; empty for a JSON error
        std::function<bool(const std::exception&)> is_expected;
    };

    template <typename E> std::function<bool(const std::exception&)> isA()
    {
        return [](const std::exception& error) { return dynamic_cast<const E*>(&error) != nullptr; };
    }

    std::function<void(TagServer&)> body(int status, const std::string& text)
    {
        return [=](TagServer& server) { server.replyWith(status, text); };
    }

    TEST_F(TagModuleTest, FailedRepliesThrowFromTheConstructor)
    {
        using json = nlohmann::json;
        const auto runtime = isA<std::runtime_error>();
        const std::vector<FailureRow> rows = {
            { "404 with a body", body(404, "no such project"),
                "服务器获取标签[Tag]数据失败,[404]:no such project", runtime },
            { "500 with a Chinese body", body(500, "服务器内部错误"),
                "服务器获取标签[Tag]数据失败,[500]:服务器内部错误", runtime },
            { "201 is not 200", body(201, TagServer::tagListJson({ { "a", "A" } })),
                "服务器获取标签[Tag]数据失败,[201]:" + TagServer::tagListJson({ { "a", "A" } }), runtime },
            { "place markers in the body stay text", body(503, "%1 %2"),
                "服务器获取标签[Tag]数据失败,[503]:%1 %2", runtime },
            { "failure code with msg", [](TagServer& s) { s.replyWithFailure(1, "项目不存在"); },
                "[TagModule]Get Tags Failed. 项目不存在", runtime },
            { "negative code, empty msg", [](TagServer& s) { s.replyWithFailure(-3, ""); },
                "[TagModule]Get Tags Failed. ", runtime },
            { "float code beyond int", body(200, R"({"code":1e30,"msg":"big"})"),
                "[TagModule]Get Tags Failed. big", runtime },
            { "not JSON", body(200, "<html>gateway</html>"), "", isA<json::parse_error>() },
            { "empty body", body(200, ""), "", isA<json::parse_error>() },
            { "truncated JSON", body(200, R"({"code":0,"data":{"list":[)"), "", isA<json::parse_error>() },
            { "element without name", body(200, R"({"code":0,"data":{"list":[{"description":"d"}]}})"), "",
                isA<json::out_of_range>() },
            { "element without description", body(200, R"({"code":0,"data":{"list":[{"name":"a"}]}})"), "",
                isA<json::out_of_range>() },
            { "name not a string", body(200, R"({"code":0,"data":{"list":[{"name":5,"description":"d"}]}})"),
                "", isA<json::type_error>() },
            { "description null",
                body(200, R"({"code":0,"data":{"list":[{"name":"a","description":null}]}})"), "",
                isA<json::type_error>() },
            { "element not an object", body(200, R"({"code":0,"data":{"list":["a"]}})"), "",
                isA<json::type_error>() },
            { "no code", body(200, R"({"msg":"x","data":{"list":[]}})"), "", isA<json::type_error>() },
            { "code a string", body(200, R"({"code":"0","data":{"list":[]}})"), "", isA<json::type_error>() },
            { "failure without msg", body(200, R"({"code":2})"), "", isA<json::type_error>() },
            { "msg not a string", body(200, R"({"code":2,"msg":404})"), "", isA<json::type_error>() },
            { "no data", body(200, R"({"code":0,"msg":"ok"})"), "", isA<json::type_error>() },
            { "data without list", body(200, R"({"code":0,"data":{}})"), "", isA<json::type_error>() },
            { "list an object", body(200, R"({"code":0,"data":{"list":{}}})"), "", isA<json::type_error>() },
            { "reply an array", body(200, "[]"), "", isA<json::type_error>() },
            { "reply a number", body(200, "0"), "", isA<json::type_error>() },
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(row.label);
            row.script(server_);
            try {
                fetch();
                ADD_FAILURE() << "no exception";
            } catch (const std::exception& error) {
                EXPECT_TRUE(row.is_expected(error)) << error.what();
                if (!row.message.empty()) {
                    EXPECT_EQ(std::string(error.what()), row.message);
                }
            }
        }
    }

    // Without an HTTP answer there is no body: the transport error says why.
    TEST_F(TagModuleTest, NoAnswerReportsStatusZeroAndWhy)
    {
        TagServer closed;
        const std::string closed_url = [&] {
            closed.start();
            closed.stop();
            return closed.baseUrl();
        }();
        server_.replyNever();
        const std::vector<std::pair<std::function<void()>, std::string>> cases {
            { [&] { TagModule module(closed_url); }, "Couldn't connect to server" },
            { [&] { fetch(300ms); }, "timed out" },
        };
        const std::string prefix = "服务器获取标签[Tag]数据失败,[0]:";
        for (const auto& [call, why] : cases) {
            try {
                call();
                ADD_FAILURE() << "no exception";
            } catch (const std::runtime_error& error) {
                const std::string text = error.what();
                EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
                EXPECT_NE(text.find(why, prefix.size()), std::string::npos) << text;
            }
        }
    }

    TEST_F(TagModuleTest, WrongProjectPathIsNotServed)
    {
        TagServer other("OTHER.Project");
        other.start();
        try {
            TagModule module(other.baseUrl());
            FAIL() << "no exception";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "服务器获取标签[Tag]数据失败,[404]:no such path");
        }
    }

    TEST_F(TagModuleTest, InitializeSelectsKnownNamesOnly)
    {
        const auto module = fetchTags({ { "a", "A" }, { "b", "B" }, { "c", "C" } });
        module->initialize("[a][zz][a] text [b]");
        EXPECT_TRUE(module->getTag("a"));
        EXPECT_FALSE(module->getTag("b")); // after the blank: free text
        EXPECT_FALSE(module->getTag("c"));
        EXPECT_FALSE(module->getTag("zz"));
        EXPECT_EQ(module->getProjectTags().size(), 3);
        EXPECT_EQ(module->getCurrentTagsLiterals(), QStringLiteral("[a]"));

        // A second call adds and never clears.
        module->initialize("[c]");
        EXPECT_TRUE(module->getTag("a"));
        EXPECT_TRUE(module->getTag("c"));
        module->initialize("no tags [b]");
        module->initialize("");
        EXPECT_FALSE(module->getTag("b"));
        EXPECT_EQ(module->getProjectTags().size(), 3);
    }

    TEST_F(TagModuleTest, InitializeIsCaseSensitive)
    {
        const auto module = fetchTags({ { "Docs", "D" } });
        module->initialize("[docs][DOCS]x");
        EXPECT_FALSE(module->getTag("Docs"));
        EXPECT_FALSE(module->isValid(nullptr));
    }

    TEST_F(TagModuleTest, SetTagChangesKnownNamesAndCreatesNothing)
    {
        const auto module = fetchTags({ { "a", "A" }, { "b", "B" } });
        module->setTag("zz", true);
        module->setTag("", true);
        EXPECT_FALSE(module->getTag("zz"));
        EXPECT_EQ(tagsOf(*module), TagPairs({ { "a", "A" }, { "b", "B" } }));
        EXPECT_TRUE(module->getCurrentTagsLiterals().isEmpty());

        module->setTag("a", true);
        module->setTag("b", true);
        EXPECT_TRUE(module->isValid(nullptr));
        module->setTag("a", false);
        EXPECT_EQ(module->getCurrentTagsLiterals(), QStringLiteral("[b]"));

        QString reason = QStringLiteral("untouched");
        EXPECT_TRUE(module->isValid(&reason));
        EXPECT_EQ(reason, QStringLiteral("untouched"));

        module->setTag("b", false);
        EXPECT_FALSE(module->isValid(&reason));
        EXPECT_EQ(reason, kNoTagSelected);
        EXPECT_FALSE(module->isValid(nullptr));
    }

    TEST_F(TagModuleTest, LiteralsFollowTheProjectTagOrder)
    {
        TagServer::TagList tags;
        for (int i = 0; i < 40; ++i)
            tags.push_back({ "tag_" + std::to_string(i), "d" + std::to_string(i) });
        const auto module = fetchTags(tags);
        const auto order = module->getProjectTags();
        ASSERT_EQ(order.size(), 40);

        // Select every third tag in reverse order of the list: the literals must
        // still come in table order.
        std::vector<std::string> expected_names;
        for (int i = 39; i >= 0; i -= 3)
            module->setTag("tag_" + std::to_string(i), true);
        for (const auto& [name, description] : order) {
            if (module->getTag(name.toStdString()))
                expected_names.push_back(name.toStdString());
        }
        ASSERT_EQ(expected_names.size(), 14u);
        EXPECT_EQ(module->getCurrentTagsLiterals(), tagLiterals(expected_names));
        EXPECT_EQ(module->getProjectTags(), order); // stable across calls

        // The window's composition reads back as the same tags and text.
        const std::string description = module->getCurrentTagsLiterals().toStdString() + " [x] text";
        std::string free_text;
        EXPECT_EQ(parseDescriptionTags(description, &free_text), expected_names);
        EXPECT_EQ(free_text, " [x] text");
    }

    TEST(TagFromJson, ReadsRequiredStringKeys)
    {
        using json = nlohmann::json;
        const auto tag = json::parse(R"({"name":"界面","description":"UI","extra":[1]})").get<Tag>();
        EXPECT_EQ(tag.name, "界面");
        EXPECT_EQ(tag.description, "UI");
        EXPECT_THROW(json::parse(R"({"name":"a"})").get<Tag>(), json::out_of_range);
        EXPECT_THROW(json::parse(R"({"description":"a"})").get<Tag>(), json::out_of_range);
        EXPECT_THROW(json::parse(R"({"name":true,"description":"a"})").get<Tag>(), json::type_error);
        EXPECT_THROW(json::parse(R"({"name":"a","description":3})").get<Tag>(), json::type_error);
    }

} // namespace
} // namespace velmora
