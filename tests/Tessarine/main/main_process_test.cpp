// Runs the real program as a process under a private X server: exit codes, the
// log it writes, the boxes it shows (closed from outside, as a user would).
#include "build_config.h"
#include "korvath/p4_limits.h"
#include "log_lines.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"
#include "xvfb_display.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <QThread>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace velmora {
namespace {

    const QString kBoxTitle = QString::fromUtf8("提示");

    class MainProcessTest : public ::testing::Test {
    protected:
        static void SetUpTestSuite() { display_ = std::make_unique<testing::XvfbDisplay>(); }
        static void TearDownTestSuite() { display_.reset(); }

        void SetUp() override
        {
            ASSERT_TRUE(display_->isRunning()) << "Xvfb did not start";
            ASSERT_TRUE(home_.isValid());
        }

        QProcessEnvironment environment() const
        {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("DISPLAY", display_->name());
            environment.insert("QT_QPA_PLATFORM", "xcb");
            environment.insert("LOCALAPPDATA", home_.path());
            // The single-instance key lives in the temporary directory: one per test.
            environment.insert("TMPDIR", home_.path());
            return environment;
        }

        void start(QProcess& process, const QStringList& arguments) const
        {
            process.setProcessEnvironment(environment());
            process.setProgram(TESSARINE_EXECUTABLE);
            process.setArguments(arguments);
            process.start();
            ASSERT_TRUE(process.waitForStarted(10000));
        }

        // Runs to the end, closing the expected box on the way.
        int runClosingBox(const QStringList& arguments)
        {
            QProcess process;
            start(process, arguments);
            const bool dismissed = display_->dismissBox(kBoxTitle, 20000);
            EXPECT_TRUE(process.waitForFinished(20000));
            EXPECT_TRUE(dismissed) << "no box titled 提示; the program said:\n"
                                   << process.readAllStandardError().toStdString();
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            return process.exitCode();
        }

        QStringList logLines() const
        {
            return testing::readLogLines(home_.path() + "/P4VSubmitClient4QX31/log.txt");
        }

        // The file appender rolls the log over when it is closed, which only the teardown does.
        bool logClosed() const
        {
            return !QDir(home_.path() + "/P4VSubmitClient4QX31")
                        .entryList({ "log.txt.*" }, QDir::Files)
                        .isEmpty();
        }

        static bool waitUntil(const QProcess& process, const std::function<bool()>& condition)
        {
            const QDeadlineTimer deadline(20000);
            while (!condition()) {
                if (deadline.hasExpired() || process.state() != QProcess::Running)
                    return false;
                QThread::msleep(25);
            }
            return true;
        }

        static void sendSignal(const QProcess& process, int signal_number)
        {
            ::kill(static_cast<pid_t>(process.processId()), signal_number);
        }

        QStringList errorTexts() const
        {
            QStringList errors;
            const QRegularExpression error_line(" ERROR - (.*)$");
            for (const QString& line : logLines()) {
                const auto match = error_line.match(line);
                if (match.hasMatch())
                    errors << match.captured(1);
            }
            return errors;
        }

        static std::unique_ptr<testing::XvfbDisplay> display_;
        QTemporaryDir home_;
    };

    std::unique_ptr<testing::XvfbDisplay> MainProcessTest::display_;

    struct InvalidCase {
        QStringList arguments;
        QString error;
    };

    TEST_F(MainProcessTest, InvalidCommandLinesEndWithTheTextInABoxAndExitCodeOne)
    {
        const QList<InvalidCase> cases {
            { {}, "Invalid Arguments.[username:,serveraddr:,workspace:,changeid:,filesIsEmpty:1]" },
            { { "-u", "al", "-p", "srv:1666", "-C", "ws" },
                "Invalid Arguments.[username:al,serveraddr:srv:1666,workspace:ws,changeid:,filesIsEmpty:1]" },
            { { "-p", "srv:1666", "-C", "ws", "-c", "12" },
                "Invalid Arguments.[username:,serveraddr:srv:1666,workspace:ws,changeid:12,filesIsEmpty:1]" },
            { { "-u", "al", "-C", "ws", "-c", "12" },
                "Invalid Arguments.[username:al,serveraddr:,workspace:ws,changeid:12,filesIsEmpty:1]" },
            { { "-u", "al", "-p", "srv:1666", "-c", "default" },
                "Invalid "
                "Arguments.[username:al,serveraddr:srv:1666,workspace:,changeid:default,filesIsEmpty:1]" },
            // Neither a number nor "default", and no files.
            { { "-u", "al", "-p", "srv", "-C", "ws", "-c", "12a" },
                "Invalid Arguments.[username:al,serveraddr:srv,workspace:ws,changeid:12a,filesIsEmpty:1]" },
            // An unknown option word keeps the current option: "x" goes to -u.
            { { "-u", "al", "-x", "bob", "-p", "srv", "-C", "ws" },
                "Invalid Arguments.[username:bob,serveraddr:srv,workspace:ws,changeid:,filesIsEmpty:1]" },
            // "-u" twice and two values: the last wins; values before any option land nowhere.
            { { "stray", "-u", "a", "b", "-u", "c", "-p", "srv", "-C", "ws" },
                "Invalid Arguments.[username:c,serveraddr:srv,workspace:ws,changeid:,filesIsEmpty:1]" },
            // An option word right after another leaves the first field empty; a
            // value that begins with '-' is read as an option word.
            { { "-u", "-p", "srv", "-C", "ws", "-c", "-5" },
                "Invalid Arguments.[username:,serveraddr:srv,workspace:ws,changeid:,filesIsEmpty:1]" },
            // Values are filled in one pass: "%2" in a value stays as typed.
            { { "-u", "%2", "-p", "srv", "-C", "ws" },
                "Invalid Arguments.[username:%2,serveraddr:srv,workspace:ws,changeid:,filesIsEmpty:1]" },
            { { "-u", "al", "-p", "srv", "-C", "中文工作区", "-c", "甲" },
                QString::fromUtf8("Invalid "
                                  "Arguments.[username:al,serveraddr:srv,workspace:中文工作区,changeid:甲,"
                                  "filesIsEmpty:1]") },
        };
        for (const InvalidCase& invalid : cases) {
            SCOPED_TRACE(invalid.arguments.join(' ').toStdString());
            QDir(home_.path() + "/P4VSubmitClient4QX31").removeRecursively();
            EXPECT_EQ(runClosingBox(invalid.arguments), 1);
            EXPECT_EQ(errorTexts(), QStringList { invalid.error });
        }
    }

    // A box runs its own event loop before the main one: a signal still ends the program there,
    // through the teardown.
    TEST_F(MainProcessTest, SignalsCloseAStartUpBoxAndEndTheProgram)
    {
        for (const int signal_number : { SIGTERM, SIGINT }) {
            SCOPED_TRACE(signal_number);
            QDir(home_.path() + "/P4VSubmitClient4QX31").removeRecursively();
            QProcess process;
            start(process, {});
            ASSERT_TRUE(waitUntil(process, [] { return display_->hasWindow(kBoxTitle); }));
            sendSignal(process, signal_number);
            ASSERT_TRUE(process.waitForFinished(10000));
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), 1);
            EXPECT_TRUE(logClosed());
            EXPECT_TRUE(logLines().last().endsWith("A termination signal arrived: the program ends."))
                << logLines().join('\n').toStdString();
        }
    }

    TEST_F(MainProcessTest, EveryArgumentIsLoggedBeforeParsing)
    {
        const QStringList arguments { "-u", "张三", "-c", "not a number" };
        EXPECT_EQ(runClosingBox(arguments), 1);
        const QStringList lines = logLines();
        QStringList logged;
        const QRegularExpression argument_line(R"( INFO  - \[Args\]\[(\d+)\]\{(.*)\}$)");
        for (const QString& line : lines) {
            const auto match = argument_line.match(line);
            if (match.hasMatch()) {
                EXPECT_EQ(match.captured(1).toInt(), logged.size());
                logged << match.captured(2);
            }
        }
        ASSERT_EQ(logged.size(), arguments.size() + 1);
        EXPECT_TRUE(logged[0].endsWith("Tessarine"));
        EXPECT_EQ(logged.mid(1), arguments);
    }

    // The program started against the stand-in depot and services: it settles the
    // changelist, keeps running until told to stop, and ends cleanly.
    class MainRunTest : public MainProcessTest {
    protected:
        void SetUp() override
        {
            MainProcessTest::SetUp();
            tags_.replyWithTags({ { "feature", "New feature" } });
            tags_.start(QUrl(build_config::kTagServiceUrl).port(),
                QUrl(build_config::kTagServiceUrl).host().toStdString());
            reviews_.start(
                QUrl(build_config::kSwarmUrl).port(), QUrl(build_config::kSwarmUrl).host().toStdString());
        }

        QStringList argumentsFor(const QString& change_id) const
        {
            return { "-u", QString::fromStdString(depot_.user()), "-p", QString::fromStdString(depot_.port()),
                "-C", QString::fromStdString(depot_.client()), "-c", change_id };
        }

        // Waits until the running program shows its window, which it does only
        // once start-up (Perforce, the tag list, the review panel) is done.
        bool waitUntilStarted(QProcess& process)
        {
            for (int i = 0; i < 400 && process.state() == QProcess::Running; ++i) {
                if (display_->hasWindow("Tessarine"))
                    return true;
                QThread::msleep(25);
            }
            return false;
        }

        int stop(QProcess& process)
        {
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            EXPECT_TRUE(process.waitForFinished(20000));
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            return process.exitCode();
        }

        StandInDepot depot_;
        standin::TagServer tags_;
        standin::ReviewServer reviews_ { build_config::kSwarmUser, build_config::kSwarmToken };
    };

    TEST_F(MainRunTest, SettlesTheChangelistRunsAndEndsCleanly)
    {
        const int change = depot_.addPendingChange("[feature] ready", { depot_.file("a.c", 1) });
        depot_.clearJournal();
        QProcess process;
        start(process, argumentsFor(QString::number(change)) + QStringList { "-f", "ignored.c" });
        ASSERT_TRUE(waitUntilStarted(process)) << process.readAllStandardError().toStdString();
        EXPECT_EQ(stop(process), 0);

        // The parsed values reach Perforce: global options and the change as typed.
        const auto journal = depot_.journal();
        ASSERT_FALSE(journal.empty());
        const std::vector<std::string> globals { "-p", depot_.port(), "-u", depot_.user(), "-c",
            depot_.client() };
        EXPECT_EQ(std::vector<std::string>(journal[0].begin(), journal[0].begin() + 6), globals);
        bool asked_for_change = false;
        for (const auto& command : depot_.commands())
            asked_for_change
                |= command == std::vector<std::string> { "opened", "-c", std::to_string(change) };
        EXPECT_TRUE(asked_for_change);
        EXPECT_TRUE(errorTexts().isEmpty()) << errorTexts().join('\n').toStdString();
    }

    TEST_F(MainRunTest, MissingChangelistFilesReachTheUser)
    {
        EXPECT_EQ(runClosingBox(argumentsFor("DEFAULT")), 1);
        EXPECT_EQ(errorTexts(), QStringList { QString::fromUtf8("在DEFAULT中未找到Opened文件") });

        QDir(home_.path() + "/P4VSubmitClient4QX31").removeRecursively();
        const std::string missing = depot_.root() + "/missing.c";
        EXPECT_EQ(runClosingBox(argumentsFor("") + QStringList { "-f", QString::fromStdString(missing) }), 1);
        // A message of several lines: its first in the ERROR line, the rest after it.
        EXPECT_EQ(errorTexts(),
            QStringList { QString::fromStdString("在工作区" + depot_.client() + "中未找到Opened文件:") });
        EXPECT_TRUE(
            logLines().contains(QString::fromStdString(missing + " - file(s) not opened on this client.")));
    }

    // A server that stops answering at start-up ends it with p4's own failure, in a box.
    TEST_F(MainRunTest, AStalledServerAtStartUpEndsInABox)
    {
        if (kP4NetMaxWaitSeconds > 10)
            GTEST_SKIP() << "built with a network wait of " << kP4NetMaxWaitSeconds << " s";
        const int change = depot_.addPendingChange("[feature] stalled", { depot_.file("s.c", 1) });
        depot_.injectHang("opened");
        EXPECT_EQ(runClosingBox(argumentsFor(QString::number(change))), 1);
        EXPECT_EQ(errorTexts(), QStringList { "Perforce client error:" });
        const QStringList lines = logLines();
        const auto error_line = std::find_if(lines.begin(), lines.end(),
            [](const QString& line) { return line.endsWith(" ERROR - Perforce client error:"); });
        ASSERT_NE(error_line, lines.end());
        const QString detail = *std::next(error_line);
        EXPECT_TRUE(detail.startsWith("\tPartner exited unexpectedly. [p4 ")) << detail.toStdString();
        EXPECT_TRUE(detail.endsWith(QString(" opened -c %1]").arg(change))) << detail.toStdString();
    }

    class MainSignalTest : public MainRunTest {
    protected:
        // Starts the program against a server that stops answering at the opened-files query.
        void startStalled(QProcess& process)
        {
            change_ = depot_.addPendingChange("[feature] stalled", { depot_.file("s.c", 1) });
            depot_.injectHang("opened");
            start(process, argumentsFor(QString::number(change_)));
            const std::vector<std::string> hung { "opened", "-c", std::to_string(change_) };
            ASSERT_TRUE(waitUntil(process, [&] {
                const auto commands = depot_.commands();
                return std::find(commands.begin(), commands.end(), hung) != commands.end();
            }));
        }

        int change_ = 0;
    };

    // The signal stops the p4 that start-up waits for: the program ends at once, without a box.
    TEST_F(MainSignalTest, ASignalDuringABlockingP4CallEndsStartUp)
    {
        QProcess process;
        startStalled(process);
        sendSignal(process, SIGTERM);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 1);
        const QStringList errors = errorTexts();
        ASSERT_EQ(errors.size(), 1);
        // Stopped by the signal, not by p4's own wait bound.
        EXPECT_TRUE(errors[0].startsWith("p4 was stopped: the program is ending [p4 "))
            << errors[0].toStdString();
        EXPECT_TRUE(logClosed());
    }

    // Two signals arrive together (the process is held while they are sent): the second ends the
    // process at once, without the teardown.
    TEST_F(MainSignalTest, ASecondSignalEndsTheProcessAtOnce)
    {
        QProcess process;
        startStalled(process);
        sendSignal(process, SIGSTOP);
        sendSignal(process, SIGTERM);
        sendSignal(process, SIGINT);
        sendSignal(process, SIGCONT);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_TRUE(process.exitCode() == 128 + SIGTERM || process.exitCode() == 128 + SIGINT)
            << process.exitCode();
        EXPECT_FALSE(logClosed());
    }

    TEST_F(MainRunTest, ASecondInstanceIsRefusedAndAKilledOneDoesNotLockTheUserOut)
    {
        const int change = depot_.addPendingChange("[feature] one", { depot_.file("b.c", 1) });
        QProcess first;
        start(first, argumentsFor(QString::number(change)));
        ASSERT_TRUE(waitUntilStarted(first));

        QProcess second;
        start(second, argumentsFor(QString::number(change)));
        EXPECT_TRUE(display_->dismissBox(kBoxTitle, 20000));
        ASSERT_TRUE(second.waitForFinished(20000));
        EXPECT_EQ(second.exitCode(), 2);

        // Killed without a chance to release the segment.
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        first.waitForFinished(10000);

        reviews_.clearRequests();
        QProcess third;
        start(third, argumentsFor(QString::number(change)));
        ASSERT_TRUE(waitUntilStarted(third)) << "a stale guard locked the user out";
        EXPECT_FALSE(display_->hasWindow(kBoxTitle));
        EXPECT_EQ(stop(third), 0);
    }

} // namespace
} // namespace velmora
