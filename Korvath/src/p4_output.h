#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// A message record of p4's machine output: {"data": ..., "severity": 2, "generic": 17}.
struct P4Message {
    int severity = 0; // 0 empty, 1 info, 2 warning, 3 failed, 4 fatal
    int generic = 0; // 17: nothing matched
    std::string text; // trimmed
};

// The lines of `p4 -ztag -Mj ...` split by kind, in the order p4 wrote them.
struct P4Output {
    std::vector<nlohmann::json> records; // tagged records: field name -> string value
    std::vector<std::string> infos; // {"data": ..., "level": N} lines, trimmed
    std::vector<P4Message> messages; // warnings and errors
};

// The output was not what p4 writes.
class P4OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Some named files matched nothing opened; reported as P4FilesNotOpenedError with the command.
class P4NotOpenedOutput : public P4OutputError {
public:
    explicit P4NotOpenedOutput(std::vector<std::string> lines);
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Splits standard output into one JSON object per line. Throws P4OutputError on a line that
// is not a JSON object.
P4Output parseOutputLines(const std::string& out);

// A warning that only says nothing matched: an empty result, not a failure.
bool isEmptyResultWarning(const P4Message& message);

// Throws P4NotOpenedOutput when a command over named files left some unmatched: each such
// file gets a warning ("<file> - file(s) not opened on this client.").
void requireEveryFileMatched(const P4Output& output);

// Decides whether a command failed: nothing when it succeeded, else the text to report
// (p4's error messages, else its standard error, else the exit status).
std::optional<std::string> failureText(
    const P4Output& output, int exit_code, int term_signal, const std::string& err);

// The same for a command run in plain-text mode, whose errors go to standard error.
std::optional<std::string> textFailureText(
    int exit_code, int term_signal, const std::string& out, const std::string& err);

std::string trimmed(const std::string& text);

} // namespace velmora
