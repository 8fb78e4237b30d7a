#include "modules/description_tags.h"

#include <QThread>

#include <cstddef>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Names = std::vector<std::string>;

struct Row {
    const char* label;
    std::string description;
    Names names;
    std::string free_text;
};

// The free text is the whole input in the rows that have no tags.
Row tagless(const char* label, const std::string& description)
{
    return { label, description, {}, description };
}

TEST(DescriptionTags, EdgeCases)
{
    const std::vector<Row> rows = {
        { "two tags, blank, text", "[feature][ui] add button", { "feature", "ui" }, " add button" },
        { "only a literal", "[docs]", { "docs" }, "" },
        { "literal and one blank", "[docs] ", { "docs" }, " " },
        { "empty prefix as the window writes it", " add button", {}, " add button" },
        { "duplicates kept in order", "[a][b][a]x", { "a", "b", "a" }, "x" },
        { "full name set", "[fix:core_1-2]", { "fix:core_1-2" }, "" },
        { "every name char", "[azAZ09:_-]t", { "azAZ09:_-" }, "t" },
        { "blank ends the run", "[a] [b] text", { "a" }, " [b] text" },
        { "blank inside next literal", "[a][b c]text", { "a" }, "[b c]text" },
        { "line break ends the run", "[a]\n[b]", { "a" }, "\n[b]" },
        { "CRLF kept", "[a]\r\nline\r\n", { "a" }, "\r\nline\r\n" },
        { "empty brackets end the run", "[a][]x", { "a" }, "[]x" },
        { "unterminated literal after run", "[a][bc", { "a" }, "[bc" },
        { "lone bracket after run", "[a][", { "a" }, "[" },
        { "stray closing bracket", "[a]]x", { "a" }, "]x" },
        { "CJK in a later literal", "[a][中]x", { "a" }, "[中]x" },
        { "embedded NUL in free text", std::string("[a]\0x", 5), { "a" }, std::string("\0x", 2) },
        tagless("text before a literal", "fix [a] later"),
        tagless("blank before the first literal", " [a]text"),
        tagless("empty brackets", "[]text"),
        tagless("blank in the name", "[b c]text"),
        tagless("doubled brackets", "[[a]]text"),
        tagless("empty description", ""),
        tagless("CJK name", "[中文]text"),
        tagless("CJK after ASCII in the name", "[ab中]text"),
        tagless("dot in the name", "[v1.2]text"),
        tagless("unterminated", "[abc"),
        tagless("lone bracket", "["),
        tagless("NUL in the name", std::string("[a\0]x", 5)),
        tagless("high byte in the name", "[a\xff]x"),
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::string free_text = "left over from before";
        EXPECT_EQ(parseDescriptionTags(row.description, &free_text), row.names);
        EXPECT_EQ(free_text, row.free_text);
        EXPECT_EQ(parseDescriptionTags(row.description, nullptr), row.names);
    }
}

TEST(DescriptionTags, LiteralWriter)
{
    EXPECT_EQ(tagLiterals({}), QString());
    EXPECT_EQ(tagLiterals({ "a" }), QStringLiteral("[a]"));
    EXPECT_EQ(
        tagLiterals({ "feature", "ui", "fix:core_1-2" }), QStringLiteral("[feature][ui][fix:core_1-2]"));
    // Names are UTF-8; a "%1" inside a name is text, not a place marker.
    EXPECT_EQ(tagLiterals({ "中文", "%1" }), QStringLiteral("[中文][%1]"));
}

TEST(DescriptionTags, PrefixBlankTextRoundTrip)
{
    const std::vector<Names> prefixes
        = { {}, { "a" }, { "feature", "ui" }, { "x", "x" }, { "fix:core_1-2", "Z9" } };
    const std::vector<std::string> texts
        = { "", "add button", "[b] bracketed start", "[c][d]", "two\nlines", " lead" };
    for (const auto& names : prefixes) {
        for (const auto& text : texts) {
            const std::string description = tagLiterals(names).toStdString() + " " + text;
            SCOPED_TRACE(description);
            std::string free_text;
            EXPECT_EQ(parseDescriptionTags(description, &free_text), names);
            EXPECT_EQ(free_text, " " + text);
        }
    }
}

// The routine as first written with std::regex: the reference for short inputs.
Names parseWithRegex(const std::string& description, std::string* free_text)
{
    static const std::regex description_pattern(
        R"(^\[([a-zA-Z0-9:_-]+)\]((\[[a-zA-Z0-9:_-]+\])*)([\w\W]*)$)");
    static const std::regex tag_pattern(R"(\[([a-zA-Z0-9:_-]+)\])");
    Names names;
    std::smatch match;
    if (std::regex_match(description, match, description_pattern)) {
        names.push_back(match[1].str());
        std::string rest = match[2].str();
        std::smatch hit;
        while (std::regex_search(rest, hit, tag_pattern)) {
            names.push_back(hit[1].str());
            rest = hit.suffix().str();
        }
        if (free_text)
            *free_text = match[match.size() - 1].str();
    } else if (free_text) {
        *free_text = description;
    }
    return names;
}

void expectSameAsRegex(const std::string& description)
{
    std::string expected_text;
    std::string actual_text;
    const Names expected = parseWithRegex(description, &expected_text);
    const Names actual = parseDescriptionTags(description, &actual_text);
    ASSERT_EQ(actual, expected) << "input: \"" << description << "\"";
    ASSERT_EQ(actual_text, expected_text) << "input: \"" << description << "\"";
}

TEST(DescriptionTags, MatchesRegexOnEveryShortString)
{
    const std::vector<std::string> alphabet = { "[", "]", "a", ":", "-", "_", " ", "\n", "x", "中" };
    constexpr std::size_t kMaxLength = 6;
    std::vector<std::size_t> digits;
    std::size_t checked = 0;
    for (std::size_t length = 0; length <= kMaxLength; ++length) {
        digits.assign(length, 0);
        while (true) {
            std::string description;
            for (std::size_t d : digits)
                description += alphabet[d];
            expectSameAsRegex(description);
            if (HasFatalFailure())
                return;
            ++checked;
            std::size_t i = 0;
            while (i < length && ++digits[i] == alphabet.size())
                digits[i++] = 0;
            if (i == length)
                break;
        }
    }
    EXPECT_EQ(checked, 1111111u); // 10^0 + ... + 10^6
}

TEST(DescriptionTags, MatchesRegexOnRandomStrings)
{
    // Whole literals as tokens reach longer runs than single characters do.
    const std::vector<std::string> tokens = { "[", "]", "[a]", "[Bc]", "[x:y_z-1]", "[]", "[a b]", "a", "Z",
        "9", ":", "-", "_", " ", "\n", "\r", "中", "\xff", std::string(1, '\0'), ".", "\\", "[[", "]]" };
    std::mt19937 random(20240611u);
    std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
    std::uniform_int_distribution<int> length(0, 16);
    for (int n = 0; n < 20000; ++n) {
        std::string description;
        for (int i = length(random); i > 0; --i)
            description += tokens[pick(random)];
        expectSameAsRegex(description);
        if (HasFatalFailure())
            return;
    }
}

// Runs the parser on a thread with a small stack: a parser that recursed per
// character would crash here long before the end of the input.
Names parseOnSmallStack(const std::string& description, std::string* free_text)
{
    Names names;
    std::unique_ptr<QThread> thread(
        QThread::create([&] { names = parseDescriptionTags(description, free_text); }));
    thread->setStackSize(256 * 1024);
    thread->start();
    thread->wait();
    return names;
}

TEST(DescriptionTags, TenMegabyteDescriptions)
{
    constexpr std::size_t kSize = 10 * 1024 * 1024;
    {
        SCOPED_TRACE("long free text");
        const std::string text(kSize, 'x');
        std::string free_text;
        EXPECT_EQ(parseOnSmallStack("[a][b] " + text, &free_text), Names({ "a", "b" }));
        EXPECT_EQ(free_text.size(), text.size() + 1);
        EXPECT_TRUE(free_text == " " + text);
    }
    {
        SCOPED_TRACE("long run of literals");
        std::string description;
        Names expected;
        for (int i = 0; description.size() < kSize; ++i) {
            expected.push_back("t" + std::to_string(i % 1000));
            description += "[" + expected.back() + "]";
        }
        description += " done";
        std::string free_text;
        const Names names = parseOnSmallStack(description, &free_text);
        EXPECT_EQ(names.size(), expected.size());
        EXPECT_TRUE(names == expected);
        EXPECT_EQ(free_text, " done");
    }
    {
        SCOPED_TRACE("one unterminated name");
        const std::string description = "[" + std::string(kSize, 'n');
        std::string free_text;
        EXPECT_TRUE(parseOnSmallStack(description, &free_text).empty());
        EXPECT_TRUE(free_text == description);
    }
    {
        SCOPED_TRACE("a huge name");
        const std::string name(kSize, 'N');
        std::string free_text;
        const Names names = parseOnSmallStack("[" + name + "]", &free_text);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_TRUE(names.front() == name);
        EXPECT_TRUE(free_text.empty());
    }
}

} // namespace
} // namespace velmora
