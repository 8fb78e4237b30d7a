#include "updater/update_check.h"

#include "feed_server.h"

#include <QString>

#include <gtest/gtest.h>

namespace velmora::updater {
namespace {

using Status = UpdateCheckOutcome::Status;
using standin::FeedServer;

UpdateCheckSettings settings(const char* running_version = "1.2.0")
{
    UpdateCheckSettings result;
    result.running_version = running_version;
    result.system = { "linux", "" };
    result.connect_timeout = std::chrono::seconds(2);
    result.total_timeout = std::chrono::seconds(10);
    return result;
}

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override { server_.start(); }

    FeedServer server_;
};

TEST_F(UpdateCheckTest, FindsANewerVersionAndSaysWhere)
{
    server_.setFeed(FeedServer::appcast(FeedServer::item("1.3.0", "http://dl.invalid/App_1.3.0.zip")
        + FeedServer::item("9.0", "http://dl.invalid/App_9.0.zip", "windows")
        + FeedServer::item("1.10", "http://dl.invalid/App_1.10.zip")));
    const UpdateCheckOutcome outcome = runUpdateCheck(qs(server_.feedUrl()), settings());

    ASSERT_EQ(outcome.status, Status::UpdateAvailable) << outcome.describe().toStdString();
    ASSERT_TRUE(outcome.newest);
    EXPECT_EQ(outcome.newest->version, "1.10");
    EXPECT_FALSE(outcome.failed());
    EXPECT_EQ(outcome.describe(),
        "[Update]A newer version 1.10 is available: http://dl.invalid/App_1.10.zip (running 1.2.0).");

    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/appcast.xml");
    EXPECT_NE(requests[0].header("Accept").find("application/rss+xml"), std::string::npos);
}

struct CurrentCase {
    const char* name;
    const char* running;
    const char* feed_version;
};

class UpdateCheckCurrentTest : public UpdateCheckTest, public ::testing::WithParamInterface<CurrentCase> {};

TEST_P(UpdateCheckCurrentTest, RunningVersionIsCurrent)
{
    server_.setFeed(FeedServer::appcast(FeedServer::item(GetParam().feed_version, "http://dl.invalid/x.zip")));
    const UpdateCheckOutcome outcome = runUpdateCheck(qs(server_.feedUrl()), settings(GetParam().running));
    EXPECT_EQ(outcome.status, Status::UpToDate);
    ASSERT_TRUE(outcome.newest);
    EXPECT_EQ(outcome.describe(), QString("[Update]The running version %1 is current (newest in the feed: %2).")
                                      .arg(GetParam().running, GetParam().feed_version));
}

INSTANTIATE_TEST_SUITE_P(Versions, UpdateCheckCurrentTest,
    ::testing::Values(CurrentCase { "Same", "1.2.0", "1.2.0" }, CurrentCase { "SamePadded", "1.2.0", "1.2" },
        CurrentCase { "Older", "1.2.0", "1.1.9" }, CurrentCase { "PreRelease", "1.2.0", "1.2.0rc1" }),
    [](const ::testing::TestParamInfo<CurrentCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheckTest, FeedWithNothingForThisSystemIsCurrent)
{
    server_.setFeed(FeedServer::appcast(FeedServer::item("9.0", "http://dl.invalid/x.zip", "macos")));
    const UpdateCheckOutcome outcome = runUpdateCheck(qs(server_.feedUrl()), settings());
    EXPECT_EQ(outcome.status, Status::UpToDate);
    EXPECT_FALSE(outcome.newest);
    EXPECT_TRUE(outcome.describe().contains("offers no version for this system"));
}

TEST_F(UpdateCheckTest, ServerThatNeverAnswersHitsTheTotalTimeOut)
{
    server_.setFeed(FeedServer::appcast(FeedServer::item("9.0", "http://dl.invalid/x.zip")));
    server_.holdReplies(std::chrono::seconds(60));
    UpdateCheckSettings short_wait = settings();
    short_wait.total_timeout = std::chrono::milliseconds(300);
    const UpdateCheckOutcome outcome = runUpdateCheck(qs(server_.feedUrl()), short_wait);
    EXPECT_EQ(outcome.status, Status::DownloadFailed);
    EXPECT_EQ(server_.repliesSent(), 0) << "the answer came before the time-out, so nothing was tested";
}

TEST(UpdateCheckAddressTest, RefusesAddressesItMustNotFetch)
{
    for (const char* address : { "", "not an address", "ftp://127.0.0.1/appcast.xml", "file:///etc/passwd",
             "http://exa mple.invalid/appcast.xml" }) {
        const UpdateCheckOutcome outcome = runUpdateCheck(QString::fromUtf8(address), settings());
        EXPECT_EQ(outcome.status, Status::InvalidFeedUrl) << address;
        EXPECT_TRUE(outcome.describe().startsWith("[Update]No update check: ")) << address;
    }
}

} // namespace
} // namespace velmora::updater
