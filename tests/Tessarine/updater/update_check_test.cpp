#include "build_config.h"
#include "log_lines.h"
#include "logger/logger.h"
#include "standin_server.h"
#include "updater/auto_updater.h"
#include "updater/cocoa_initializer.h"
#include "updater/sparkle_auto_updater.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using velmora::Logger;

// A stand-in update feed whose answer waits until release(), so that a test
// sees the check return first. The wait is bounded only so that a check that
// blocks fails instead of hanging.
class FeedServer : public velmora::standin::StandInServer {
public:
    FeedServer(std::string body, int status)
    {
        http().Get(
            "/appcast.xml", [this, body, status](const httplib::Request&, httplib::Response& response) {
                const auto until = std::chrono::steady_clock::now() + 10s;
                while (held_ && std::chrono::steady_clock::now() < until && sleepUnlessStopping(10ms)) { }
                response.status = status;
                response.set_content(body, "application/rss+xml");
            });
        start();
    }
    ~FeedServer() override { stop(); }

    void release() { held_ = false; }
    std::string feedUrl() const { return baseUrl() + "/appcast.xml"; }

private:
    std::atomic<bool> held_ { true };
};

std::string appcast(const std::string& items)
{
    return "<rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
        + items + "</channel></rss>";
}

std::string item(const std::string& version, const std::string& os = "linux")
{
    return "<item><enclosure url=\"http://dl.invalid/Tessarine_" + version + ".zip\" sparkle:version=\""
        + version + "\" sparkle:os=\"" + os + "\"/></item>";
}

struct CheckCase {
    const char* name;
    std::string body;
    int status; // 0: nothing listens at the feed's address
    const char* line; // the end of the one log line; %1 the feed, %2 the running version
};

class UpdateCheckTest : public ::testing::TestWithParam<CheckCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(log_dir_.isValid());
        setenv("LOCALAPPDATA", log_dir_.path().toUtf8().constData(), 1);
        Logger::initialize("UpdaterTest");
    }
    void TearDown() override
    {
        Logger::unInitialize();
        unsetenv("LOCALAPPDATA");
    }

    // As start-up does, but the updater object goes at once: the check must not need it.
    static void startCheck(const std::string& feed)
    {
        CocoaInitializer initializer;
        const std::unique_ptr<AutoUpdater> updater
            = std::make_unique<SparkleAutoUpdater>(QString::fromStdString(feed));
        updater->checkForUpdates();
    }

    static QStringList updateLines()
    {
        return velmora::testing::readLogLines(QString::fromStdString(Logger::logFilePath("UpdaterTest")))
            .filter("[Update]");
    }

    QTemporaryDir log_dir_;
};

TEST_P(UpdateCheckTest, ReturnsAtOnceAndLogsOneLine)
{
    const CheckCase& row = GetParam();
    FeedServer server(row.body, row.status);
    if (row.status == 0)
        server.stop();
    startCheck(server.feedUrl());
    EXPECT_TRUE(updateLines().isEmpty()) << "the check waited for the feed";

    server.release();
    ASSERT_TRUE(QTest::qWaitFor([] { return !updateLines().isEmpty(); }, 20000)) << "no outcome was logged";
    const QStringList lines = updateLines();
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    const QString expected = QString(row.line)
                                 .replace("%1", QString::fromStdString(server.feedUrl()))
                                 .replace("%2", velmora::build_config::kApplicationVersion);
    EXPECT_TRUE(lines[0].endsWith(expected))
        << lines[0].toStdString() << "\nexpected: " << expected.toStdString();
}

const std::string kRunning = velmora::build_config::kApplicationVersion;

INSTANTIATE_TEST_SUITE_P(Feeds, UpdateCheckTest,
    ::testing::Values(CheckCase { "Newer", appcast(item("0.9") + item("99.0") + item("98.0")), 200,
                          " INFO  - [Update]A newer version 99.0 is available: "
                          "http://dl.invalid/Tessarine_99.0.zip (running %2)." },
        CheckCase { "Current", appcast(item(kRunning) + item("0.9") + item("99.0", "windows")), 200,
            " INFO  - [Update]The running version %2 is current (newest in the feed: %2)." },
        CheckCase { "NothingForThisSystem", appcast(item("99.0", "macos")), 200,
            " INFO  - [Update]The running version %2 is current (the feed offers no version for this "
            "system)." },
        CheckCase { "Malformed", "<rss><channel><item>", 200,
            " WARN  - [Update]The update feed %1 is malformed: XML error at line 1, column 20: Premature end "
            "of document." },
        // A good appcast behind an error status is not taken.
        CheckCase { "ServerError", appcast(item("99.0")), 500,
            " WARN  - [Update]The update feed %1 could not be downloaded: HTTP status 500" },
        CheckCase { "Unreachable", "", 0,
            " WARN  - [Update]The update feed %1 could not be downloaded: Connection refused" }),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheckTest, AnAddressThatIsNoWebFeedLeavesOnlyItsLine)
{
    for (const char* address : { "http://no spaces allowed/appcast.xml", "file:///etc/passwd", "" })
        startCheck(address);
    // Written at once: a check that went ahead would log later, or more.
    const QStringList lines = updateLines();
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    for (const QString& line : lines)
        EXPECT_TRUE(line.endsWith(" WARN  - [Update]No update check: no feed address is set"))
            << line.toStdString();
}

} // namespace
