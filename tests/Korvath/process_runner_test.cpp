#include "process_runner.h"

#include "korvath/interrupt.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

    using namespace std::chrono_literals;

    struct RunRow {
        const char* program;
        std::vector<std::string> args;
        std::optional<std::string> input;
        std::string out;
        std::string err;
        std::string end; // "exit N" or "signal N"
    };

    TEST(ProcessRunner, RunsWithoutAShellAndCollectsEverything)
    {
        const int fd = ::open("/dev/null", O_RDONLY); // no close-on-exec, like a library's file
        ASSERT_EQ(::dup2(fd, 57), 57);
        const std::string big = std::string(3 * 1024 * 1024, 'x') + "\n最后一行\n";
        const std::vector<RunRow> rows {
            // Far more than a pipe buffer on each stream, written interleaved.
            { "sh",
                { "-c", "for i in 1 2 3 4; do head -c 600000 /dev/zero; head -c 500000 /dev/zero >&2; done" },
                std::nullopt, std::string(2400000, '\0'), std::string(2000000, '\0'), "exit 0" },
            { "cat", {}, big, big, "", "exit 0" },
            { "cat", {}, std::nullopt, "", "", "exit 0" }, // no input is empty input
            // Writing on after the child closed its input would raise SIGPIPE in this process.
            { "sh", { "-c", "exec <&-; head -c 1000000 /dev/zero" }, std::string(4 * 1024 * 1024, 'x'),
                std::string(1000000, '\0'), "", "exit 0" },
            { "sh", { "-c", "echo out; echo err >&2; exit 3" }, std::nullopt, "out\n", "err\n", "exit 3" },
            { "sh", { "-c", "kill -9 $$" }, std::nullopt, "", "", "signal 9" },
            { "printf", { "%s|", "a b", "$HOME", "`x`", "*", "" }, std::nullopt, "a b|$HOME|`x`|*||", "",
                "exit 0" },
            // The child gets no other descriptor of the host.
            { "sh",
                { "-c",
                    "for n in " + std::to_string(fd)
                        + " 57; do [ -e /proc/$$/fd/$n ] && echo $n; done; true" },
                std::nullopt, "", "", "exit 0" },
        };
        for (size_t i = 0; i < rows.size(); ++i) {
            // The limit turns a run that never ends into a failure instead of a hung test.
            ProcessResult result = ProcessRunner(rows[i].program, 30s).run(rows[i].args, rows[i].input);
            EXPECT_TRUE(result.out == rows[i].out && result.err == rows[i].err)
                << "row " << i << ": " << result.out.substr(0, 100) << result.err.substr(0, 100);
            EXPECT_EQ(result.term_signal ? "signal " + std::to_string(result.term_signal)
                                         : "exit " + std::to_string(result.exit_code),
                rows[i].end)
                << "row " << i;
        }
        ::close(fd);
        ::close(57);
    }

    // The backstop for a program that never ends: killed at the limit, reported, reaped.
    TEST(ProcessRunner, KillsAProgramThatOutlastsItsLimit)
    {
        for (const char* script :
            { "echo started; exec sleep infinity", "exec >&- 2>&-; exec sleep infinity" }) {
            try {
                ProcessRunner("sh", 300ms).run({ "-c", script });
                ADD_FAILURE() << "no exception: " << script;
            } catch (const ProcessError& e) {
                EXPECT_STREQ(e.what(), "sh did not finish within 300 ms and was stopped");
            }
        }
    }

    // Once interrupted (here from a signal handler, as the program does), a running command ends at
    // once and every later one fails: in a child process, since there is no way back.
    TEST(ProcessRunnerDeathTest, InterruptEndsRunningAndLaterCommands)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        const auto failure = [](const std::string& script) {
            try {
                ProcessRunner("sh").run({ "-c", script });
            } catch (const ProcessError& e) {
                return std::string(e.what());
            }
            return std::string("(no exception)");
        };
        EXPECT_EXIT(
            {
                std::signal(SIGUSR1, [](int) { InterruptP4Commands(); });
                const std::string running = failure("kill -USR1 $PPID; exec sleep 120");
                std::_Exit(
                    running == "sh was stopped: the program is ending" && failure("sleep 120") == running
                        ? 3
                        : 4);
            },
            ::testing::ExitedWithCode(3), "");
    }

} // namespace
} // namespace velmora
