// Start-up of the real program: every argument logged, command lines refused and
// failures of start-up shown in a box closed from outside, one instance at a time.
#include "e2e_fixture.h"

#include <csignal>

namespace velmora::e2e {
namespace {

    using StartUpTest = SceneTest;

    TEST_F(StartUpTest, ArgumentsAreLoggedThenARefusalOrAFailureEndsStartUpInABox)
    {
        // A command line without files refused, from its user, server, workspace and change.
        const auto invalid = [](const QString& values) {
            const QStringList v = values.split(',');
            return QString(
                "Invalid Arguments.[username:%1,serveraddr:%2,workspace:%3,changeid:%4,filesIsEmpty:1]")
                .arg(v[0], v[1], v[2], v[3]);
        };
        const QList<std::pair<QStringList, QString>> cases {
            { {}, invalid(",,,") },
            { { "-u", "u", "-p", "s", "-C", "w" }, invalid("u,s,w,") },
            { { "-p", "s", "-C", "w", "-c", "12" }, invalid(",s,w,12") },
            { { "-u", "u", "-C", "w", "-c", "12" }, invalid("u,,w,12") },
            { { "-u", "u", "-p", "s", "-c", "default" }, invalid("u,s,,default") },
            { { "-u", "u", "-p", "s", "-C", "w", "-c", "12a" }, invalid("u,s,w,12a") },
            // An unknown option word keeps the current option; "-u" twice and two values: the
            // last wins; values before any option land nowhere.
            { { "x", "-u", "a", "b", "-u", "c", "-x", "d", "-p", "s", "-C", "w" }, invalid("d,s,w,") },
            // An option word right after another leaves the first field alone; a value that
            // begins with '-' is an option word; "%2" in a value stays as typed.
            { { "-u", "%2", "-p", "-C", "中文区", "-c", "-5" }, invalid("%2,,中文区,") },
            // Valid: the change in any letter case, or files, and then the client's failure.
            { argumentsFor("DEFAULT"), "在DEFAULT中未找到Opened文件" },
            { argumentsFor("") << "-f" << QString::fromStdString(depot_.root() + "/gone.c"),
                QString::fromStdString("在工作区" + depot_.client() + "中未找到Opened文件:") },
        };
        for (const auto& [arguments, error] : cases) {
            SCOPED_TRACE(arguments.join(' ').toStdString());
            ProgramRun run(display());
            ASSERT_TRUE(run.start(arguments));
            EXPECT_TRUE(driver().readAndCloseBox(kBoxTitle).startsWith(error));
            ASSERT_TRUE(run.waitForExit());
            EXPECT_EQ(run.exitCode(), 1);
            EXPECT_EQ(run.errorTexts(), QStringList { error });
            // Every argument, logged before it was parsed.
            EXPECT_TRUE(run.logLines().filter("[Args][0]{").value(0).endsWith("/Tessarine}"));
            for (int i = 0; i < arguments.size(); ++i)
                EXPECT_TRUE(run.hasLogLine("[Args][" + QString::number(i + 1) + "]{" + arguments[i] + "}"))
                    << i;
        }
    }

    TEST_F(StartUpTest, ASecondInstanceIsRefusedAndAKilledOneDoesNotLockTheUserOut)
    {
        // One temporary directory for all, as for one user: the guard's key file lives there.
        const QStringList arguments
            = argumentsFor(QString::number(depot_.addPendingChange("[feature] one", { depot_.file("b.c") })));
        ProgramRun first(display());
        ASSERT_FALSE(startWindow(first, arguments).isEmpty());
        ProgramRun second(display(), first.home());
        ASSERT_TRUE(second.start(arguments));
        EXPECT_EQ(
            driver().readAndCloseBox(kBoxTitle), QString::fromUtf8("当前已有窗口正在运行,请先关闭当前窗口"));
        ASSERT_TRUE(second.waitForExit());
        EXPECT_EQ(second.exitCode(), 2);

        // Killed without a chance to release the segment.
        first.signal(SIGKILL);
        ASSERT_TRUE(first.waitForExit());
        ProgramRun third(display(), first.home());
        ASSERT_FALSE(startWindow(third, arguments).isEmpty()) << "a stale guard locked the user out";
        EXPECT_EQ(third.stop(), 0);
    }

} // namespace
} // namespace velmora::e2e
