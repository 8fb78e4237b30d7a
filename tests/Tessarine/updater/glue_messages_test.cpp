#include "updater/auto_updater.h"
#include "updater/cocoa_initializer.h"
#include "updater/sparkle_auto_updater.h"

#include "scoped_runtime.h"
#include "updater/objc_runtime.h"

#include <QString>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::objc {
namespace {

// Writes down every call as one line and answers each message with a fresh
// handle, or with nil for the selectors told to.
class RecordingRuntime : public Runtime {
public:
    std::vector<std::string> calls;
    std::vector<std::string> nil_selectors;

    Id send(const Receiver& receiver, const char* selector, const Argument& argument) override
    {
        const bool nil = std::find(nil_selectors.begin(), nil_selectors.end(), selector) != nil_selectors.end();
        const Id result = nil ? kNil : fresh();
        calls.push_back("send " + (receiver.isClass() ? std::string(receiver.className()) : text(receiver.object()))
            + " " + selector + text(argument) + " -> " + text(result));
        return result;
    }
    Id retain(Id object) override
    {
        calls.push_back("retain " + text(object));
        return object;
    }
    void release(Id object) override { calls.push_back("release " + text(object)); }
    Id allocInit(const char* class_name) override
    {
        const Id result = fresh();
        calls.push_back("allocInit " + std::string(class_name) + " -> " + text(result));
        return result;
    }
    bool loadApplication() override
    {
        calls.push_back("loadApplication");
        return true;
    }

    static std::string text(Id id) { return id == kNil ? "nil" : "#" + std::to_string(static_cast<std::uintptr_t>(id)); }

private:
    static std::string text(const Argument& argument)
    {
        if (const Id* object = std::get_if<Id>(&argument))
            return " " + text(*object);
        if (const char* const* bytes = std::get_if<const char*>(&argument))
            return *bytes ? " \"" + std::string(*bytes) + "\"" : " NULL";
        return "";
    }
    Id fresh() { return Id { ++last_id_ }; }

    std::uintptr_t last_id_ = 0;
};

using Calls = std::vector<std::string>;

class GlueMessagesTest : public ::testing::TestWithParam<const char*> {
protected:
    RecordingRuntime runtime_;
    ScopedRuntime installed_ { &runtime_ };
};

TEST_P(GlueMessagesTest, UpdaterSendsExactlyItsMessagesInOrder)
{
    const QString feed = QString::fromUtf8(GetParam());
    const std::string utf8 = feed.toUtf8().toStdString();

    std::unique_ptr<AutoUpdater> updater = std::make_unique<SparkleAutoUpdater>(feed);
    EXPECT_EQ(runtime_.calls,
        (Calls { "send SUUpdater sharedUpdater -> #1", "retain #1", "send NSString stringWithUTF8String: \"" + utf8 + "\" -> #2",
            "send NSURL URLWithString: #2 -> #3", "send #1 setFeedURL: #3 -> #4" }));

    runtime_.calls.clear();
    updater->checkForUpdates();
    EXPECT_EQ(runtime_.calls, (Calls { "send #1 checkForUpdatesInBackground -> #5" }));

    runtime_.calls.clear();
    updater.reset();
    EXPECT_EQ(runtime_.calls, (Calls { "release #1" }));
}

INSTANTIATE_TEST_SUITE_P(FeedAddresses, GlueMessagesTest,
    ::testing::Values("https://updates.example.invalid/tessarine/appcast.xml", "http://127.0.0.1:8080/a.xml?x=1&y=2",
        "https://例え.jp/更新/appcast.xml", "", "not an address at all"));

TEST(GlueNilTest, NoResultIsTested)
{
    // The framework answers nil: every later message simply goes to nil.
    RecordingRuntime runtime;
    runtime.nil_selectors = { "sharedUpdater", "URLWithString:" };
    ScopedRuntime installed(&runtime);
    {
        SparkleAutoUpdater updater(QString("http://h/a.xml"));
        updater.checkForUpdates();
    }
    EXPECT_EQ(runtime.calls,
        (Calls { "send SUUpdater sharedUpdater -> nil", "retain nil", "send NSString stringWithUTF8String: \"http://h/a.xml\" -> #1",
            "send NSURL URLWithString: #1 -> nil", "send nil setFeedURL: nil -> #2",
            "send nil checkForUpdatesInBackground -> #3", "release nil" }));
}

TEST(CocoaInitializerMessagesTest, LoadsTheApplicationThenOpensAndReleasesAPool)
{
    RecordingRuntime runtime;
    ScopedRuntime installed(&runtime);
    {
        CocoaInitializer initializer;
        EXPECT_EQ(runtime.calls, (Calls { "loadApplication", "allocInit NSAutoreleasePool -> #1" }));
        runtime.calls.clear();
    }
    EXPECT_EQ(runtime.calls, (Calls { "release #1" }));
}

TEST(StartUpSequenceTest, PoolOutlivesTheStartOfTheCheck)
{
    RecordingRuntime runtime;
    ScopedRuntime installed(&runtime);
    {
        CocoaInitializer initializer;
        AutoUpdater* updater = new SparkleAutoUpdater(QString("http://h/a.xml"));
        updater->checkForUpdates();
        delete updater; // start-up keeps it; deleted here only to see its release
    }
    ASSERT_EQ(runtime.calls.size(), 10u);
    EXPECT_EQ(runtime.calls.front(), "loadApplication");
    EXPECT_EQ(runtime.calls[1], "allocInit NSAutoreleasePool -> #1");
    EXPECT_EQ(runtime.calls[7], "send #2 checkForUpdatesInBackground -> #6");
    EXPECT_EQ(runtime.calls[8], "release #2");
    EXPECT_EQ(runtime.calls.back(), "release #1");
}

} // namespace
} // namespace velmora::objc
