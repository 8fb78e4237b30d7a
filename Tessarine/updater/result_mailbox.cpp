#include "updater/result_mailbox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <deque>
#include <memory>
#include <utility>

namespace velmora::updater {

// Calls wait here under a plain mutex; the posted event only wakes the
// receiver's thread to run them. The hand-over itself is thus ordered by a
// lock that thread checkers can see, not by Qt's internal queue.
struct PendingCalls {
    std::mutex mutex;
    std::deque<std::function<void()>> calls;
};

namespace {

// Which application's shut-down is being watched; nullptr once it has begun.
// Never destroyed, so a worker still running at exit finds it intact.
struct ApplicationWatch {
    std::mutex mutex;
    QCoreApplication* running = nullptr;
};

ApplicationWatch& watch()
{
    static auto* instance = new ApplicationWatch();
    return *instance;
}

// Runs first in the application's destructor, before Qt takes the event
// dispatcher down: from here on nothing is posted to the main thread.
void applicationShuttingDown()
{
    std::lock_guard<std::mutex> lock(watch().mutex);
    watch().running = nullptr;
}

const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Qt deletes pending wake-up events with their receiver, so calls for a
// receiver that has gone never run.
class Courier : public QObject {
public:
    Courier(QObject* receiver, std::shared_ptr<PendingCalls> pending)
        : QObject(receiver)
        , pending_(std::move(pending))
    {
    }
    bool event(QEvent* event) override
    {
        if (event->type() != kCallEvent)
            return QObject::event(event);
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(pending_->mutex);
            if (pending_->calls.empty())
                return true;
            call = std::move(pending_->calls.front());
            pending_->calls.pop_front();
        }
        call();
        return true;
    }

private:
    std::shared_ptr<PendingCalls> pending_;
};

} // namespace

ResultMailbox::ResultMailbox(QObject* receiver)
    : pending_(std::make_shared<PendingCalls>())
    , courier_(new Courier(receiver, pending_))
{
    std::lock_guard<std::mutex> lock(watch().mutex);
    QCoreApplication* application = QCoreApplication::instance();
    if (application && watch().running != application) {
        watch().running = application;
        qAddPostRoutine(applicationShuttingDown);
    }
}

bool ResultMailbox::post(std::function<void()> call)
{
    // Lock order: the watch, then this mailbox; close() and the shut-down
    // each take one of them, so neither can slip between check and post.
    std::lock_guard<std::mutex> watch_lock(watch().mutex);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!courier_ || !watch().running)
        return false;
    {
        std::lock_guard<std::mutex> pending_lock(pending_->mutex);
        pending_->calls.push_back(std::move(call));
    }
    QCoreApplication::postEvent(courier_, new QEvent(kCallEvent));
    return true;
}

void ResultMailbox::close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    courier_ = nullptr;
}

} // namespace velmora::updater
