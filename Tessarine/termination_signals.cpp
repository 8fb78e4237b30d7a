#include "termination_signals.h"

#include "http/http_client.h"
#include "korvath/interrupt.h"
#include "logger/logger.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace velmora {
namespace {

    // Close-on-exec, so that no p4 child inherits it.
    int signal_pipe[2] = { -1, -1 };
    std::atomic<bool> signalled { false };
    static_assert(std::atomic<bool>::is_always_lock_free);

    // Only async-signal-safe work here: the event loop does the rest.
    void onSignal(int signal_number)
    {
        if (signalled.exchange(true))
            ::_exit(128 + signal_number);
        const int saved_errno = errno;
        // A blocking call on any thread must not hold the teardown up.
        InterruptP4Commands();
        http::interruptRequests();
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(signal_pipe[0], &byte, 1);
        errno = saved_errno;
    }

    // On the GUI thread: a box shown by start-up runs its own loop, which must end too.
    void leaveEveryLoop()
    {
        Logger::logInfo("A termination signal arrived: the program ends.");
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
        QCoreApplication::exit(0);
    }

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signal_pipe) != 0)
        return;
    notifier_ = new QSocketNotifier(signal_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [] {
        char byte = 0;
        [[maybe_unused]] const auto read_bytes = ::read(signal_pipe[1], &byte, 1);
        leaveEveryLoop();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool TerminationSignals::requested() { return signalled.load(); }

} // namespace velmora
