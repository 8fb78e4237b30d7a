#include "updater/objc_runtime.h"

#include "updater/linux_runtime.h"

#include <atomic>

namespace velmora::objc {
namespace {

std::atomic<Runtime*> installed_runtime { nullptr };

Runtime& processRuntime()
{
    // Never destroyed: the shared updater it holds lives until the process
    // ends, as the framework's does.
    static auto* process_runtime = new LinuxRuntime(updater::UpdateCheckSettings::forThisMachine());
    return *process_runtime;
}

} // namespace

Receiver Receiver::classNamed(const char* name)
{
    Receiver receiver;
    receiver.class_name_ = name;
    return receiver;
}

Runtime& runtime()
{
    Runtime* installed = installed_runtime.load();
    return installed ? *installed : processRuntime();
}

Runtime* installRuntime(Runtime* replacement)
{
    return installed_runtime.exchange(replacement);
}

} // namespace velmora::objc
