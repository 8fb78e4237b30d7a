#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmora {

// Turns SIGINT and SIGTERM into a quit of the event loop, so that a terminal's
// Ctrl+C or a session's end winds the program down through main's normal
// teardown (worker joined, log closed) instead of killing it mid-step.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace velmora
