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

    // Sets PATH for one test and puts it back.
    class PathGuard {
    public:
        explicit PathGuard(const std::string& path)
            : old_(std::getenv("PATH") ? std::getenv("PATH") : "")
        {
            ::setenv("PATH", path.c_str(), 1);
        }
        ~PathGuard() { ::setenv("PATH", old_.c_str(), 1); }

    private:
        std::string old_;
    };

    TEST(ProcessRunner, ReadsBothStreamsInFullWithoutDeadlock)
    {
        // Far more than a pipe buffer on each stream, written interleaved.
        ProcessRunner sh("sh");
        ProcessResult result = sh.run(
            { "-c", "for i in 1 2 3 4; do head -c 600000 /dev/zero; head -c 500000 /dev/zero >&2; done" });
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.out.size(), 2400000u);
        EXPECT_EQ(result.err.size(), 2000000u);
    }

    TEST(ProcessRunner, FeedsStandardInput)
    {
        std::string input(3 * 1024 * 1024, 'x');
        input += "\n最后一行\n";
        ProcessResult result = ProcessRunner("cat").run({}, input);
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.out, input);
    }

    TEST(ProcessRunner, ChildThatIgnoresInputDoesNotKillTheHost)
    {
        // Writing into a closed pipe would raise SIGPIPE in this process.
        ProcessResult result = ProcessRunner("true").run({}, std::string(4 * 1024 * 1024, 'x'));
        EXPECT_EQ(result.exit_code, 0);
    }

    TEST(ProcessRunner, WithoutInputStandardInputIsEmpty)
    {
        ProcessResult result = ProcessRunner("cat").run({});
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.out, "");
    }

    TEST(ProcessRunner, ReportsExitCodeAndSignal)
    {
        ProcessRunner sh("sh");
        ProcessResult exited = sh.run({ "-c", "echo out; echo err >&2; exit 3" });
        EXPECT_EQ(exited.exit_code, 3);
        EXPECT_EQ(exited.out, "out\n");
        EXPECT_EQ(exited.err, "err\n");
        ProcessResult killed = sh.run({ "-c", "kill -9 $$" });
        EXPECT_EQ(killed.term_signal, 9);
        EXPECT_EQ(killed.exit_code, -1);
    }

    TEST(ProcessRunner, PassesArgumentsWithoutAShell)
    {
        ProcessResult result = ProcessRunner("printf").run({ "%s|", "a b", "$HOME", "`x`", "*", "" });
        EXPECT_EQ(result.out, "a b|$HOME|`x`|*||");
    }

    // The backstop for a program that never ends: killed at the limit, reported, reaped.
    TEST(ProcessRunner, KillsAProgramThatOutlastsItsLimit)
    {
        const auto start = std::chrono::steady_clock::now();
        try {
            ProcessRunner("sh", std::chrono::milliseconds(300)).run({ "-c", "echo started; exec sleep 30" });
            FAIL() << "no exception";
        } catch (const ProcessError& e) {
            EXPECT_STREQ(e.what(), "sh did not finish within 300 ms and was stopped");
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        // A program that closes its output but lives on is bounded too.
        EXPECT_THROW(
            ProcessRunner("sh", std::chrono::milliseconds(300)).run({ "-c", "exec >&- 2>&-; sleep 30" }),
            ProcessError);
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

    // Once interrupted, a running command ends at once and every later one fails: in a child
    // process, since there is no way back.
    TEST(ProcessRunnerDeathTest, InterruptEndsRunningAndLaterCommands)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                std::thread trigger([] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    InterruptP4Commands();
                });
                const auto start = std::chrono::steady_clock::now();
                int failures = 0;
                for (int i = 0; i < 2; ++i) {
                    try {
                        ProcessRunner("sleep").run({ "30" });
                    } catch (const ProcessError& e) {
                        failures += std::string(e.what()) == "sleep was stopped: the program is ending";
                    }
                }
                trigger.join();
                const bool prompt = std::chrono::steady_clock::now() - start < std::chrono::seconds(10);
                std::_Exit(failures == 2 && prompt ? 3 : 4);
            },
            ::testing::ExitedWithCode(3), "");
    }

    TEST(ProcessRunner, MissingProgramNamesTheDirectoriesSearched)
    {
        PathGuard path("/nonexistent-one::/nonexistent-two");
        try {
            ProcessRunner("p4").run({});
            FAIL() << "no exception";
        } catch (const ProcessError& e) {
            std::string text = e.what();
            EXPECT_NE(text.find("p4 not found"), std::string::npos) << text;
            EXPECT_NE(text.find("/nonexistent-one"), std::string::npos) << text;
            EXPECT_NE(text.find("/nonexistent-two"), std::string::npos) << text;
        }
    }

    TEST(ProcessRunner, SkipsFilesThatAreNotExecutable)
    {
        namespace fs = std::filesystem;
        fs::path dir = fs::temp_directory_path() / ("korvath-runner-" + std::to_string(::getpid()));
        fs::create_directories(dir / "a");
        fs::create_directories(dir / "b");
        std::ofstream(dir / "a" / "tool") << "#!/bin/sh\necho wrong\n";
        std::ofstream(dir / "b" / "tool") << "#!/bin/sh\necho right\n";
        fs::permissions(dir / "b" / "tool", fs::perms::owner_all);
        fs::create_directories(dir / "c" / "tool"); // a directory of that name
        {
            PathGuard path((dir / "c").string() + ":" + (dir / "a").string() + ":" + (dir / "b").string());
            ProcessRunner tool("tool");
            EXPECT_EQ(tool.locate(), (dir / "b" / "tool").string());
            EXPECT_EQ(tool.run({}).out, "right\n");
        }
        fs::remove_all(dir);
    }

} // namespace
} // namespace velmora
