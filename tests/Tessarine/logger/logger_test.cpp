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

    TEST(Logger, EveryLevelOnceInItsOwnFile)
    {
        QTemporaryDir dir;
        setenv("LOCALAPPDATA", dir.path().toUtf8().constData(), 1);
        Logger::logError("no logger yet"); // goes to standard error
        Logger::initialize("First");
        Logger::logInfo("to first");
        Logger::initialize("Second");
        Logger::logInfo("plain char");
        Logger::logWarning(std::string("std string"));
        Logger::logError(QString::fromUtf8("当前已有窗口正在运行"));
        Logger::logInfo(QString());
        Logger::unInitialize();
        EXPECT_EQ(Logger::Inst(), nullptr);

        EXPECT_EQ(testing::readLogLines(dir.path() + "/First/log.txt").size(), 1);
        const QStringList written
            = testing::readLogLines(dir.path() + "/Second/log.txt")
                  .replaceInStrings(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )"), "");
        EXPECT_EQ(written,
            QStringList(
                { "INFO  - plain char", "WARN  - std string", "ERROR - 当前已有窗口正在运行", "INFO  - " }))
            << written.join('\n').toStdString();

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
