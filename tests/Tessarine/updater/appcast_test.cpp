#include "updater/appcast.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

namespace velmora::updater {
namespace {

QByteArray feed(const char* items, const char* prefix = "sparkle",
    const char* uri = "http://www.andymatuschak.org/xml-namespaces/sparkle")
{
    return QByteArray("<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:") + prefix + "=\"" + uri
        + "\"><channel><title>Updates</title>" + items + "</channel></rss>";
}

TEST(AppcastParseTest, ReadsTheReferenceItem)
{
    const AppcastParseResult result = parseAppcast(feed(
        "<item><title>Version 1.4.2</title>"
        "<sparkle:version>1420</sparkle:version><sparkle:shortVersionString>1.4.2</sparkle:shortVersionString>"
        "<sparkle:releaseNotesLink>https://example.invalid/notes/1.4.2.html</sparkle:releaseNotesLink>"
        "<enclosure url=\"https://example.invalid/app-1.4.2.dmg\" length=\"123456\" type=\"application/octet-stream\"/>"
        "</item>"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    ASSERT_EQ(result.items.size(), 1u);
    const AppcastItem& item = result.items[0];
    EXPECT_EQ(item.title, "Version 1.4.2");
    EXPECT_EQ(item.version, "1420");
    EXPECT_EQ(item.short_version, "1.4.2");
    EXPECT_EQ(item.url, "https://example.invalid/app-1.4.2.dmg");
    EXPECT_TRUE(item.os.isEmpty());
}

struct VersionSource {
    const char* name;
    const char* item;
    const char* expected_version;
};

class AppcastVersionTest : public ::testing::TestWithParam<VersionSource> {};

TEST_P(AppcastVersionTest, ResolvesTheItemVersion)
{
    const AppcastParseResult result = parseAppcast(feed(GetParam().item));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].version, QString::fromUtf8(GetParam().expected_version));
}

INSTANTIATE_TEST_SUITE_P(Sources, AppcastVersionTest,
    ::testing::Values(
        VersionSource { "AttributeBeforeElement",
            "<item><sparkle:version>2</sparkle:version><enclosure url=\"http://h/App_3.zip\" sparkle:version=\"1\"/></item>", "1" },
        VersionSource { "ElementBeforeFileName",
            "<item><enclosure url=\"http://h/App_3.zip\"/><sparkle:version> 2 </sparkle:version></item>", "2" },
        VersionSource { "FileNameAfterLastUnderscore",
            "<item><enclosure url=\"http://h/my_app_2.5.1.dmg\"/></item>", "2.5.1" },
        VersionSource { "FileNameWithoutExtension",
            "<item><enclosure url=\"http://h/App_7?x=1\"/></item>", "7" },
        VersionSource { "FileNameWithoutUnderscore",
            "<item><enclosure url=\"http://h/App-2.5.dmg\"/></item>", "" },
        VersionSource { "EmptyAttributeFallsThrough",
            "<item><enclosure url=\"http://h/App_4.zip\" sparkle:version=\"\"/></item>", "4" },
        VersionSource { "ForeignNamespaceIgnored",
            "<item xmlns:x=\"http://example.invalid/other\"><x:version>9</x:version>"
            "<enclosure url=\"http://h/App_5.zip\" x:version=\"8\"/></item>", "5" }),
    [](const ::testing::TestParamInfo<VersionSource>& info) { return std::string(info.param.name); });

TEST(AppcastParseTest, AcceptsAnyPrefixForTheNamespace)
{
    const AppcastParseResult result = parseAppcast(feed(
        "<item><enclosure url=\"http://h/a.zip\" su:version=\"3.1\" su:os=\"linux\"/></item>", "su"));
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].version, "3.1");
    EXPECT_EQ(result.items[0].os, "linux");
}

TEST(AppcastParseTest, WrongNamespaceUriIsNotTheUpdateNamespace)
{
    const AppcastParseResult result = parseAppcast(feed(
        "<item><enclosure url=\"http://h/a.zip\" sparkle:version=\"3.1\"/></item>", "sparkle",
        "http://www.andymatuschak.org/xml-namespaces/sparkle/"));
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_TRUE(result.items[0].version.isEmpty());
}

TEST(AppcastParseTest, KeepsDocumentOrderAndSkipsStrangers)
{
    const AppcastParseResult result = parseAppcast(feed(
        "<link>x</link><item><enclosure url=\"http://h/a_1.zip\"/><unknown><deep/></unknown></item>"
        "<item><title>two <b>bold</b></title><enclosure url=\"http://h/a_2.zip\"/></item>"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].version, "1");
    EXPECT_EQ(result.items[1].version, "2");
    EXPECT_EQ(result.items[1].title, "two");
}

TEST(AppcastParseTest, AnEmptyChannelIsValid)
{
    const AppcastParseResult result = parseAppcast(feed(""));
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.items.empty());
}

struct Malformed {
    const char* name;
    const char* body;
    const char* error_part;
};

class AppcastMalformedTest : public ::testing::TestWithParam<Malformed> {};

TEST_P(AppcastMalformedTest, IsRefusedWithAReason)
{
    const AppcastParseResult result = parseAppcast(QByteArray(GetParam().body));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.items.empty());
    EXPECT_TRUE(result.error.contains(QString::fromUtf8(GetParam().error_part))) << result.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Bodies, AppcastMalformedTest,
    ::testing::Values(
        Malformed { "Empty", "", "XML error" },
        Malformed { "NotXml", "{\"version\": \"2.0\"}", "XML error" },
        Malformed { "HtmlErrorPage", "<html><body>502 Bad Gateway</body></html>", "not <rss>" },
        Malformed { "Truncated", "<rss><channel><item><enclosure url=\"http://h/a_9.zip\"/>", "XML error" },
        Malformed { "NoChannel", "<rss version=\"2.0\"></rss>", "no <channel>" },
        Malformed { "MismatchedTags", "<rss><channel></item></channel></rss>", "XML error" },
        Malformed { "JunkAfterRoot", "<rss><channel/></rss><rss/>", "XML error" },
        Malformed { "UndeclaredPrefix", "<rss><channel><item><sparkle:version>1</sparkle:version></item></channel></rss>",
            "XML error" }),
    [](const ::testing::TestParamInfo<Malformed>& info) { return std::string(info.param.name); });

AppcastItem makeItem(const char* version, const char* os = "", const char* min = "", const char* max = "")
{
    AppcastItem item;
    item.version = version;
    item.url = QString("http://h/App_%1.zip").arg(version);
    item.os = os;
    item.minimum_system_version = min;
    item.maximum_system_version = max;
    return item;
}

TEST(ChooseNewestItemTest, TakesTheGreatestVersion)
{
    const auto newest = chooseNewestItem({ makeItem("1.2"), makeItem("1.10"), makeItem("1.9b1") }, { "linux", "" });
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->version, "1.10");
}

TEST(ChooseNewestItemTest, FirstInDocumentWinsATie)
{
    AppcastItem first = makeItem("2.0");
    first.title = "first";
    AppcastItem second = makeItem("2.0.0");
    second.title = "second";
    const auto newest = chooseNewestItem({ makeItem("1.0"), first, second }, { "linux", "" });
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->title, "first");
}

TEST(ChooseNewestItemTest, DropsItemsForAnotherSystem)
{
    const auto newest = chooseNewestItem({ makeItem("3.0", "macos"), makeItem("2.0", "linux"), makeItem("1.0"),
                                             makeItem("4.0", "windows") },
        { "linux", "" });
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->version, "2.0");
}

TEST(ChooseNewestItemTest, AppliesSystemVersionLimitsOnlyWhenTheSystemIsKnown)
{
    const std::vector<AppcastItem> items { makeItem("4.0", "", "13"), makeItem("3.0", "", "", "11"),
        makeItem("2.0", "", "10", "12.1"), makeItem("1.0") };
    EXPECT_EQ(chooseNewestItem(items, { "linux", "12" })->version, "2.0");
    EXPECT_EQ(chooseNewestItem(items, { "linux", "13.0" })->version, "4.0");
    EXPECT_EQ(chooseNewestItem(items, { "linux", "9" })->version, "3.0");
    EXPECT_EQ(chooseNewestItem(items, { "linux", "" })->version, "4.0");
}

TEST(ChooseNewestItemTest, NeedsAnAddressAndAVersion)
{
    AppcastItem no_url = makeItem("9.0");
    no_url.url.clear();
    AppcastItem no_version = makeItem("");
    EXPECT_FALSE(chooseNewestItem({ no_url, no_version }, { "linux", "" }));
    EXPECT_FALSE(chooseNewestItem({}, { "linux", "" }));
}

} // namespace
} // namespace velmora::updater
