#include "updater/linux_runtime.h"

#include "scoped_runtime.h"
#include "updater/cocoa_initializer.h"
#include "updater/sparkle_auto_updater.h"

#include <QString>

#include <thread>

#include <gtest/gtest.h>

namespace velmora::objc {
namespace {

updater::UpdateCheckSettings testSettings()
{
    updater::UpdateCheckSettings settings;
    settings.running_version = "1.0";
    settings.system = { "linux", "" };
    return settings;
}

class LinuxRuntimeTest : public ::testing::Test {
protected:
    Id string(const char* text) { return runtime_.send(Receiver::classNamed("NSString"), "stringWithUTF8String:", text); }
    Id url(Id string) { return runtime_.send(Receiver::classNamed("NSURL"), "URLWithString:", string); }
    Id sharedUpdater() { return runtime_.send(Receiver::classNamed("SUUpdater"), "sharedUpdater", {}); }

    LinuxRuntime runtime_ { testSettings() };
};

TEST_F(LinuxRuntimeTest, SharedUpdaterIsOneObjectThatTheCallerDoesNotOwn)
{
    const Id first = sharedUpdater();
    ASSERT_NE(first, kNil);
    EXPECT_EQ(sharedUpdater(), first);
    EXPECT_EQ(runtime_.retain(first), first);
    runtime_.release(first);
    // The class still holds it after a balanced retain and release.
    EXPECT_EQ(runtime_.retain(first), first);
    runtime_.release(first);
    EXPECT_EQ(runtime_.liveObjectCount(), 1u);
}

TEST_F(LinuxRuntimeTest, SetFeedUrlHandsTheAddressToTheUpdater)
{
    const Id updater = sharedUpdater();
    runtime_.send(updater, "setFeedURL:", url(string("https://h.invalid/ä/appcast.xml?x=1")));
    EXPECT_EQ(runtime_.sharedUpdater().feedUrl(), QString::fromUtf8("https://h.invalid/ä/appcast.xml?x=1"));

    runtime_.send(updater, "setFeedURL:", kNil);
    EXPECT_TRUE(runtime_.sharedUpdater().feedUrl().isEmpty());

    // A string where an address belongs leaves no feed rather than a wrong one.
    runtime_.send(updater, "setFeedURL:", url(string("http://h/a.xml")));
    runtime_.send(updater, "setFeedURL:", string("http://h/b.xml"));
    EXPECT_TRUE(runtime_.sharedUpdater().feedUrl().isEmpty());
}

struct Conversion {
    const char* name;
    const char* text;
    bool string_made;
    bool url_made;
};

class LinuxRuntimeConversionTest : public LinuxRuntimeTest, public ::testing::WithParamInterface<Conversion> {};

TEST_P(LinuxRuntimeConversionTest, StringsAndAddressesAreNilWhereFoundationGivesNil)
{
    const Id text = string(GetParam().text);
    EXPECT_EQ(text != kNil, GetParam().string_made);
    EXPECT_EQ(url(text) != kNil, GetParam().url_made);
}

INSTANTIATE_TEST_SUITE_P(Inputs, LinuxRuntimeConversionTest,
    ::testing::Values(Conversion { "Address", "http://127.0.0.1:1/appcast.xml", true, true },
        Conversion { "NullPointer", nullptr, false, false }, Conversion { "Empty", "", true, false },
        Conversion { "BadUtf8", "http://h/\xC3\x28.xml", false, false },
        Conversion { "Spaces", "http://h/a b.xml", true, false }),
    [](const ::testing::TestParamInfo<Conversion>& info) { return std::string(info.param.name); });

TEST_F(LinuxRuntimeTest, PoolFreesWhatWasAutoreleasedInIt)
{
    const Id pool = runtime_.allocInit("NSAutoreleasePool");
    ASSERT_NE(pool, kNil);
    const Id text = string("http://h/a.xml");
    const Id address = url(text);
    runtime_.retain(address); // kept beyond the pool
    EXPECT_EQ(runtime_.liveObjectCount(), 3u);

    runtime_.release(pool);
    EXPECT_EQ(runtime_.liveObjectCount(), 1u);
    EXPECT_EQ(runtime_.retain(text), kNil) << "the string must be gone with its pool";
    EXPECT_EQ(runtime_.retain(address), address);
}

TEST_F(LinuxRuntimeTest, ReleasingAnOuterPoolDrainsTheInnerOnes)
{
    const Id outer = runtime_.allocInit("NSAutoreleasePool");
    string("outer");
    const Id inner = runtime_.allocInit("NSAutoreleasePool");
    string("inner");
    EXPECT_EQ(runtime_.liveObjectCount(), 4u);
    runtime_.release(outer);
    EXPECT_EQ(runtime_.liveObjectCount(), 0u);
    runtime_.release(inner); // already drained: a warning, no crash
    EXPECT_EQ(string("after the pools") != kNil, true);
    EXPECT_EQ(runtime_.liveObjectCount(), 1u) << "without a pool an autoreleased object stays";
}

TEST_F(LinuxRuntimeTest, PoolsBelongToTheirThread)
{
    const Id pool = runtime_.allocInit("NSAutoreleasePool");
    std::thread([&] { string("made on another thread, which has no pool"); }).join();
    runtime_.release(pool);
    EXPECT_EQ(runtime_.liveObjectCount(), 1u);
}

TEST_F(LinuxRuntimeTest, FaultsAnswerNilWithoutCrashing)
{
    const Id updater = sharedUpdater();
    EXPECT_EQ(runtime_.send(kNil, "checkForUpdatesInBackground", {}), kNil);
    EXPECT_EQ(runtime_.send(updater, "noSuchSelector", {}), kNil);
    EXPECT_EQ(runtime_.send(updater, nullptr, {}), kNil);
    EXPECT_EQ(runtime_.send(Receiver::classNamed("NSNothing"), "new", {}), kNil);
    EXPECT_EQ(runtime_.send(Receiver::classNamed(nullptr), "new", {}), kNil);
    EXPECT_EQ(runtime_.send(Receiver::classNamed("NSString"), "stringWithUTF8String:", updater), kNil);
    EXPECT_EQ(runtime_.send(Receiver::classNamed("NSURL"), "URLWithString:", "text, not a string object"), kNil);
    EXPECT_EQ(runtime_.send(Receiver::classNamed("NSURL"), "URLWithString:", updater), kNil);
    EXPECT_EQ(runtime_.allocInit("NSWindow"), kNil);
    EXPECT_EQ(runtime_.retain(kNil), kNil);
    runtime_.release(kNil);

    const Id freed = Id { 999 };
    EXPECT_EQ(runtime_.send(freed, "setFeedURL:", kNil), kNil);
    EXPECT_EQ(runtime_.retain(freed), kNil);
    runtime_.release(freed);
    EXPECT_EQ(runtime_.liveObjectCount(), 1u);
}

TEST_F(LinuxRuntimeTest, OverReleasedSharedUpdaterIsMadeAnew)
{
    const Id first = sharedUpdater();
    runtime_.release(first);
    EXPECT_EQ(runtime_.liveObjectCount(), 0u);
    const Id second = sharedUpdater();
    EXPECT_NE(second, kNil);
    EXPECT_NE(second, first);
}

TEST_F(LinuxRuntimeTest, LoadApplicationIsRecorded)
{
    EXPECT_FALSE(runtime_.applicationLoaded());
    EXPECT_TRUE(runtime_.loadApplication());
    EXPECT_TRUE(runtime_.applicationLoaded());
}

TEST_F(LinuxRuntimeTest, StartUpLeavesOnlyTheUpdaterAlive)
{
    ScopedRuntime installed(&runtime_);
    SparkleAutoUpdater* updater = nullptr;
    {
        CocoaInitializer initializer;
        EXPECT_TRUE(runtime_.applicationLoaded());
        updater = new SparkleAutoUpdater(QString("http://127.0.0.1:1/appcast.xml"));
        EXPECT_EQ(runtime_.liveObjectCount(), 4u); // pool, updater, string, address
    }
    EXPECT_EQ(runtime_.liveObjectCount(), 1u);
    EXPECT_EQ(runtime_.sharedUpdater().feedUrl(), "http://127.0.0.1:1/appcast.xml");
    delete updater;
    EXPECT_EQ(runtime_.liveObjectCount(), 1u) << "the class keeps the shared updater";
}

TEST(ProcessRuntimeTest, DefaultIsTheLinuxRuntimeAndInstallingRestores)
{
    Runtime& process = runtime();
    EXPECT_NE(dynamic_cast<LinuxRuntime*>(&process), nullptr);
    LinuxRuntime other(testSettings());
    {
        ScopedRuntime installed(&other);
        EXPECT_EQ(&runtime(), &other);
    }
    EXPECT_EQ(&runtime(), &process);
}

} // namespace
} // namespace velmora::objc
