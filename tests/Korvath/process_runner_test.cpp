#include "process_runner.h"

#include "korvath/interrupt.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

    namespace fs = std::filesystem;
    using namespace std::chrono_literals;

    struct RunRow {
        const char* name;
        const char* program;
        std::vector<std::string> args;
        std::optional<std::string> input;
        std::string out;
        std::string err;
        int exit_code;
        int signal;
    };

    TEST(ProcessRunner, RunsWithoutAShellAndCollectsEverything)
    {
        const std::string big_input = std::string(3 * 1024 * 1024, 'x') + "\n最后一行\n";
        const std::vector<RunRow> rows {
            // Far more than a pipe buffer on each stream, written interleaved.
            { "both streams in full", "sh",
                { "-c", "for i in 1 2 3 4; do head -c 600000 /dev/zero; head -c 500000 /dev/zero >&2; done" },
                std::nullopt, std::string(2400000, '\0'), std::string(2000000, '\0'), 0, 0 },
            { "input fed in full", "cat", {}, big_input, big_input, "", 0, 0 },
            { "no input is empty input", "cat", {}, std::nullopt, "", "", 0, 0 },
            // Writing on after the child closed its input would raise SIGPIPE in this process.
            { "child closes its input", "sh", { "-c", "exec <&-; head -c 1000000 /dev/zero" },
                std::string(4 * 1024 * 1024, 'x'), std::string(1000000, '\0'), "", 0, 0 },
            { "exit code", "sh", { "-c", "echo out; echo err >&2; exit 3" }, std::nullopt, "out\n", "err\n",
                3, 0 },
            { "signal", "sh", { "-c", "kill -9 $$" }, std::nullopt, "", "", -1, 9 },
            { "no shell", "printf", { "%s|", "a b", "$HOME", "`x`", "*", "" }, std::nullopt,
                "a b|$HOME|`x`|*||", "", 0, 0 },
        };
        for (const RunRow& row : rows) {
            SCOPED_TRACE(row.name);
            // The limit turns a run that never ends into a failure instead of a hung test.
            ProcessResult result = ProcessRunner(row.program, 30s).run(row.args, row.input);
            EXPECT_EQ(result.out.size(), row.out.size());
            EXPECT_TRUE(result.out == row.out);
            EXPECT_TRUE(result.err == row.err) << result.err.substr(0, 200);
            EXPECT_EQ(result.exit_code, row.exit_code);
            EXPECT_EQ(result.term_signal, row.signal);
        }
    }

    // The backstop for a program that never ends: killed at the limit, reported, reaped.
    TEST(ProcessRunner, KillsAProgramThatOutlastsItsLimit)
    {
        for (const char* script : { "echo started; exec sleep 30", "exec >&- 2>&-; sleep 30" }) {
            try {
                ProcessRunner("sh", 300ms).run({ "-c", script });
                ADD_FAILURE() << "no exception: " << script;
            } catch (const ProcessError& e) {
                EXPECT_STREQ(e.what(), "sh did not finish within 300 ms and was stopped");
            }
        }
    }

    TEST(ProcessRunner, ChildGetsNoOtherDescriptorOfTheHost)
    {
        int fd = ::open("/dev/null", O_RDONLY); // no close-on-exec, like a library's file
        ASSERT_GE(fd, 0);
        const int high = ::dup2(fd, 57);
        ProcessResult result = ProcessRunner("sh").run({ "-c",
            "for n in " + std::to_string(fd) + " 57; do [ -e /proc/$$/fd/$n ] && echo $n; done; true" });
        ::close(fd);
        ::close(high);
        EXPECT_EQ(result.out, "");
    }

    TEST(ProcessRunner, FindsTheFirstExecutableFileOnPath)
    {
        const fs::path dir = fs::temp_directory_path() / ("korvath-runner-" + std::to_string(::getpid()));
        fs::create_directories(dir / "a" / "tool"); // a directory of that name
        fs::create_directories(dir / "b");
        std::ofstream(dir / "b" / "tool") << "#!/bin/sh\n"; // not executable
        fs::create_directories(dir / "c");
        std::ofstream(dir / "c" / "tool") << "#!/bin/sh\n";
        fs::permissions(dir / "c" / "tool", fs::perms::owner_all);

        const std::string old_path = std::getenv("PATH");
        ::setenv("PATH", (dir.string() + "/a:" + dir.string() + "/b:" + dir.string() + "/c").c_str(), 1);
        const std::string found = ProcessRunner("tool").locate();
        ::setenv("PATH", "/nonexistent-one::/nonexistent-two", 1);
        std::string missing;
        try {
            ProcessRunner("p4").run({});
        } catch (const ProcessError& e) {
            missing = e.what();
        }
        ::setenv("PATH", old_path.c_str(), 1);
        fs::remove_all(dir);
        EXPECT_EQ(found, (dir / "c" / "tool").string());
        EXPECT_EQ(missing, "p4 not found on PATH (searched: /nonexistent-one, ., /nonexistent-two)");
    }

    // Once interrupted, a running command ends at once and every later one fails: in a child
    // process, since there is no way back.
    TEST(ProcessRunnerDeathTest, InterruptEndsRunningAndLaterCommands)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                const fs::path started
                    = fs::temp_directory_path() / ("korvath-started-" + std::to_string(::getpid()));
                // Interrupts once the command is seen running.
                std::thread trigger([&started] {
                    const auto until = std::chrono::steady_clock::now() + 60s;
                    while (!fs::exists(started) && std::chrono::steady_clock::now() < until)
                        std::this_thread::sleep_for(5ms);
                    InterruptP4Commands();
                });
                std::string running;
                std::string later;
                const auto start = std::chrono::steady_clock::now();
                try {
                    ProcessRunner("sh").run({ "-c", "touch '" + started.string() + "'; exec sleep 120" });
                } catch (const ProcessError& e) {
                    running = e.what();
                }
                // Far from the command's own end, whatever the load.
                const bool prompt = std::chrono::steady_clock::now() - start < 60s;
                trigger.join();
                try {
                    ProcessRunner("sleep").run({ "120" });
                } catch (const ProcessError& e) {
                    later = e.what();
                }
                fs::remove(started);
                std::_Exit(prompt && running == "sh was stopped: the program is ending"
                            && later == "sleep was stopped: the program is ending"
                        ? 3
                        : 4);
            },
            ::testing::ExitedWithCode(3), "");
    }

} // namespace
} // namespace velmora
