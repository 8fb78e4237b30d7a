#include "modules/description_tags.h"

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

// Two tags, a blank and n bytes of free text.
std::string longText(std::size_t n) { return "[feature][ui] " + std::string(n, 'x'); }

// Literals only, about n bytes of them, then a short text.
std::string longPrefix(std::size_t n)
{
    std::string description;
    for (int i = 0; description.size() < n; ++i)
        description += "[tag_" + std::to_string(i % 1000) + "]";
    return description + " done";
}

// One opening bracket and n name characters, never closed: no tags at all.
std::string unterminated(std::size_t n) { return "[" + std::string(n, 'n'); }

template <std::string (*Make)(std::size_t)> void parse(benchmark::State& state)
{
    const std::string description = Make(static_cast<std::size_t>(state.range(0)));
    std::string free_text;
    for (auto _ : state) {
        auto names = velmora::parseDescriptionTags(description, &free_text);
        benchmark::DoNotOptimize(names);
        benchmark::DoNotOptimize(free_text);
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(description.size()));
}

BENCHMARK_TEMPLATE(parse, longText)
    ->RangeMultiplier(10)
    ->Range(1000, 10'000'000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(parse, longPrefix)
    ->RangeMultiplier(10)
    ->Range(1000, 10'000'000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(parse, unterminated)
    ->RangeMultiplier(10)
    ->Range(1000, 10'000'000)
    ->Unit(benchmark::kMicrosecond);

void parseTypical(benchmark::State& state)
{
    const std::string description
        = "[feature][ui] add the export button\n\nReviewed with the team; see [b] later.";
    std::string free_text;
    for (auto _ : state) {
        auto names = velmora::parseDescriptionTags(description, &free_text);
        benchmark::DoNotOptimize(names);
    }
}
BENCHMARK(parseTypical);

// The std::regex form it replaces, for comparison; kept below ~26,000
// characters, where it overflows an 8 MiB stack.
void regexReference(benchmark::State& state)
{
    static const std::regex pattern(R"(^\[([a-zA-Z0-9:_-]+)\]((\[[a-zA-Z0-9:_-]+\])*)([\w\W]*)$)");
    const std::string description = longText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::smatch match;
        benchmark::DoNotOptimize(std::regex_match(description, match, pattern));
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(description.size()));
}
BENCHMARK(regexReference)->Arg(1000)->Arg(10'000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
