#pragma once

namespace velmora {

// Ends every running p4 command of the process at once (its process is killed and the call
// throws P4Error) and fails every later one the same way: for a program that is going away.
// There is no way back. Async-signal-safe, so a signal handler may call it.
void InterruptP4Commands() noexcept;

} // namespace velmora
