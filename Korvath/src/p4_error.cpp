#include "korvath/p4_error.h"

namespace velmora {

P4Error::P4Error(const std::string& message, const std::string& command)
    : std::runtime_error(command.empty() ? message : message + " [" + command + "]")
    , message_(message)
    , command_(command)
{
}

const std::string& P4Error::message() const noexcept { return message_; }

const std::string& P4Error::command() const noexcept { return command_; }

} // namespace velmora
