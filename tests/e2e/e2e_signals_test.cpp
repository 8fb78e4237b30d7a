// SIGTERM and SIGINT end the real program at any moment through its teardown: in a box of
// start-up, in a blocking p4 call, while a run waits for p4 or for the check server.
#include "e2e_fixture.h"

#include "window_layout.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <functional>

namespace velmora::e2e {
namespace {

    const QString kSignalLine = "A termination signal arrived: the program ends.";

    // A process by its id and start time, so that a reused id is not taken for it.
    struct ProcessIdentity {
        QString pid;
        QString start_time;
    };

    // /proc/<pid>/stat: "pid (comm) state ppid ..."; the start time is field 22.
    QStringList statFields(const QString& pid, QString* command)
    {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromUtf8(stat.readAll());
        const int open = text.indexOf('(');
        const int close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            return {};
        if (command)
            *command = text.mid(open + 1, close - open - 1);
        return text.mid(close + 2).split(' ');
    }

    std::vector<ProcessIdentity> p4Children(qint64 parent)
    {
        std::vector<ProcessIdentity> children;
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QString command;
            const QStringList fields = statFields(pid, &command);
            if (fields.size() > 19 && command == "p4" && fields[1].toLongLong() == parent)
                children.push_back({ pid, fields[19] });
        }
        return children;
    }

    bool exists(const ProcessIdentity& process)
    {
        const QStringList fields = statFields(process.pid, nullptr);
        return fields.size() > 19 && fields[19] == process.start_time && fields[0] != "Z";
    }

    class SignalTest : public SceneTest {
    protected:
        // Starts the program against a server that stops answering at the opened-files query.
        void startStalled(ProgramRun& run)
        {
            const int change = depot_.addPendingChange("[feature] stalled", { depot_.file("s.c", 1) });
            depot_.injectHang("opened");
            ASSERT_TRUE(run.start(argumentsFor(QString::number(change))));
            ASSERT_TRUE(run.waitWhileRunning([&] { return !commandsNamed("opened").empty(); }));
        }
    };

    // A box runs its own event loop before the main one: a signal still ends the program there.
    TEST_F(SignalTest, SignalsCloseAStartUpBoxAndEndTheProgram)
    {
        for (const int signal_number : { SIGTERM, SIGINT }) {
            SCOPED_TRACE(signal_number);
            ProgramRun run(display());
            ASSERT_TRUE(run.start({}));
            ASSERT_TRUE(run.waitWhileRunning([&] { return driver().hasWindow(kBoxTitle); }));
            run.signal(signal_number);
            ASSERT_TRUE(run.waitForExit(10000));
            EXPECT_TRUE(run.exitedNormally());
            EXPECT_EQ(run.exitCode(), 1);
            EXPECT_TRUE(run.logClosed());
            EXPECT_TRUE(run.logLines().last().endsWith(kSignalLine))
                << run.logLines().join('\n').toStdString();
        }
    }

    // The signal stops the p4 that start-up waits for: the program ends at once, without a box.
    TEST_F(SignalTest, ASignalDuringABlockingP4CallEndsStartUp)
    {
        ProgramRun run(display());
        startStalled(run);
        run.signal(SIGTERM);
        ASSERT_TRUE(run.waitForExit(10000));
        EXPECT_TRUE(run.exitedNormally());
        EXPECT_EQ(run.exitCode(), 1);
        const QStringList errors = run.errorTexts();
        ASSERT_EQ(errors.size(), 1);
        // Stopped by the signal, not by p4's own wait bound.
        EXPECT_TRUE(errors[0].startsWith("p4 was stopped: the program is ending [p4 "))
            << errors[0].toStdString();
        EXPECT_TRUE(run.logClosed());
    }

    // Two signals arrive together (the process is held while they are sent): the second ends the
    // process at once, without the teardown.
    TEST_F(SignalTest, ASecondSignalEndsTheProcessAtOnce)
    {
        ProgramRun run(display());
        startStalled(run);
        run.signal(SIGSTOP);
        run.signal(SIGTERM);
        run.signal(SIGINT);
        run.signal(SIGCONT);
        ASSERT_TRUE(run.waitForExit(10000));
        EXPECT_TRUE(run.exitedNormally());
        EXPECT_TRUE(run.exitCode() == 128 + SIGTERM || run.exitCode() == 128 + SIGINT) << run.exitCode();
        EXPECT_FALSE(run.logClosed());
    }

    struct RunCase {
        const char* name;
        bool waits_for_p4;
        // Sets the fault up and starts the run from the window; returns once the program
        // waits in it.
        std::function<void(ProgramRun&, const QString& window)> begin;
    };

    // SIGTERM while the program waits for p4 or for the check server, on either thread: a
    // clean end with exit code 0, the log closed, and no p4 left running.
    TEST_F(SignalTest, SigtermDuringARunEndsCleanly)
    {
        const int change = depot_.addPendingChange("[feature] 进行中", { depot_.file("run.c", 3) });
        const auto shelveStarted = [this] { return !commandsNamed("shelve").empty(); };
        const std::vector<RunCase> cases {
            { "review creation waiting for p4 on the GUI thread", true,
                [&](ProgramRun& run, const QString& window) {
                    depot_.injectHang("shelve");
                    driver().click(window, layout::kCreateReviewButton);
                    ASSERT_TRUE(run.waitWhileRunning(shelveStarted));
                } },
            { "pre-check waiting for p4 on the worker", true,
                [&](ProgramRun& run, const QString& window) {
                    depot_.injectHang("shelve");
                    driver().click(window, layout::kPreCheckButton);
                    ASSERT_TRUE(run.waitWhileRunning(shelveStarted));
                } },
            { "pre-check waiting for the check server", false,
                [&](ProgramRun& run, const QString& window) {
                    standin::CheckReplyScript silent;
                    silent.never_answer = true;
                    check_.setScript(silent);
                    driver().click(window, layout::kPreCheckButton);
                    ASSERT_TRUE(run.waitWhileRunning([&] { return !check_.requests().empty(); }));
                } },
        };
        for (const RunCase& row : cases) {
            SCOPED_TRACE(row.name);
            depot_.clearFaults();
            depot_.clearJournal();
            check_.clearRequests();
            ProgramRun run(display());
            const QString window = startWindow(run, argumentsFor(QString::number(change)));
            ASSERT_FALSE(window.isEmpty()) << run.output().toStdString();
            row.begin(run, window);
            if (::testing::Test::HasFatalFailure())
                return;
            const auto children = p4Children(run.pid());
            EXPECT_EQ(children.empty(), !row.waits_for_p4);
            run.signal(SIGTERM);
            ASSERT_TRUE(run.waitForExit(10000));
            EXPECT_TRUE(run.exitedNormally());
            EXPECT_EQ(run.exitCode(), 0);
            EXPECT_TRUE(run.logClosed());
            EXPECT_TRUE(run.hasLogLine(kSignalLine));
            for (const ProcessIdentity& child : children)
                EXPECT_FALSE(exists(child)) << "p4 " << child.pid.toStdString() << " outlived the program";
            // No box outlives it either.
            EXPECT_FALSE(driver().hasWindow(kBoxTitle));
        }
    }

} // namespace
} // namespace velmora::e2e
