#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// A p4 command that did not succeed. what() is p4's own message followed by the command in
// brackets, e.g. "Change 99 unknown. [p4 -p ssl:perforce:1666 ... describe -S -s 99]".
// The command never shows a password.
class P4Error : public std::runtime_error {
public:
    P4Error(const std::string& message, const std::string& command);

    const std::string& message() const noexcept;
    const std::string& command() const noexcept;

private:
    std::string message_;
    std::string command_;
};

} // namespace velmora
