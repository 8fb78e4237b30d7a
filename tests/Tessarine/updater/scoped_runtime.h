#pragma once

#include "updater/objc_runtime.h"

namespace velmora::objc {

// Installs a runtime for the life of a test and puts the previous one back.
class ScopedRuntime {
public:
    explicit ScopedRuntime(Runtime* runtime) : previous_(installRuntime(runtime)) {}
    ~ScopedRuntime() { installRuntime(previous_); }
    ScopedRuntime(const ScopedRuntime&) = delete;
    ScopedRuntime& operator=(const ScopedRuntime&) = delete;

private:
    Runtime* previous_;
};

} // namespace velmora::objc
