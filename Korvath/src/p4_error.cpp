#include "korvath/p4_error.h"

#include <utility>

namespace velmora {

namespace {

    std::string joinedLines(const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += (text.empty() ? "" : "\n") + line;
        return text;
    }

} // namespace

P4Error::P4Error(const std::string& message, const std::string& command)
    : std::runtime_error(command.empty() ? message : message + " [" + command + "]")
{
}

P4FilesNotOpenedError::P4FilesNotOpenedError(std::vector<std::string> lines, const std::string& command)
    : P4Error(joinedLines(lines), command)
    , lines_(std::move(lines))
{
}

const std::vector<std::string>& P4FilesNotOpenedError::lines() const noexcept { return lines_; }

} // namespace velmora
