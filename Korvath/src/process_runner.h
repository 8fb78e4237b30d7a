#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

struct ProcessResult {
    int exit_code = -1; // -1 when the process ended by a signal
    int term_signal = 0; // the signal that ended it, else 0
    std::string out;
    std::string err;
};

// A program could not be found or started, ran past its time limit, or was interrupted.
class ProcessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs one program with an argument vector (no shell), feeds it standard input when given,
// collects standard output and standard error in full and waits for its exit. The child gets
// standard input, output and error and no other descriptor of the host. A run that outlasts
// the limit, or meets InterruptP4Commands, has its child killed and throws ProcessError.
// Stateless: each run owns its pipes, so runs on several threads do not interfere.
class ProcessRunner {
public:
    explicit ProcessRunner(std::string program, std::chrono::milliseconds limit = std::chrono::hours(1));

    // The absolute file the program resolves to on PATH; throws ProcessError naming the
    // directories searched when there is none.
    std::string locate() const;

    // args excludes the program name. Without input, standard input is /dev/null.
    ProcessResult run(
        const std::vector<std::string>& args, const std::optional<std::string>& input = std::nullopt) const;

private:
    std::string program_;
    std::chrono::milliseconds limit_;
};

} // namespace velmora
