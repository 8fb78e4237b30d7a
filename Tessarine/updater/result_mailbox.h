#pragma once

#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace velmora::updater {

struct PendingCalls;

// Carries calls from worker threads to the thread of a receiver object: a call
// waits in a locked queue and an event wakes the receiver's thread to run it.
// Calls never run once the receiver is gone; a dropped call is destroyed with
// the queue, on whichever side lets go of it last. The mailbox
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
