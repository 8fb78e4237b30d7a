#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// A p4 command that did not succeed. what() is p4's own message followed by the command in
// brackets, e.g. "Change 99 unknown. [p4 -p ssl:perforce:1666 ... describe -S -s 99]".
// The command never shows a password.
class P4Error : public std::runtime_error {
public:
    P4Error(const std::string& message, const std::string& command);
};

// Files named to be moved into a change are not opened in the workspace. lines() holds p4's
// own line for each, e.g. "/ws/b.c - file(s) not opened on this client."; the message is
// those lines, one per line.
class P4FilesNotOpenedError : public P4Error {
public:
    P4FilesNotOpenedError(std::vector<std::string> lines, const std::string& command);

    const std::vector<std::string>& lines() const noexcept;

private:
    std::vector<std::string> lines_;
};

} // namespace velmora
