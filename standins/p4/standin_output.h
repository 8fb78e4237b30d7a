#pragma once

#include "standin_state.h"

#include <string>

namespace velmora {

// Writes what the real client writes: under -ztag -Mj one compact JSON object per line on
// standard output (tagged records, {"data","level"} infos, {"data","generic","severity"}
// warnings and errors); in text mode infos on standard output and warnings/errors on
// standard error. Any error makes the exit code 1.
class StandInOutput {
public:
    explicit StandInOutput(bool tagged);

    bool tagged() const { return tagged_; }
    void record(const Json& fields);
    void info(const std::string& text);
    void warning(const std::string& text, int generic = kGenericEmpty);
    void error(const std::string& text, int generic = 0);
    int exitCode() const { return exit_code_; }

private:
    void message(const std::string& text, int severity, int generic);

    bool tagged_;
    int exit_code_ = 0;
};

} // namespace velmora
