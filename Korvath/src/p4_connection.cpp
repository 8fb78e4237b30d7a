#include "p4_connection.h"

#include "korvath/p4_limits.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include <unistd.h>

namespace velmora {

namespace {

    // File arguments above this many bytes go through -x: Linux caps one argument at 128 KiB
    // and the whole vector with the environment at about 2 MiB.
    constexpr size_t kMaxInlineFileBytes = 64 * 1024;

    std::string writeArgsFile(const std::vector<std::string>& files)
    {
        std::string path = (std::filesystem::temp_directory_path() / "korvath-args-XXXXXX").string();
        int fd = ::mkstemp(path.data());
        if (fd < 0)
            throw std::runtime_error(
                std::string("cannot create an argument file for p4: ") + std::strerror(errno));
        std::string content;
        for (const std::string& file : files)
            content += file + "\n";
        size_t done = 0;
        while (done < content.size()) {
            ssize_t n = ::write(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                int error = errno;
                ::close(fd);
                ::unlink(path.c_str());
                throw std::runtime_error(
                    std::string("cannot write the argument file for p4: ") + std::strerror(error));
            }
            done += static_cast<size_t>(n);
        }
        ::close(fd);
        return path;
    }

} // namespace

P4Connection::Invocation::Invocation(const P4Settings& settings, const P4Command& command, bool tagged)
{
    std::vector<std::string> shown;
    auto global = [&](const char* flag, const std::string& value, bool secret) {
        if (value.empty())
            return;
        argv_.insert(argv_.end(), { flag, value });
        shown.insert(shown.end(), { flag, secret ? "***" : value });
    };
    global("-p", settings.port, false);
    global("-u", settings.user, false);
    global("-c", settings.client, false);
    global("-P", settings.password, true);
    // Every command is bounded by p4's own wait for the server; the runner's limit is the
    // backstop for a p4 that hangs anyway.
    const std::string max_wait = "-vnet.maxwait=" + std::to_string(kP4NetMaxWaitSeconds);
    argv_.push_back(max_wait);
    shown.push_back(max_wait);

    size_t file_bytes = 0;
    for (const std::string& file : command.files)
        file_bytes += file.size() + 1;
    const bool use_args_file = file_bytes > kMaxInlineFileBytes;
    if (use_args_file) {
        args_file_ = writeArgsFile(command.files);
        global("-x", args_file_, false);
    }

    std::vector<std::string> rest;
    if (tagged)
        rest.insert(rest.end(), { "-ztag", "-Mj" });
    rest.push_back(command.name);
    rest.insert(rest.end(), command.args.begin(), command.args.end());
    if (!use_args_file)
        rest.insert(rest.end(), command.files.begin(), command.files.end());
    argv_.insert(argv_.end(), rest.begin(), rest.end());
    shown.insert(shown.end(), rest.begin(), rest.end());

    text_ = "p4";
    for (const std::string& arg : shown)
        text_ += " " + arg;
}

P4Connection::Invocation::~Invocation()
{
    if (!args_file_.empty())
        ::unlink(args_file_.c_str());
}

P4Connection::P4Connection(P4Settings settings)
    : settings_(std::move(settings))
    , runner_("p4", std::chrono::seconds(kP4CommandLimitSeconds))
{
}

const P4Settings& P4Connection::settings() const { return settings_; }

P4Output P4Connection::execute(const Invocation& invocation) const
{
    ProcessResult result;
    try {
        result = runner_.run(invocation.argv());
    } catch (const ProcessError& e) {
        throw P4Error(e.what(), invocation.text());
    }
    P4Output output;
    try {
        output = parseOutputLines(result.out);
    } catch (const P4OutputError& e) {
        // A failed command may print plain text (a connection error) with nothing usable
        // on standard output; its own message says more than the parse error.
        const std::string err = trimmed(result.err);
        if ((result.exit_code != 0 || result.term_signal != 0) && !err.empty())
            throw P4Error(err, invocation.text());
        throw P4Error(e.what(), invocation.text());
    }
    if (auto failure = failureText(output, result.exit_code, result.term_signal, result.err))
        throw P4Error(*failure, invocation.text());
    return output;
}

std::string P4Connection::executeText(
    const Invocation& invocation, const std::optional<std::string>& input) const
{
    ProcessResult result;
    try {
        result = runner_.run(invocation.argv(), input);
    } catch (const ProcessError& e) {
        throw P4Error(e.what(), invocation.text());
    }
    if (auto failure = textFailureText(result.exit_code, result.term_signal, result.out, result.err))
        throw P4Error(*failure, invocation.text());
    return result.out;
}

std::vector<std::string> P4Connection::flagArgs(std::initializer_list<std::string> options)
{
    if (options.size() % 2 != 0)
        throw std::invalid_argument("p4 options come in pairs (flag, value or \"\"), got an odd number");
    std::vector<std::string> args;
    for (auto it = options.begin(); it != options.end(); it += 2) {
        const std::string& flag = *it;
        const std::string& value = *(it + 1);
        if (flag.size() < 2 || flag.front() != '-')
            throw std::invalid_argument("not a p4 flag: \"" + flag + "\"");
        args.push_back(flag);
        if (!value.empty())
            args.push_back(value);
    }
    return args;
}

} // namespace velmora
