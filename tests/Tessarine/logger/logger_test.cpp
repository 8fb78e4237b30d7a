#include "logger/logger.h"

#include "log_lines.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

#include <gtest/gtest.h>

namespace velmora {
namespace {

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
        QStringList lines(const QString& app) const
        {
            return testing::readLogLines(dir_.path() + "/" + app + "/log.txt");
        }

        QTemporaryDir dir_;
    };

    TEST_F(LoggerTest, EveryLevelInTheFileLayout)
    {
        Logger::initialize("AppOne");
        Logger::logInfo("plain char");
        Logger::logWarning(std::string("std string"));
        Logger::logError(QString::fromUtf8("当前已有窗口正在运行"));
        Logger::logInfo(QString());

        const QStringList written = lines("AppOne");
        ASSERT_EQ(written.size(), 4);
        const QRegularExpression layout(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (INFO |WARN |ERROR) - (.*)$)");
        const QStringList expected { "INFO |plain char", "WARN |std string", "ERROR|当前已有窗口正在运行",
            "INFO |" };
        for (int i = 0; i < 4; ++i) {
            const auto match = layout.match(written[i]);
            ASSERT_TRUE(match.hasMatch()) << written[i].toStdString();
            EXPECT_EQ(match.captured(1) + "|" + match.captured(2), expected[i]);
        }
    }

    TEST_F(LoggerTest, WithoutALoggerThenEachInitializeWithItsOwnFile)
    {
        Logger::unInitialize();
        EXPECT_EQ(Logger::Inst(), nullptr);
        Logger::logError("no logger yet"); // goes to standard error
        Logger::initialize("First");
        Logger::logInfo("to first");
        Logger::initialize("Second");
        Logger::logInfo("to second");
        EXPECT_EQ(lines("First").size(), 1);
        const QStringList second = lines("Second");
        ASSERT_EQ(second.size(), 1) << "a line written once must appear once";
        EXPECT_TRUE(second[0].endsWith("to second"));

        // Without LOCALAPPDATA the path would lie under the file-system root.
        QStandardPaths::setTestModeEnabled(true);
        unsetenv("LOCALAPPDATA");
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        Logger::initialize("PathProbe");
        Logger::logInfo("lands in the user's data directory");
        Logger::unInitialize();
        EXPECT_EQ(testing::readLogLines(data + "/PathProbe/log.txt").size(), 1);
        QDir(data + "/PathProbe").removeRecursively();
        QStandardPaths::setTestModeEnabled(false);
    }

} // namespace
} // namespace velmora
