#include "updater/appcast.h"

#include <QByteArray>
#include <QString>

#include <string>

#include <gtest/gtest.h>

namespace velmora::updater {
namespace {

    std::string feed(const std::string& items)
    {
        return "<?xml version=\"1.0\"?><rss version=\"2.0\" "
               "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/"
               "sparkle\"><channel><title>Updates</title>"
            + items + "</channel></rss>";
    }

    // An item whose enclosure carries its version, with further enclosure
    // attributes and elements.
    std::string item(
        const std::string& version, const std::string& attributes = "", const std::string& elements = "")
    {
        return "<item>" + elements + "<enclosure url=\"http://h/App_" + version + ".zip\" sparkle:version=\""
            + version + "\" " + attributes + "/></item>";
    }

    struct Case {
        const char* name;
        std::string document;
        const char* system_version;
        const char* version; // of the item offered; nullptr: none
        const char* reason = nullptr; // part of the error for a document that is no appcast
    };

    class AppcastTest : public ::testing::TestWithParam<Case> { };

    TEST_P(AppcastTest, OffersTheNewestItemThatApplies)
    {
        const Case& row = GetParam();
        QString error;
        const auto newest = newestAppcastItem(
            QByteArray::fromStdString(row.document), { "linux", row.system_version }, &error);
        EXPECT_EQ(newest ? newest->version.toStdString() : "none", row.version ? row.version : "none");
        if (row.reason)
            EXPECT_TRUE(error.contains(row.reason)) << error.toStdString();
        else
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }

    const std::string kLimited
        = item("4.0", "", "<sparkle:minimumSystemVersion>13</sparkle:minimumSystemVersion>")
        + item("3.0", "", "<sparkle:maximumSystemVersion>11</sparkle:maximumSystemVersion>")
        + item("2.0", "",
            "<sparkle:minimumSystemVersion>10</sparkle:minimumSystemVersion>"
            "<sparkle:maximumSystemVersion>12.1</sparkle:maximumSystemVersion>")
        + item("1.0");

    INSTANTIATE_TEST_SUITE_P(FeedRules, AppcastTest,
        ::testing::Values(
            Case { "ReferenceItem",
                feed("<item><title>Version 1.4.2</title><sparkle:version>1420</sparkle:version>"
                     "<sparkle:shortVersionString>1.4.2</sparkle:shortVersionString>"
                     "<enclosure url=\"https://example.invalid/app-1.4.2.dmg\" length=\"123456\"/></item>"),
                "", "1420" },
            Case { "AttributeBeforeElement", feed(item("1", "", "<sparkle:version>2</sparkle:version>")), "",
                "1" },
            Case { "FileNameAfterLastUnderscore",
                feed("<item><enclosure url=\"http://h/my_app_2.5.1.dmg\"/></item>"), "", "2.5.1" },
            Case { "NoVersionAnywhere", feed("<item><enclosure url=\"http://h/App-2.5.dmg\"/></item>"), "",
                nullptr },
            Case { "NoAddress", feed("<item><sparkle:version>9</sparkle:version></item>"), "", nullptr },
            Case { "AnyPrefix",
                feed("<item "
                     "xmlns:su=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><su:version>3.1</"
                     "su:version>"
                     "<enclosure url=\"http://h/a.zip\" su:os=\"linux\"/></item>"),
                "", "3.1" },
            Case { "OtherNamespaceUri",
                feed("<item xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle/\">"
                     "<sparkle:version>8</sparkle:version>"
                     "<enclosure url=\"http://h/App_5.zip\" sparkle:version=\"8\" "
                     "sparkle:os=\"windows\"/></item>"),
                "", "5" },
            Case { "GreatestVersion", feed(item("1.2") + item("1.10") + item("1.9b1")), "", "1.10" },
            Case { "FirstOnATie", feed(item("1.0") + item("2.0") + item("2.0.0")), "", "2.0" },
            Case { "OtherSystemsDropped",
                feed(item("3.0", "sparkle:os=\"macos\"") + item("2.0", "sparkle:os=\"linux\"")
                    + item("4.0", "sparkle:os=\"windows\"")),
                "", "2.0" },
            Case { "WithinSystemLimits", feed(kLimited), "12", "2.0" },
            Case { "AboveAMinimum", feed(kLimited), "13.0", "4.0" },
            Case { "BelowAMaximum", feed(kLimited), "9", "3.0" },
            Case { "SystemUnknown", feed(kLimited), "", "4.0" },
            Case { "Empty", "", "", nullptr, "XML error" },
            Case { "HtmlErrorPage", "<html><body>502</body></html>", "", nullptr,
                "the root element is <html>, not <rss>" },
            Case { "Truncated", "<rss><channel><item><enclosure url=\"http://h/a_9.zip\"/>", "", nullptr,
                "XML error at line 1" },
            Case { "NoChannel", "<rss version=\"2.0\"></rss>", "", nullptr, "no <channel> under <rss>" },
            Case { "JunkAfterRoot", feed(item("9")) + "<rss/>", "", nullptr, "XML error" }),
        [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::updater
