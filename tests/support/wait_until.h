#pragma once

#include <functional>

namespace velmora {

// Polls `condition` until it holds or `timeout_ms` has passed, running the thread's
// events in between; true when it held.
bool waitUntil(const std::function<bool()>& condition, int timeout_ms = 20000);

} // namespace velmora
