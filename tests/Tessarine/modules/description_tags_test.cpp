#include "modules/description_tags.h"

#include <QThread>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

    using Names = std::vector<std::string>;

    TEST(DescriptionTags, EdgeCases)
    {
        struct Row {
            std::string description;
            Names names;
            std::string free_text; // the whole input when there are no names
        };
        const Row rows[] = {
            { "[feature][ui] add button", { "feature", "ui" }, " add button" },
            { "[docs]", { "docs" }, "" },
            { "[docs] ", { "docs" }, " " },
            { "[a][b][a]x", { "a", "b", "a" }, "x" },
            { "[azAZ09:_-][fix:core_1-2]t", { "azAZ09:_-", "fix:core_1-2" }, "t" },
            { "[a] [b] text", { "a" }, " [b] text" },
            { "[a][b c]text", { "a" }, "[b c]text" },
            { "[a]\n[b]", { "a" }, "\n[b]" },
            { "[a][]x", { "a" }, "[]x" },
            { "[a][bc", { "a" }, "[bc" },
            { "[a]]x", { "a" }, "]x" },
            { "[a][中]x", { "a" }, "[中]x" },
            { " add button", {}, "" },
            { "fix [a] later", {}, "" },
            { "[]text", {}, "" },
            { "[[a]]text", {}, "" },
            { "", {}, "" },
            { "[中文]text", {}, "" },
            { "[v1.2]text", {}, "" },
            { "[abc", {}, "" },
            { std::string("[a\0]x", 5), {}, "" },
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.description);
            std::string free_text = "left over";
            EXPECT_EQ(parseDescriptionTags(row.description, &free_text), row.names);
            EXPECT_EQ(free_text, row.names.empty() ? row.description : row.free_text);
            EXPECT_EQ(parseDescriptionTags(row.description, nullptr), row.names);
        }
        EXPECT_EQ(tagLiterals({}), QString());
        // Names are UTF-8; a "%1" inside a name is text, not a place marker.
        EXPECT_EQ(tagLiterals({ "fix:core_1-2", "中文", "%1" }), QStringLiteral("[fix:core_1-2][中文][%1]"));
    }

    // On a thread with a small stack: a parser that recursed per character
    // (as std::regex does) would overflow it long before the end.
    TEST(DescriptionTags, LongDescriptionsOnASmallStack)
    {
        std::string description;
        Names expected;
        for (int i = 0; description.size() < 4 * 1024 * 1024; ++i) {
            expected.push_back("t" + std::to_string(i % 1000));
            description += "[" + expected.back() + "]";
        }
        description += " " + std::string(4 * 1024 * 1024, 'x');
        Names names;
        std::string free_text;
        const std::unique_ptr<QThread> thread(
            QThread::create([&] { names = parseDescriptionTags(description, &free_text); }));
        thread->setStackSize(256 * 1024);
        thread->start();
        thread->wait();
        EXPECT_TRUE(names == expected);
        EXPECT_EQ(free_text.size(), 4 * 1024 * 1024 + 1u);
    }

} // namespace
} // namespace velmora
