#pragma once

#include <cstdint>
#include <variant>

namespace velmora::objc {

// An object handle as the object runtime hands it out; kNil is the null object.
enum class Id : std::uintptr_t {};
inline constexpr Id kNil {};

// Whom a message goes to: a class, named, or an object.
class Receiver {
public:
    // Implicit, so that a message to an object reads like one: send(updater, ...).
    Receiver(Id object) : object_(object) {}
    static Receiver classNamed(const char* name);

    bool isClass() const { return class_name_ != nullptr; }
    const char* className() const { return class_name_; }
    Id object() const { return object_; }

private:
    Receiver() = default;

    const char* class_name_ = nullptr;
    Id object_ = kNil;
};

// The one argument a message may carry: none, an object, or a NUL-terminated
// UTF-8 C string.
using Argument = std::variant<std::monostate, Id, const char*>;

// The few object-runtime calls that the update glue makes. On macOS they would
// be objc_msgSend, objc_retain, objc_release, objc_alloc_init and
// NSApplicationLoad; here a runtime of ours answers them. A message to nil
// returns nil and does nothing.
class Runtime {
public:
    virtual ~Runtime() = default;

    virtual Id send(const Receiver& receiver, const char* selector, const Argument& argument) = 0;
    virtual Id retain(Id object) = 0;
    virtual void release(Id object) = 0;
    virtual Id allocInit(const char* class_name) = 0;
    virtual bool loadApplication() = 0;
};

// The runtime the glue talks to: the process-wide one unless another was installed.
Runtime& runtime();

// Makes `replacement` the runtime the glue talks to (nullptr: the process-wide
// one again) and returns the one installed before (nullptr when that was the
// process-wide one). Call it on the thread that runs the glue.
Runtime* installRuntime(Runtime* replacement);

} // namespace velmora::objc
