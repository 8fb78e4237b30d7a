#include "wait_until.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace velmora {

bool waitUntil(const std::function<bool()>& condition, int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
        // Queued signals and QProcess's news of its child arrive through the event loop.
        QCoreApplication::processEvents();
    }
    return true;
}

} // namespace velmora
