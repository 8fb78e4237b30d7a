#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmora {

// Ends the program on SIGINT and SIGTERM at any moment, through main's teardown (worker
// joined, log closed). The handler itself stops every running p4 command and HTTP request
// (async-signal-safe interrupts of those layers) and wakes the event loop, where a modal box
// is closed and every loop is left; main skips what is left of start-up. A second signal
// while that teardown hangs ends the process at once (exit code 128 + signal).
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // A termination signal has arrived.
    static bool requested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace velmora
