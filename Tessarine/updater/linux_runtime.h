#pragma once

#include "updater/background_updater.h"
#include "updater/objc_runtime.h"
#include "updater/update_check.h"

#include <QString>

#include <cstddef>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmora::objc {

// The object runtime on Linux, where neither the update framework nor Cocoa
// exists. It answers the glue's messages with objects of its own in the same
// roles: the shared updater (class SUUpdater, backed by a BackgroundUpdater),
// strings (NSString), addresses (NSURL) and autorelease pools
// (NSAutoreleasePool), with reference counts. Convenience constructors hand
// out autoreleased objects, freed when the innermost pool of the calling
// thread is released (without a pool they stay, as the framework's would).
// Faults that would crash a Cocoa program (an unknown selector, a message to a
// freed object, an argument of the wrong kind) are logged at WARN and answer
// nil.
class LinuxRuntime : public Runtime {
public:
    explicit LinuxRuntime(updater::UpdateCheckSettings settings);
    ~LinuxRuntime() override;
    LinuxRuntime(const LinuxRuntime&) = delete;
    LinuxRuntime& operator=(const LinuxRuntime&) = delete;

    Id send(const Receiver& receiver, const char* selector, const Argument& argument) override;
    Id retain(Id object) override;
    void release(Id object) override;
    Id allocInit(const char* class_name) override;
    bool loadApplication() override;

    // The C++ side of the shared updater, e.g. to follow its checks.
    updater::BackgroundUpdater& sharedUpdater() { return updater_; }
    std::size_t liveObjectCount() const;
    bool applicationLoaded() const;

private:
    enum class Kind { Updater, String, Url, Pool };
    struct Object {
        explicit Object(Kind object_kind, QString object_text = QString())
            : kind(object_kind), text(std::move(object_text)) {}

        Kind kind;
        long retain_count = 1;
        QString text;                   // String, Url
        std::thread::id pool_thread;    // Pool
        std::vector<Id> autoreleased;   // Pool
    };

    Id sendToClass(const char* class_name, const char* selector, const Argument& argument);
    Id sendToObject(Id receiver, const char* selector, const Argument& argument);
    const Object* objectArgument(const Argument& argument, Kind kind, const char* message, const char* expected);
    Id create(Object object);
    Id autorelease(Id object);
    Object* find(Id object);
    void releaseLocked(Id object);
    void drainPool(Id pool);

    updater::BackgroundUpdater updater_;
    mutable std::mutex mutex_;
    std::unordered_map<std::uintptr_t, Object> objects_;
    std::map<std::thread::id, std::vector<Id>> pool_stacks_;
    std::uintptr_t next_id_ = 1;
    Id shared_updater_ = kNil;
    bool application_loaded_ = false;
};

} // namespace velmora::objc
