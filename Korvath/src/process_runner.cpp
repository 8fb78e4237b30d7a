#include "process_runner.h"

#include "korvath/interrupt.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora {

namespace {

    // The process-wide interrupt: a flag, and a pipe that is written once and never drained, so
    // that every poll of every run, now and later, wakes at once. Lock-free atomics keep the
    // trigger async-signal-safe.
    std::atomic<bool> interrupted { false };
    std::atomic<int> interrupt_write_fd { -1 };
    std::atomic<int> interrupt_read_fd { -1 };
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

    // Created before a run checks the flag, so a trigger either finds the flag checked later
    // or a pipe to write to.
    int interruptReadFd()
    {
        static std::once_flag once;
        std::call_once(once, [] {
            int fds[2];
            if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
                interrupt_write_fd.store(fds[1]);
                interrupt_read_fd.store(fds[0]);
            }
        });
        return interrupt_read_fd.load();
    }

    std::string limitText(std::chrono::milliseconds limit)
    {
        if (limit.count() % 1000 == 0)
            return std::to_string(limit.count() / 1000) + " s";
        return std::to_string(limit.count()) + " ms";
    }

    // Milliseconds left until the deadline, for poll: 0 once it has passed.
    int remainingMs(std::chrono::steady_clock::time_point deadline)
    {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now())
                        .count();
        // Rounded up, so that a poll never wakes just before the deadline and spins.
        return static_cast<int>(std::clamp<long long>(left + 1, 0, INT_MAX));
    }

    // Closes a descriptor when it goes out of scope, so no path through run() leaks one.
    class Fd {
    public:
        Fd() = default;
        explicit Fd(int fd)
            : fd_(fd)
        {
        }
        ~Fd() { reset(); }
        Fd(const Fd&) = delete;
        Fd& operator=(const Fd&) = delete;

        int get() const { return fd_; }
        void reset(int fd = -1)
        {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = fd;
        }

    private:
        int fd_ = -1;
    };

    std::string errnoText(const std::string& what, int error) { return what + ": " + std::strerror(error); }

    void setNonBlocking(int fd)
    {
        int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }

    bool isExecutableFile(const std::string& path)
    {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
    }

    // Reads what is available; returns false at end of file.
    bool drain(int fd, std::string& sink)
    {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                sink.append(buffer, static_cast<size_t>(n));
                continue;
            }
            if (n == 0)
                return false;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            return false;
        }
    }

    class SpawnActions {
    public:
        SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
        ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
        SpawnActions(const SpawnActions&) = delete;
        SpawnActions& operator=(const SpawnActions&) = delete;
        posix_spawn_file_actions_t* get() { return &actions_; }

    private:
        posix_spawn_file_actions_t actions_;
    };

    class SpawnAttributes {
    public:
        SpawnAttributes()
        {
            ::posix_spawnattr_init(&attributes_);
            // The child starts with default signal handling whatever the host program set.
            sigset_t defaults;
            sigemptyset(&defaults);
            sigaddset(&defaults, SIGPIPE);
            sigset_t empty;
            sigemptyset(&empty);
            ::posix_spawnattr_setsigdefault(&attributes_, &defaults);
            ::posix_spawnattr_setsigmask(&attributes_, &empty);
            ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        }
        ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
        SpawnAttributes(const SpawnAttributes&) = delete;
        SpawnAttributes& operator=(const SpawnAttributes&) = delete;
        posix_spawnattr_t* get() { return &attributes_; }

    private:
        posix_spawnattr_t attributes_;
    };

} // namespace

void InterruptP4Commands() noexcept
{
    interrupted.store(true);
    const int fd = interrupt_write_fd.load();
    if (fd >= 0) {
        const int saved_errno = errno;
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
        errno = saved_errno;
    }
}

ProcessRunner::ProcessRunner(std::string program, std::chrono::milliseconds limit)
    : program_(std::move(program))
    , limit_(limit)
{
}

std::string ProcessRunner::locate() const
{
    const char* raw = std::getenv("PATH");
    std::string path = raw ? raw : "";
    std::string searched;
    size_t start = 0;
    for (;;) {
        size_t end = path.find(':', start);
        std::string dir = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // An empty entry means the current directory, as for execvp.
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program_;
        if (isExecutableFile(candidate))
            return candidate;
        if (!searched.empty())
            searched += ", ";
        searched += dir.empty() ? "." : dir;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    throw ProcessError(
        program_ + " not found on PATH (searched: " + (path.empty() ? "PATH is empty" : searched) + ")");
}

ProcessResult ProcessRunner::run(
    const std::vector<std::string>& args, const std::optional<std::string>& input) const
{
    const std::string executable = locate();
    const int interrupt_fd = interruptReadFd();
    const std::string interrupted_text = program_ + " was stopped: the program is ending";
    if (interrupted.load())
        throw ProcessError(interrupted_text);
    const auto deadline = std::chrono::steady_clock::now() + limit_;

    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0)
        throw ProcessError(errnoText("cannot create a pipe for " + program_, errno));
    Fd out_read(out_pipe[0]);
    Fd out_write(out_pipe[1]);
    if (::pipe2(err_pipe, O_CLOEXEC) != 0)
        throw ProcessError(errnoText("cannot create a pipe for " + program_, errno));
    Fd err_read(err_pipe[0]);
    Fd err_write(err_pipe[1]);

    // Standard input is a socket so that writing to a child that has already exited gives
    // EPIPE (MSG_NOSIGNAL) instead of a SIGPIPE for the whole host process.
    Fd in_parent;
    Fd in_child;
    if (input) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            throw ProcessError(errnoText("cannot create a socket for " + program_, errno));
        in_parent.reset(pair[0]);
        in_child.reset(pair[1]);
    }

    SpawnActions actions;
    if (input)
        ::posix_spawn_file_actions_adddup2(actions.get(), in_child.get(), STDIN_FILENO);
    else
        ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(actions.get(), out_write.get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(actions.get(), err_write.get(), STDERR_FILENO);
    // Whatever the host opened without close-on-exec (a log file, a library's socket) stays
    // out of the child.
    ::posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
    SpawnAttributes attributes;

    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    int spawn_error
        = ::posix_spawn(&pid, executable.c_str(), actions.get(), attributes.get(), argv.data(), environ);
    if (spawn_error != 0)
        throw ProcessError(errnoText("cannot start " + executable, spawn_error));

    out_write.reset();
    err_write.reset();
    in_child.reset();
    setNonBlocking(out_read.get());
    setNonBlocking(err_read.get());

    ProcessResult result;
    size_t written = 0;
    if (input) {
        setNonBlocking(in_parent.get());
        if (input->empty())
            in_parent.reset();
    }

    // Kills and reaps the child, then reports why.
    auto stopChild = [pid](const std::string& why) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
        throw ProcessError(why);
    };
    const std::string expired_text
        = program_ + " did not finish within " + limitText(limit_) + " and was stopped";

    bool out_open = true;
    bool err_open = true;
    while (out_open || err_open) {
        pollfd fds[4];
        nfds_t count = 0;
        int out_index = -1;
        int err_index = -1;
        int in_index = -1;
        if (out_open) {
            out_index = static_cast<int>(count);
            fds[count++] = { out_read.get(), POLLIN, 0 };
        }
        if (err_open) {
            err_index = static_cast<int>(count);
            fds[count++] = { err_read.get(), POLLIN, 0 };
        }
        if (in_parent.get() >= 0) {
            in_index = static_cast<int>(count);
            fds[count++] = { in_parent.get(), POLLOUT, 0 };
        }
        if (interrupt_fd >= 0)
            fds[count++] = { interrupt_fd, POLLIN, 0 };
        const int timeout = remainingMs(deadline);
        if (timeout == 0)
            stopChild(expired_text);
        if (::poll(fds, count, timeout) < 0) {
            if (errno == EINTR)
                continue;
            // Without poll the pipes cannot be drained; do not leave the child behind.
            stopChild(errnoText("cannot read the output of " + executable, errno));
        }
        if (interrupted.load())
            stopChild(interrupted_text);
        if (out_index >= 0 && fds[out_index].revents != 0)
            out_open = drain(out_read.get(), result.out);
        if (err_index >= 0 && fds[err_index].revents != 0)
            err_open = drain(err_read.get(), result.err);
        if (in_index >= 0 && fds[in_index].revents != 0) {
            ssize_t n = ::send(in_parent.get(), input->data() + written, input->size() - written,
                MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                written += static_cast<size_t>(n);
            bool failed = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
            // Closing our end is the child's end of file; a child that stopped reading
            // simply gets no more.
            if (failed || written == input->size())
                in_parent.reset();
        }
    }
    in_parent.reset();

    // A child that closed its output normally exits at once, but may not have been marked
    // as ended yet: the wait wakes on its end through a process descriptor (a tick of 20 ms
    // held every p4 call up that lost the race, where the kernel has no such descriptor).
    // It stays bounded and interruptible all the same.
    Fd exit_fd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0) {
            if (errno == EINTR)
                continue;
            throw ProcessError(errnoText("cannot wait for " + executable, errno));
        }
        if (interrupted.load())
            stopChild(interrupted_text);
        const int timeout = remainingMs(deadline);
        if (timeout == 0)
            stopChild(expired_text);
        pollfd wake[2];
        nfds_t count = 0;
        if (exit_fd.get() >= 0)
            wake[count++] = { exit_fd.get(), POLLIN, 0 };
        if (interrupt_fd >= 0)
            wake[count++] = { interrupt_fd, POLLIN, 0 };
        ::poll(wake, count, exit_fd.get() >= 0 ? timeout : std::min(timeout, 20));
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.term_signal = WTERMSIG(status);
    }
    return result;
}

} // namespace velmora
