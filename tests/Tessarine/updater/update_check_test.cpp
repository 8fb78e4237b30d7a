#include "build_config.h"
#include "log_lines.h"
#include "logger/logger.h"
#include "standin_server.h"
#include "updater/appcast.h"
#include "updater/auto_updater.h"
#include "updater/cocoa_initializer.h"
#include "updater/sparkle_auto_updater.h"
#include "updater/version_comparator.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::updater {
namespace {

    TEST(VersionOrder, FollowsTheFeedRulesBothWays)
    {
        const auto sign = [](int value) { return (value > 0) - (value < 0); };
        for (const char* row :
            { "1.0 = 1.0.0", "1.0b1 < 1.0.1", "1.0b1 < 1.0", "1.0b9 < 1.0b10", "1.0rc < 1.0",
                // Numbers by value, past 64 bits; text literally; separators alike; a number beats one.
                "1.9 < 1.10", "01.2 = 1.02", "18446744073709551615 < 18446744073709551616", "1.0a < 1.0b",
                "1-0 = 1_0", "1..0 < 1.0",
                // Padding reaches past text, only the leading run is padded; digits of any script.
                "1.0b1 < 1.0.0.1", "1.0 < 1.0-1", "v1.0 < 1.0", "１.２ = 1.2" }) {
            const QStringList parts = QString::fromUtf8(row).split(' ');
            const int expected = parts[1] == "<" ? -1 : 0;
            EXPECT_EQ(sign(compareVersions(parts[0], parts[2])), expected) << row;
            EXPECT_EQ(sign(compareVersions(parts[2], parts[0])), -expected) << row;
        }
    }

    std::string feed(const std::string& items)
    {
        return "<rss version=\"2.0\" "
               "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
            + items + "</channel></rss>";
    }

    // An item whose enclosure carries its version, with further attributes and elements.
    std::string item(
        const std::string& version, const std::string& attributes = "", const std::string& elements = "")
    {
        return "<item>" + elements + "<enclosure url=\"http://h/App_" + version + ".zip\" sparkle:version=\""
            + version + "\" " + attributes + "/></item>";
    }

    std::string element(const std::string& name, const std::string& value)
    {
        return "<sparkle:" + name + ">" + value + "</sparkle:" + name + ">";
    }

    TEST(Appcast, OffersTheNewestItemThatApplies)
    {
        const std::string limited = feed(item("4.0", "", element("minimumSystemVersion", "13"))
            + item("3.0", "", element("maximumSystemVersion", "11"))
            + item(
                "2.0", "", element("minimumSystemVersion", "10") + element("maximumSystemVersion", "12.1")));
        // Document, system version, and the version offered, "none", or why the document is no appcast
        // (up to a comma).
        for (const auto& [document, system, expected] :
            std::vector<std::tuple<std::string, QString, QString>> {
                { feed(item("1", "", element("version", "2"))), "", "1" }, // the attribute first
                { feed("<item><enclosure url=\"http://h/my_app_2.5.1.dmg\"/></item>"), "", "2.5.1" },
                { feed("<item>" + element("version", "9") + "</item>"), "", "none" }, // no address
                { feed(
                      "<item xmlns:su=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><su:version>3.1"
                      "</su:version><enclosure url=\"http://h/a.zip\" su:os=\"linux\"/></item>"),
                    "", "3.1" },
                { feed(item("1.2") + item("1.10") + item("1.9b1")), "", "1.10" },
                { feed(item("1.0") + item("2.0") + item("2.0.0")), "", "2.0" }, // the first on a tie
                { feed(item("3.0", "sparkle:os=\"macos\"") + item("2.0", "sparkle:os=\"linux\"")), "",
                    "2.0" },
                { limited, "12", "2.0" }, { limited, "13.0", "4.0" }, { limited, "", "4.0" },
                { "<html><body>502</body></html>", "", "the root element is <html>" },
                { "<rss><channel><item>", "", "XML error at line 1" },
                { "<rss version=\"2.0\"></rss>", "", "no <channel> under <rss>" },
                { feed(item("9")) + "<rss/>", "", "XML error at line 1" } }) {
            QString error;
            const auto newest
                = newestAppcastItem(QByteArray::fromStdString(document), { "linux", system }, &error);
            const QString got = newest ? newest->version
                : error.isEmpty()      ? "none"
                                       : error.section(',', 0, 0);
            EXPECT_EQ(got.toStdString(), expected.toStdString()) << document;
        }
    }

    QStringList updateLines()
    {
        return testing::readLogLines(QString::fromStdString(Logger::logFilePath("UpdaterTest")))
            .filter("[Update]");
    }

    // Starts a check as start-up does, but the updater object goes at once: the check must not
    // need it. Expects one log line from the check, with this text (%1 the feed, %2 the running version).
    void expectOneLine(const std::string& feed, bool fetches, QString text)
    {
        const QStringList before = updateLines();
        {
            CocoaInitializer initializer;
            const std::unique_ptr<AutoUpdater> updater
                = std::make_unique<SparkleAutoUpdater>(QString::fromStdString(feed));
            updater->checkForUpdates();
        }
        if (fetches) {
            EXPECT_EQ(updateLines(), before) << "the check waited for the feed";
            (void)QTest::qWaitFor([&] { return updateLines().size() > before.size(); }, 20000);
        }
        const QStringList lines = updateLines().mid(before.size());
        text.replace("%1", QString::fromStdString(feed)).replace("%2", build_config::kApplicationVersion);
        EXPECT_TRUE(lines.size() == 1 && lines[0].contains(" " + text))
            << feed << ": " << lines.join('\n').toStdString();
    }

    TEST(UpdateCheck, ReturnsAtOnceAndLogsOneLinePerCheck)
    {
        QTemporaryDir log_dir;
        setenv("LOCALAPPDATA", log_dir.path().toUtf8().constData(), 1);
        Logger::initialize("UpdaterTest");
        // First, so that a check that went ahead after all would show in a later check's lines.
        expectOneLine("file:///etc/passwd", false, "WARN  - [Update]No update check: no feed address is set");

        // /STATUS/VERSION/OS answers with that status and an appcast of one item.
        standin::StandInServer server;
        server.http().Get(
            "/(\\d+)/([^/]+)/(\\w+)", [](const httplib::Request& request, httplib::Response& response) {
                response.status = std::stoi(request.matches[1]);
                response.set_content(request.matches[2] == "broken"
                        ? "<rss><channel><item>"
                        : feed(item(request.matches[2], "sparkle:os=\"" + request.matches[3].str() + "\"")),
                    "application/rss+xml");
            });
        server.start();
        const std::string running = build_config::kApplicationVersion;
        for (const auto& [path, line] : std::vector<std::pair<std::string, QString>> {
                 { "/200/99.0/linux",
                     "INFO  - [Update]A newer version 99.0 is available: http://h/App_99.0.zip (running "
                     "%2)." },
                 { "/200/" + running + "/linux",
                     "INFO  - [Update]The running version %2 is current (newest in the feed: %2)." },
                 { "/200/99.0/macos",
                     "INFO  - [Update]The running version %2 is current (the feed offers no version for this "
                     "system)." },
                 { "/200/broken/linux", "WARN  - [Update]The update feed %1 is malformed: XML error" },
                 // A good appcast behind an error status is not taken.
                 { "/500/99.0/linux",
                     "WARN  - [Update]The update feed %1 could not be downloaded: HTTP status 500" } })
            expectOneLine(server.baseUrl() + path, true, line);
        server.stop();
        expectOneLine(server.baseUrl() + "/200/99.0/linux", true,
            "WARN  - [Update]The update feed %1 could not be downloaded: Connection refused");

        Logger::unInitialize();
        unsetenv("LOCALAPPDATA");
    }

} // namespace
} // namespace velmora::updater
