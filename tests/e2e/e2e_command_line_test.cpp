// The program started with command lines it must refuse: the text in a box closed from
// outside, the log, the exit code.
#include "e2e_fixture.h"

#include <QRegularExpression>

namespace velmora::e2e {
namespace {

    class CommandLineTest : public ProgramTest {
    protected:
        // Runs to the end, closing the box on the way; returns the box's text.
        QString runClosingBox(ProgramRun& run, const QStringList& arguments)
        {
            EXPECT_TRUE(run.start(arguments));
            const QString text = driver().readAndCloseBox(kBoxTitle);
            EXPECT_TRUE(run.waitForExit());
            EXPECT_TRUE(run.exitedNormally());
            EXPECT_FALSE(text.isEmpty()) << "no box; the program said:\n" << run.output().toStdString();
            return text;
        }
    };

    struct InvalidCase {
        QStringList arguments;
        QString error;
    };

    TEST_F(CommandLineTest, InvalidCommandLinesEndWithTheTextInABoxAndExitCodeOne)
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
            // An unknown option word keeps the current option: "bob" goes to -u.
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
            ProgramRun run(display());
            EXPECT_EQ(runClosingBox(run, invalid.arguments), invalid.error);
            EXPECT_EQ(run.exitCode(), 1);
            EXPECT_EQ(run.errorTexts(), QStringList { invalid.error });
        }
    }

    TEST_F(CommandLineTest, EveryArgumentIsLoggedBeforeParsing)
    {
        const QStringList arguments { "-u", "张三", "-c", "not a number" };
        ProgramRun run(display());
        runClosingBox(run, arguments);
        EXPECT_EQ(run.exitCode(), 1);
        QStringList logged;
        const QRegularExpression argument_line(R"( INFO  - \[Args\]\[(\d+)\]\{(.*)\}$)");
        for (const QString& line : run.logLines()) {
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

} // namespace
} // namespace velmora::e2e
