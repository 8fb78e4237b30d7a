#include "updater/result_mailbox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <utility>

namespace velmora::updater {
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

class CallEvent : public QEvent {
public:
    explicit CallEvent(std::function<void()> call) : QEvent(kCallEvent), call_(std::move(call)) {}
    void run() { call_(); }

private:
    std::function<void()> call_;
};

// Qt deletes pending events with their receiver, on the receiver's thread:
// a call for a receiver that has gone is dropped there.
class Courier : public QObject {
public:
    explicit Courier(QObject* receiver) : QObject(receiver) {}

    bool event(QEvent* event) override
    {
        if (event->type() != kCallEvent)
            return QObject::event(event);
        static_cast<CallEvent*>(event)->run();
        return true;
    }
};

} // namespace

ResultMailbox::ResultMailbox(QObject* receiver)
    : courier_(new Courier(receiver))
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
    QCoreApplication::postEvent(courier_, new CallEvent(std::move(call)));
    return true;
}

void ResultMailbox::close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    courier_ = nullptr;
}

} // namespace velmora::updater
