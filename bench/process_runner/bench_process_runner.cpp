// What a p4 call costs the caller beyond the program's own run: a short program started,
// read to the end of its output and waited for, against a bare spawn and blocking wait.
// The runner's wait for the end wakes when the child ends; a tick there shows as a gap.
#include "process_runner.h"

#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

extern char** environ;

namespace {

void BM_RunnerRunsAShortProgram(benchmark::State& state)
{
    const velmora::ProcessRunner runner("true");
    for (auto _ : state)
        benchmark::DoNotOptimize(runner.run({}));
}
BENCHMARK(BM_RunnerRunsAShortProgram)->Unit(benchmark::kMicrosecond);

void BM_BareSpawnAndWait(benchmark::State& state)
{
    const std::string program = velmora::ProcessRunner("true").locate();
    char* argv[] = { const_cast<char*>(program.c_str()), nullptr };
    for (auto _ : state) {
        pid_t pid = -1;
        if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start true");
            break;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}
BENCHMARK(BM_BareSpawnAndWait)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
