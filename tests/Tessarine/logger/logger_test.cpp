#include "logger/logger.h"

#include "log_lines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

namespace velmora {
namespace {

QStringList readLines(const QString& path)
{
    return testing::readLogLines(path);
}

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        setenv("LOCALAPPDATA", dir_.path().toUtf8().constData(), 1);
    }
    void TearDown() override
    {
        Logger::unInitialize();
        unsetenv("LOCALAPPDATA");
    }
    QString logPath(const QString& app) const { return dir_.path() + "/" + app + "/log.txt"; }

    QTemporaryDir dir_;
};

TEST_F(LoggerTest, WritesEveryLevelWithLayoutAndUtf8)
{
    Logger::initialize("AppOne");
    Logger::logInfo("plain char");
    Logger::logWarning(std::string("std string"));
    Logger::logError(QString::fromUtf8("当前已有窗口正在运行"));
    Logger::logInfo(QString());

    const QStringList lines = readLines(logPath("AppOne"));
    ASSERT_EQ(lines.size(), 4);
    const QRegularExpression layout(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (INFO |WARN |ERROR) - (.*)$)");
    const QStringList levels { "INFO ", "WARN ", "ERROR", "INFO " };
    const QStringList texts { "plain char", "std string", QString::fromUtf8("当前已有窗口正在运行"), "" };
    for (int i = 0; i < 4; ++i) {
        const auto match = layout.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(match.captured(1), levels[i]);
        EXPECT_EQ(match.captured(2), texts[i]);
    }
}

TEST_F(LoggerTest, SecondInitializeSwitchesDirectory)
{
    Logger::initialize("First");
    Logger::logInfo("to first");
    Logger::initialize("Second");
    Logger::logInfo("to second");

    EXPECT_EQ(readLines(logPath("First")).size(), 1);
    const QStringList second = readLines(logPath("Second"));
    ASSERT_EQ(second.size(), 1) << "a line written once must appear once";
    EXPECT_TRUE(second[0].endsWith("to second"));
}

TEST_F(LoggerTest, UnInitializeWithoutInitializeAndLoggingWithoutLogger)
{
    Logger::unInitialize();
    EXPECT_EQ(Logger::Inst(), nullptr);
    // Must not crash: the line goes to standard error instead.
    Logger::logError("no logger yet");
    Logger::initialize("AfterShutdown");
    Logger::logInfo("works again");
    EXPECT_EQ(readLines(logPath("AfterShutdown")).size(), 1);
}

TEST_F(LoggerTest, TwoThreadsWriteWholeLines)
{
    Logger::initialize("Threads");
    constexpr int kLines = 2000;
    auto writer = [](const char* tag) {
        for (int i = 0; i < kLines; ++i)
            Logger::logInfo(std::string(tag) + " line " + std::to_string(i) + " " + std::string(64, tag[0]));
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    const QStringList lines = readLines(logPath("Threads"));
    ASSERT_EQ(lines.size(), 2 * kLines);
    const QRegularExpression whole(R"(^.* INFO  - ([ab]) line \d+ (a{64}|b{64})$)");
    for (const QString& line : lines) {
        const auto match = whole.match(line);
        ASSERT_TRUE(match.hasMatch()) << "torn line: " << line.toStdString();
        EXPECT_EQ(match.captured(1).at(0), match.captured(2).at(0));
    }
}

TEST(LoggerPathTest, WithoutLocalAppDataUsesPerUserDataDirectory)
{
    QStandardPaths::setTestModeEnabled(true);
    unsetenv("LOCALAPPDATA");
    const QString expected
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/PathProbe/log.txt";
    EXPECT_EQ(QString::fromStdString(Logger::logFilePath("PathProbe")), expected);
    EXPECT_FALSE(expected.startsWith("/PathProbe"));

    Logger::initialize("PathProbe");
    Logger::logInfo("lands in the user's data directory");
    Logger::unInitialize();
    EXPECT_EQ(readLines(expected).size(), 1);
    QDir(QFileInfo(expected).path()).removeRecursively();
    QStandardPaths::setTestModeEnabled(false);
}

} // namespace
} // namespace velmora
