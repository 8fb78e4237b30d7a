#pragma once

#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace velmora::updater {

struct PendingCalls;

// Carries calls from worker threads to the thread of a receiver object, through
// that thread's event loop. A worker hands its call over whole: whether it
// runs or is dropped, it is destroyed on the receiver's thread. The mailbox
// closes when the receiver's owner says so (close(), before the receiver is
// destroyed) and when the application shuts down, so that a worker that
// finishes late touches neither. Shared by the receiver's owner and its workers.
class ResultMailbox {
public:
    // Needs a QCoreApplication; call on the receiver's thread.
    explicit ResultMailbox(QObject* receiver);
    ResultMailbox(const ResultMailbox&) = delete;
    ResultMailbox& operator=(const ResultMailbox&) = delete;

    // Queues the call for the receiver's thread; false when the mailbox or
    // the application has closed, and the call is dropped.
    bool post(std::function<void()> call);
    void close();

private:
    std::mutex mutex_;
    std::shared_ptr<PendingCalls> pending_;
    QObject* courier_; // a child of the receiver that runs the calls
};

} // namespace velmora::updater
