#include "updater/linux_runtime.h"

#include "build_config.h"
#include "feed_server.h"
#include "logger/logger.h"
#include "scoped_runtime.h"
#include "updater/auto_updater.h"
#include "updater/cocoa_initializer.h"
#include "updater/result_mailbox.h"
#include "updater/sparkle_auto_updater.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using standin::FeedServer;
using updater::UpdateCheckOutcome;
using Status = UpdateCheckOutcome::Status;

constexpr int kSignalWaitMs = 20000;

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// The whole road as start-up takes it, on a runtime of the test's own, and
// the real log file.
class BackgroundCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(log_dir_.isValid());
        setenv("LOCALAPPDATA", log_dir_.path().toUtf8().constData(), 1);
        Logger::initialize("UpdaterTest");
        server_.start();
    }
    void TearDown() override
    {
        Logger::unInitialize();
        unsetenv("LOCALAPPDATA");
    }

    // What startAutoUpdater does, with the feed address as a parameter.
    void startCheck(const std::string& feed_url)
    {
        CocoaInitializer initializer;
        AutoUpdater* updater = new SparkleAutoUpdater(qs(feed_url));
        updater->checkForUpdates();
        updaters_.emplace_back(updater);
    }

    UpdateCheckOutcome waitForOutcome(QSignalSpy& spy)
    {
        if (spy.isEmpty() && !spy.wait(kSignalWaitMs)) {
            ADD_FAILURE() << "no outcome arrived";
            return {};
        }
        return spy.takeFirst().at(0).value<UpdateCheckOutcome>();
    }

    QStringList logLines() const
    {
        const QString dir = log_dir_.path() + "/UpdaterTest";
        QStringList lines;
        for (const QString& name : QDir(dir).entryList({ "log.txt*" }, QDir::Files, QDir::Name)) {
            QFile file(dir + "/" + name);
            if (file.open(QIODevice::ReadOnly))
                lines += QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        }
        return lines;
    }

    QTemporaryDir log_dir_;
    FeedServer server_;
    objc::LinuxRuntime runtime_ { updater::UpdateCheckSettings::forThisMachine() };
    objc::ScopedRuntime installed_ { &runtime_ };
    QSignalSpy finished_ { &runtime_.sharedUpdater(), &updater::BackgroundUpdater::checkFinished };
    std::vector<std::unique_ptr<AutoUpdater>> updaters_;
};

TEST_F(BackgroundCheckTest, NewerVersionIsLoggedAtInfoWithItsAddress)
{
    const std::string download = server_.baseUrl() + "/Tessarine_99.0.zip";
    server_.setFeed(FeedServer::appcast(FeedServer::item("99.0", download)));
    startCheck(server_.feedUrl());

    const UpdateCheckOutcome outcome = waitForOutcome(finished_);
    EXPECT_EQ(outcome.status, Status::UpdateAvailable);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].endsWith(QString(" INFO  - [Update]A newer version 99.0 is available: %1 (running %2).")
                                      .arg(qs(download), build_config::kApplicationVersion)))
        << lines[0].toStdString();
}

TEST_F(BackgroundCheckTest, RunningVersionCurrentIsLoggedAtInfo)
{
    server_.setFeed(FeedServer::appcast(FeedServer::item("0.1", "http://dl.invalid/a_0.1.zip")
        + FeedServer::item(build_config::kApplicationVersion, "http://dl.invalid/a.zip")
        + FeedServer::item("99.0", "http://dl.invalid/a_99.zip", "windows")));
    startCheck(server_.feedUrl());

    EXPECT_EQ(waitForOutcome(finished_).status, Status::UpToDate);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QString(" INFO  - [Update]The running version %1 is current (newest in the feed: %1).")
                                      .arg(build_config::kApplicationVersion)))
        << lines[0].toStdString();
}

constexpr const char* kValidFeed = "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
                                    "<item><enclosure url=\"http://dl.invalid/a_99.zip\" sparkle:version=\"99\"/></item>"
                                    "</channel></rss>";

struct FailureCase {
    const char* name;
    const char* body; // nullptr: no server at the address
    int status;
    Status expected;
    const char* log_part;
};

class BackgroundCheckFailureTest : public BackgroundCheckTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BackgroundCheckFailureTest, IsLoggedAtWarnOnly)
{
    const FailureCase& row = GetParam();
    std::string url = server_.feedUrl();
    if (row.body)
        server_.setFeed(row.body, row.status);
    else
        url = FeedServer::unreachableUrl();
    startCheck(url);

    EXPECT_EQ(waitForOutcome(finished_).status, row.expected);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(QString(" WARN  - [Update]The update feed %1 %2").arg(qs(url), row.log_part)))
        << lines[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Feeds, BackgroundCheckFailureTest,
    ::testing::Values(
        FailureCase { "Malformed", "<rss><channel><item>", 200, Status::MalformedFeed, "is malformed: XML error" },
        FailureCase { "NotAnAppcast", "<html>gateway</html>", 200, Status::MalformedFeed, "is malformed: the root" },
        // A good appcast behind an error status is not taken.
        FailureCase { "ServerError", kValidFeed, 500, Status::DownloadFailed, "could not be downloaded: HTTP status 500" },
        FailureCase { "NotFound", "", 404, Status::DownloadFailed, "could not be downloaded: HTTP status 404" },
        FailureCase { "Unreachable", nullptr, 0, Status::DownloadFailed, "could not be downloaded: " }),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(BackgroundCheckTest, AddressNsurlRefusesLeavesNoFeed)
{
    startCheck("http://no spaces allowed/appcast.xml");
    EXPECT_EQ(waitForOutcome(finished_).status, Status::InvalidFeedUrl);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(" WARN  - [Update]No update check: no feed address is set")) << lines[0].toStdString();
}

TEST_F(BackgroundCheckTest, CheckReturnsWhileTheServerStillHoldsTheReply)
{
    server_.setFeed(FeedServer::appcast(FeedServer::item("99.0", "http://dl.invalid/a_99.zip")));
    server_.holdReplies(std::chrono::seconds(8));
    startCheck(server_.feedUrl());
    // Sampled right after checkForUpdates returned: a check that waited for
    // the network would find the reply already sent.
    const int replies_at_return = server_.repliesSent();
    EXPECT_FALSE(finished_.count());

    ASSERT_TRUE(server_.waitForRequests(1, std::chrono::seconds(10))) << "the check never reached the server";
    EXPECT_EQ(replies_at_return, 0);
    EXPECT_EQ(server_.repliesSent(), 0);
    EXPECT_TRUE(runtime_.sharedUpdater().isChecking());

    server_.releaseReplies();
    EXPECT_EQ(waitForOutcome(finished_).status, Status::UpdateAvailable);
}

TEST_F(BackgroundCheckTest, SecondCheckWhileOneRunsIsIgnored)
{
    server_.setFeed(FeedServer::appcast(FeedServer::item("99.0", "http://dl.invalid/a_99.zip")));
    server_.holdReplies(std::chrono::seconds(8));
    startCheck(server_.feedUrl());
    ASSERT_TRUE(server_.waitForRequests(1, std::chrono::seconds(10)));
    startCheck(server_.feedUrl());
    EXPECT_FALSE(runtime_.sharedUpdater().checkInBackground());
    server_.releaseReplies();

    waitForOutcome(finished_);
    EXPECT_EQ(server_.requests().size(), 1u);
    // A new check may start once the first is done.
    startCheck(server_.feedUrl());
    waitForOutcome(finished_);
    EXPECT_EQ(server_.requests().size(), 2u);
    EXPECT_EQ(logLines().size(), 2);
}

// The hand-off from a worker: dropped once closed, and for a receiver
// deleted before the event loop came to it.
TEST(ResultMailboxTest, DeliversOnTheReceiverThreadUntilClosed)
{
    QObject receiver;
    auto mailbox = std::make_shared<updater::ResultMailbox>(&receiver);
    bool delivered_on_main = false;
    std::thread([&] { EXPECT_TRUE(mailbox->post([&] { delivered_on_main = QThread::currentThread() == receiver.thread(); })); })
        .join();
    EXPECT_FALSE(delivered_on_main) << "must be queued, not run on the worker";
    QCoreApplication::processEvents();
    EXPECT_TRUE(delivered_on_main);

    mailbox->close();
    bool ran = false;
    EXPECT_FALSE(mailbox->post([&] { ran = true; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(ResultMailboxTest, CallsPendingForADeletedReceiverAreDropped)
{
    auto receiver = std::make_unique<QObject>();
    updater::ResultMailbox mailbox(receiver.get());
    bool ran = false;
    ASSERT_TRUE(mailbox.post([&] { ran = true; }));
    mailbox.close();
    receiver.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

// A check still running when the program ends must neither keep the process
// alive nor crash it.
TEST(UpdaterExitTest, ProcessEndsWhileTheCheckStillWaits)
{
    QTemporaryDir log_dir;
    ASSERT_TRUE(log_dir.isValid());
    FeedServer server;
    server.start();
    server.setFeed(FeedServer::appcast(FeedServer::item("99.0", "http://dl.invalid/a_99.zip")));
    server.holdReplies(std::chrono::seconds(60));

    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LOCALAPPDATA", log_dir.path());
    probe.setProcessEnvironment(environment);
    probe.start(QString::fromUtf8(UPDATER_EXIT_PROBE), { qs(server.feedUrl()) });
    ASSERT_TRUE(server.waitForRequests(1, std::chrono::seconds(20))) << "the probe never started its check";
    probe.write("quit\n");
    probe.closeWriteChannel();
    ASSERT_TRUE(probe.waitForFinished(20000)) << "the process waited for the held feed";
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    EXPECT_EQ(server.repliesSent(), 0) << "the reply was released before the process ended";
}

} // namespace
} // namespace velmora
