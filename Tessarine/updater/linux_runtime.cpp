#include "updater/linux_runtime.h"

#include "logger/logger.h"

#include <QStringDecoder>
#include <QUrl>

#include <cstring>
#include <utility>

namespace velmora::objc {
namespace {

bool named(const char* text, const char* expected)
{
    return text && std::strcmp(text, expected) == 0;
}

const char* printable(const char* text)
{
    return text ? text : "(null)";
}

void warnUnrecognized(const QString& receiver, const char* selector)
{
    Logger::logWarning(QString("[ObjC]%1 does not recognise the selector %2; answering nil.")
                           .arg(receiver, QString::fromUtf8(printable(selector))));
}

QString describe(Id object)
{
    return QString("object #%1").arg(static_cast<std::uintptr_t>(object));
}

// Foundation gives nil for bytes that are not UTF-8.
bool decodeUtf8(const char* bytes, QString* text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder(QByteArrayView(bytes, static_cast<qsizetype>(std::strlen(bytes))));
    return !decoder.hasError();
}

} // namespace

LinuxRuntime::LinuxRuntime(updater::UpdateCheckSettings settings)
    : updater_(std::move(settings))
{
}

LinuxRuntime::~LinuxRuntime() = default;

Id LinuxRuntime::send(const Receiver& receiver, const char* selector, const Argument& argument)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (receiver.isClass())
        return sendToClass(receiver.className(), selector, argument);
    if (receiver.object() == kNil)
        return kNil;
    return sendToObject(receiver.object(), selector, argument);
}

Id LinuxRuntime::sendToClass(const char* class_name, const char* selector, const Argument& argument)
{
    if (named(class_name, "SUUpdater") && named(selector, "sharedUpdater")) {
        // The class keeps one reference for good: the shared updater is not
        // the caller's to free.
        if (shared_updater_ == kNil)
            shared_updater_ = create(Object(Kind::Updater));
        return shared_updater_;
    }
    if (named(class_name, "NSString") && named(selector, "stringWithUTF8String:")) {
        const char* const* bytes = std::get_if<const char*>(&argument);
        if (!bytes || !*bytes) {
            Logger::logWarning("[ObjC]+[NSString stringWithUTF8String:] needs a C string; answering nil.");
            return kNil;
        }
        QString text;
        if (!decodeUtf8(*bytes, &text))
            return kNil;
        return autorelease(create(Object(Kind::String, text)));
    }
    if (named(class_name, "NSURL") && named(selector, "URLWithString:")) {
        const Object* string = objectArgument(argument, Kind::String, "+[NSURL URLWithString:]", "an NSString");
        if (!string)
            return kNil;
        // Like Foundation: text that is no well-formed address gives nil.
        const QUrl url(string->text, QUrl::StrictMode);
        if (string->text.isEmpty() || !url.isValid())
            return kNil;
        return autorelease(create(Object(Kind::Url, string->text)));
    }
    warnUnrecognized(QString("Class %1").arg(QString::fromUtf8(printable(class_name))), selector);
    return kNil;
}

Id LinuxRuntime::sendToObject(Id receiver, const char* selector, const Argument& argument)
{
    Object* object = find(receiver);
    if (!object) {
        Logger::logWarning(QString("[ObjC]Message %1 sent to a freed %2; answering nil.")
                               .arg(QString::fromUtf8(printable(selector)), describe(receiver)));
        return kNil;
    }
    if (object->kind == Kind::Updater && named(selector, "setFeedURL:")) {
        const Object* url = objectArgument(argument, Kind::Url, "-[SUUpdater setFeedURL:]", "an NSURL");
        updater_.setFeedUrl(url ? url->text : QString());
        return kNil;
    }
    if (object->kind == Kind::Updater && named(selector, "checkForUpdatesInBackground")) {
        updater_.checkInBackground();
        return kNil;
    }
    warnUnrecognized(describe(receiver), selector);
    return kNil;
}

// nil, or no argument, is nil; anything but a live object of the kind is a
// fault, taken as nil.
const LinuxRuntime::Object* LinuxRuntime::objectArgument(
    const Argument& argument, Kind kind, const char* message, const char* expected)
{
    const Id* id = std::get_if<Id>(&argument);
    if (std::holds_alternative<std::monostate>(argument) || (id && *id == kNil))
        return nullptr;
    const Object* object = id ? find(*id) : nullptr;
    if (object && object->kind == kind)
        return object;
    Logger::logWarning(QString("[ObjC]%1 needs %2; taking nil.").arg(message, expected));
    return nullptr;
}

Id LinuxRuntime::retain(Id object)
{
    if (object == kNil)
        return kNil;
    std::lock_guard<std::mutex> lock(mutex_);
    Object* found = find(object);
    if (!found) {
        Logger::logWarning(QString("[ObjC]Retain of a freed %1; answering nil.").arg(describe(object)));
        return kNil;
    }
    ++found->retain_count;
    return object;
}

void LinuxRuntime::release(Id object)
{
    if (object == kNil)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    releaseLocked(object);
}

void LinuxRuntime::releaseLocked(Id object)
{
    Object* found = find(object);
    if (!found) {
        Logger::logWarning(QString("[ObjC]Release of a freed %1 ignored.").arg(describe(object)));
        return;
    }
    if (--found->retain_count > 0)
        return;
    if (found->kind == Kind::Pool) {
        drainPool(object);
        return;
    }
    if (object == shared_updater_)
        shared_updater_ = kNil;
    objects_.erase(static_cast<std::uintptr_t>(object));
}

// Releasing a pool also drains the pools opened after it on its thread.
void LinuxRuntime::drainPool(Id pool)
{
    const std::thread::id thread = find(pool)->pool_thread;
    std::vector<Id>& stack = pool_stacks_[thread];
    Id drained = kNil;
    while (drained != pool && !stack.empty()) {
        drained = stack.back();
        stack.pop_back();
        const std::vector<Id> contents = std::move(find(drained)->autoreleased);
        objects_.erase(static_cast<std::uintptr_t>(drained));
        for (Id autoreleased : contents)
            releaseLocked(autoreleased);
    }
    if (stack.empty())
        pool_stacks_.erase(thread);
}

Id LinuxRuntime::allocInit(const char* class_name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!named(class_name, "NSAutoreleasePool")) {
        warnUnrecognized(QString("Class %1").arg(QString::fromUtf8(printable(class_name))), "alloc/init");
        return kNil;
    }
    Object pool(Kind::Pool);
    pool.pool_thread = std::this_thread::get_id();
    const Id id = create(std::move(pool));
    pool_stacks_[std::this_thread::get_id()].push_back(id);
    return id;
}

bool LinuxRuntime::loadApplication()
{
    std::lock_guard<std::mutex> lock(mutex_);
    // Qt's application object already stands for the Cocoa application here.
    application_loaded_ = true;
    return true;
}

std::size_t LinuxRuntime::liveObjectCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return objects_.size();
}

bool LinuxRuntime::applicationLoaded() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return application_loaded_;
}

Id LinuxRuntime::create(Object object)
{
    const Id id { next_id_++ };
    objects_.emplace(static_cast<std::uintptr_t>(id), std::move(object));
    return id;
}

Id LinuxRuntime::autorelease(Id object)
{
    const auto stack = pool_stacks_.find(std::this_thread::get_id());
    if (stack != pool_stacks_.end() && !stack->second.empty())
        find(stack->second.back())->autoreleased.push_back(object);
    return object;
}

LinuxRuntime::Object* LinuxRuntime::find(Id object)
{
    const auto found = objects_.find(static_cast<std::uintptr_t>(object));
    return found == objects_.end() ? nullptr : &found->second;
}

} // namespace velmora::objc
