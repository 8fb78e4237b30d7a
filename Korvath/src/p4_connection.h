#pragma once

#include "korvath/p4_error.h"
#include "p4_output.h"
#include "process_runner.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct P4Settings {
    std::string port;
    std::string user;
    std::string password;
    std::string client;
};

// One p4 command: its name, its flags and its file arguments (already in p4's syntax).
struct P4Command {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::string> files;
};

// How the layer talks to p4: builds the argument vector (global options, then the command),
// runs it, reads the machine output and turns every failure into a P4Error that names the
// command. Immutable after construction, so one instance serves any number of threads.
class P4Connection {
public:
    explicit P4Connection(P4Settings settings);

    const P4Settings& settings() const;

    // p4 <globals> -ztag -Mj <command>; parse reads the records and may throw
    // P4OutputError, which is reported with the command like p4's own errors.
    template <class Parse>
    auto runTagged(const P4Command& command, Parse parse) const -> decltype(parse(P4Output {}));

    // p4 <globals> <command> in plain-text mode, with input on standard input; parse reads
    // standard output. For `change -i` (forms are read as text) and `tickets`.
    template <class Parse>
    auto runText(const P4Command& command, const std::optional<std::string>& input, Parse parse) const
        -> decltype(parse(std::string {}));

    // {"-c", "7", "-f", ""} -> -c 7 -f. Throws std::invalid_argument for an odd count or a
    // flag that is not one.
    static std::vector<std::string> flagArgs(std::initializer_list<std::string> options);

private:
    class Invocation;

    P4Output execute(const Invocation& invocation) const;
    std::string executeText(const Invocation& invocation, const std::optional<std::string>& input) const;

    P4Settings settings_;
    ProcessRunner runner_;
};

// The argument vector of one run; a long file list goes through an argument file (-x) that
// lives as long as the invocation.
class P4Connection::Invocation {
public:
    Invocation(const P4Settings& settings, const P4Command& command, bool tagged);
    ~Invocation();
    Invocation(const Invocation&) = delete;
    Invocation& operator=(const Invocation&) = delete;

    const std::vector<std::string>& argv() const { return argv_; }
    // The command as shown in errors: "p4 -p ... opened -c 7", without the password.
    const std::string& text() const { return text_; }

private:
    std::vector<std::string> argv_;
    std::string text_;
    std::string args_file_;
};

template <class Parse>
auto P4Connection::runTagged(const P4Command& command, Parse parse) const -> decltype(parse(P4Output {}))
{
    Invocation invocation(settings_, command, true);
    P4Output output = execute(invocation);
    try {
        return parse(output);
    } catch (const P4NotOpenedOutput& e) {
        throw P4FilesNotOpenedError(e.lines(), invocation.text());
    } catch (const P4OutputError& e) {
        throw P4Error(e.what(), invocation.text());
    }
}

template <class Parse>
auto P4Connection::runText(const P4Command& command, const std::optional<std::string>& input,
    Parse parse) const -> decltype(parse(std::string {}))
{
    Invocation invocation(settings_, command, false);
    std::string out = executeText(invocation, input);
    try {
        return parse(out);
    } catch (const P4OutputError& e) {
        throw P4Error(e.what(), invocation.text());
    }
}

} // namespace velmora
