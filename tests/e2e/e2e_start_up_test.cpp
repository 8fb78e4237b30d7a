// Start-up of the real program against the stand-in depot and services: the changelist
// settled and the window shown, start-up failures in a box, one instance at a time.
#include "e2e_fixture.h"

#include "korvath/p4_limits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csignal>

#include <sys/stat.h>

namespace velmora::e2e {
namespace {

    class StartUpTest : public SceneTest { };

    TEST_F(StartUpTest, SettlesTheChangelistShowsTheWindowAndEndsCleanly)
    {
        const int change = depot_.addPendingChange("[feature] ready", { depot_.file("a.c", 1) });
        depot_.clearJournal();
        ProgramRun run(display());
        ASSERT_FALSE(
            startWindow(run, argumentsFor(QString::number(change)) + QStringList { "-f", "ignored.c" })
                .isEmpty())
            << run.output().toStdString();
        EXPECT_EQ(run.stop(), 0);
        EXPECT_TRUE(run.logClosed());

        // The parsed values reach Perforce: global options and the change as typed.
        const auto journal = depot_.journal();
        ASSERT_FALSE(journal.empty());
        const std::vector<std::string> globals { "-p", depot_.port(), "-u", depot_.user(), "-c",
            depot_.client() };
        EXPECT_EQ(std::vector<std::string>(journal[0].begin(), journal[0].begin() + 6), globals);
        const auto opened = commandsNamed("opened");
        EXPECT_NE(std::find(opened.begin(), opened.end(),
                      std::vector<std::string> { "opened", "-c", std::to_string(change) }),
            opened.end());
        // The tag list, then the users and the change's review for the module and the panel.
        const auto tag_requests = requestLines(tags_);
        EXPECT_EQ(tag_requests, std::vector<std::string> { "GET " + tags_.projectPath() });
        EXPECT_FALSE(requestLines(review_).empty());
        EXPECT_TRUE(run.errorTexts().isEmpty()) << run.errorTexts().join('\n').toStdString();
    }

    TEST_F(StartUpTest, MissingChangelistFilesReachTheUser)
    {
        {
            ProgramRun run(display());
            ASSERT_TRUE(run.start(argumentsFor("DEFAULT")));
            EXPECT_EQ(driver().readAndCloseBox(kBoxTitle), QString::fromUtf8("在DEFAULT中未找到Opened文件"));
            ASSERT_TRUE(run.waitForExit());
            EXPECT_EQ(run.exitCode(), 1);
            EXPECT_EQ(run.errorTexts(), QStringList { QString::fromUtf8("在DEFAULT中未找到Opened文件") });
        }
        ProgramRun run(display());
        const std::string missing = depot_.root() + "/missing.c";
        ASSERT_TRUE(run.start(argumentsFor("") + QStringList { "-f", QString::fromStdString(missing) }));
        EXPECT_TRUE(driver().closeBox(kBoxTitle));
        ASSERT_TRUE(run.waitForExit());
        EXPECT_EQ(run.exitCode(), 1);
        // A message of several lines: its first in the ERROR line, the rest after it.
        EXPECT_EQ(run.errorTexts(),
            QStringList { QString::fromStdString("在工作区" + depot_.client() + "中未找到Opened文件:") });
        EXPECT_TRUE(run.logLines().contains(
            QString::fromStdString(missing + " - file(s) not opened on this client.")));
    }

    // A server that stops answering at start-up ends it with p4's own failure, in a box.
    TEST_F(StartUpTest, AStalledServerAtStartUpEndsInABox)
    {
        if (kP4NetMaxWaitSeconds > 10)
            GTEST_SKIP() << "built with a network wait of " << kP4NetMaxWaitSeconds << " s";
        const int change = depot_.addPendingChange("[feature] stalled", { depot_.file("s.c", 1) });
        depot_.injectHang("opened");
        ProgramRun run(display());
        ASSERT_TRUE(run.start(argumentsFor(QString::number(change))));
        EXPECT_TRUE(driver().closeBox(kBoxTitle, 30000));
        ASSERT_TRUE(run.waitForExit());
        EXPECT_EQ(run.exitCode(), 1);
        EXPECT_EQ(run.errorTexts(), QStringList { "Perforce client error:" });
        const QStringList lines = run.logLines();
        const auto error_line = std::find_if(lines.begin(), lines.end(),
            [](const QString& line) { return line.endsWith(" ERROR - Perforce client error:"); });
        ASSERT_NE(error_line, lines.end());
        ASSERT_NE(std::next(error_line), lines.end());
        const QString detail = *std::next(error_line);
        EXPECT_TRUE(detail.startsWith("\tPartner exited unexpectedly. [p4 ")) << detail.toStdString();
        EXPECT_TRUE(detail.endsWith(QString(" opened -c %1]").arg(change))) << detail.toStdString();
    }

    // The guard's key comes from a file in the temporary directory, through its inode.
    QFileInfo guardKeyFile(const QString& home)
    {
        const QFileInfoList files = QDir(home).entryInfoList({ "qipc_sharedmemory_*" }, QDir::Files);
        return files.size() == 1 ? files.front() : QFileInfo();
    }

    qulonglong inodeOf(const QFileInfo& file)
    {
        struct stat status = {};
        return ::stat(QFile::encodeName(file.absoluteFilePath()).constData(), &status) == 0 ? status.st_ino
                                                                                            : 0;
    }

    TEST_F(StartUpTest, ASecondInstanceIsRefusedAndAKilledOneDoesNotLockTheUserOut)
    {
        const int change = depot_.addPendingChange("[feature] one", { depot_.file("b.c", 1) });
        // One temporary directory for all, as for one user: the guard's key file lives there.
        const QStringList arguments = argumentsFor(QString::number(change));
        ProgramRun first(display());
        ASSERT_FALSE(startWindow(first, arguments).isEmpty());

        ProgramRun second(display(), first.home());
        ASSERT_TRUE(second.start(arguments));
        EXPECT_EQ(
            driver().readAndCloseBox(kBoxTitle), QString::fromUtf8("当前已有窗口正在运行,请先关闭当前窗口"));
        ASSERT_TRUE(second.waitForExit());
        EXPECT_EQ(second.exitCode(), 2);
        EXPECT_TRUE(second.errorTexts().isEmpty());

        // Killed without a chance to release the segment.
        first.signal(SIGKILL);
        ASSERT_TRUE(first.waitForExit());
        ProgramRun third(display(), first.home());
        ASSERT_FALSE(startWindow(third, arguments).isEmpty()) << "a stale guard locked the user out";
        EXPECT_FALSE(driver().hasWindow(kBoxTitle));

        // Killed again, and the key file is gone too (a cleaned temporary directory): the
        // next start makes a new key file, which the file system tends to give the freed
        // inode, and so the key of the segment left behind.
        third.signal(SIGKILL);
        ASSERT_TRUE(third.waitForExit());
        const QFileInfo left_key = guardKeyFile(first.home());
        ASSERT_TRUE(left_key.exists());
        const qulonglong left_inode = inodeOf(left_key);
        ASSERT_TRUE(QFile::remove(left_key.absoluteFilePath()));
        ProgramRun fourth(display(), first.home());
        ASSERT_FALSE(startWindow(fourth, arguments).isEmpty()) << "a stale guard locked the user out";
        EXPECT_FALSE(driver().hasWindow(kBoxTitle));
        const bool same_key = inodeOf(guardKeyFile(first.home())) == left_inode;
        EXPECT_EQ(fourth.stop(), 0);
        if (!same_key)
            GTEST_SKIP() << "the new key file got another inode: the left segment was not in the way";
    }

} // namespace
} // namespace velmora::e2e
