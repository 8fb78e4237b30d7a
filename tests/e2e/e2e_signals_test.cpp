// SIGTERM and SIGINT end the real program at any moment through its teardown: in a box of
// start-up, in a blocking p4 call, while a run waits for p4 or for the check server.
#include "e2e_fixture.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

namespace velmora::e2e {
namespace {

    using SignalTest = SceneTest;

    TEST_F(SignalTest, ASignalEndsTheProgramCleanlyWhereverItWaits)
    {
        const int change = depot_.addPendingChange("[feature] 进行中", { depot_.file("run.c", 3) });
        standin::CheckReplyScript silent;
        silent.never_answer = true;
        check_.setScript(silent);
        const std::tuple<const char*, std::vector<int>, std::string, bool, int, bool> cases[] = {
            // where, the signals, a p4 command that hangs, the pre-check pressed, the exit code,
            // and whether an event loop runs (it logs the signal); a box runs its own loop
            { "a box of start-up", { SIGINT }, "", false, 1, true },
            { "p4 during start-up", { SIGTERM }, "opened", false, 1, false },
            { "p4 on the worker", { SIGTERM }, "shelve", true, 0, true },
            { "the check server", { SIGTERM }, "", true, 0, true },
            // Two at once (the process held while they are sent): the second ends it without
            // the teardown, with 128 and its number (either may be handled first).
            { "a box, twice", { SIGSTOP, SIGTERM, SIGINT, SIGCONT }, "", false, 128, false },
        };
        for (const auto& [where, sent, hang, press, exit_code, in_a_loop] : cases) {
            SCOPED_TRACE(where);
            depot_.clearFaults();
            depot_.clearJournal();
            if (!hang.empty())
                depot_.injectHang(hang);
            ProgramRun run(display());
            if (press)
                driver().click(
                    startWindow(run, argumentsFor(QString::number(change))), layout::kPreCheckButton);
            else
                ASSERT_TRUE(run.start(hang.empty() ? QStringList() : argumentsFor(QString::number(change))));
            ASSERT_TRUE(run.waitWhileRunning([&] {
                const auto commands = depot_.commands();
                if (!hang.empty())
                    return std::any_of(
                        commands.begin(), commands.end(), [&](const auto& c) { return c[0] == hang; });
                return press ? !check_.requests().empty() : driver().hasWindow(kBoxTitle);
            }));
            for (const int signal_number : sent)
                run.signal(signal_number);
            ASSERT_TRUE(run.waitForExit(10000));
            EXPECT_TRUE(run.exitedNormally());
            if (exit_code < 128)
                EXPECT_EQ(run.exitCode(), exit_code);
            else
                EXPECT_TRUE(run.exitCode() == 128 + SIGTERM || run.exitCode() == 128 + SIGINT)
                    << run.exitCode();
            EXPECT_EQ(run.logClosed(), exit_code < 128);
            EXPECT_EQ(run.hasLogLine("A termination signal arrived: the program ends."), in_a_loop);
            // Stopped by the signal, not by p4's own wait bound.
            const QStringList errors = run.errorTexts();
            EXPECT_EQ(
                errors.filter("p4 was stopped: the program is ending [p4 ").size(), hang.empty() ? 0 : 1)
                << errors.join('\n').toStdString();
        }
    }

} // namespace
} // namespace velmora::e2e
