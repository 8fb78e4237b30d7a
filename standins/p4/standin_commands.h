#pragma once

#include "standin_output.h"
#include "standin_state.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace velmora {

// What one command sees: the depot, where to write, and the global options.
struct StandInContext {
    StandInState& state;
    StandInOutput& out;
    std::string user;
    std::string client;
    std::string input; // standard input, for `change -i`
};

// A command's flags, checked against the ones the command takes.
struct StandInFlags {
    std::map<std::string, std::string> values;
    std::set<std::string> switches;
    std::vector<std::string> files;

    bool has(const std::string& flag) const { return values.count(flag) || switches.count(flag); }
    std::string value(const std::string& flag) const;
};

// Throws StandInError "Invalid option: -q." for a flag the command does not take.
StandInFlags parseFlags(const std::vector<std::string>& args, const std::set<std::string>& with_value,
    const std::set<std::string>& switches);

// Runs one command (anything but `tickets`); throws StandInError when it fails as a whole.
void runCommand(const std::string& name, const std::vector<std::string>& args, StandInContext& context);

// Per-area commands.
void runOpened(const StandInFlags& flags, StandInContext& context);
void runReopen(const StandInFlags& flags, StandInContext& context);
void runRevert(const StandInFlags& flags, StandInContext& context);
void runSync(const StandInFlags& flags, StandInContext& context);
void runWhere(const StandInFlags& flags, StandInContext& context);
void runChange(const StandInFlags& flags, StandInContext& context);
void runDescribe(const StandInFlags& flags, StandInContext& context);
void runShelve(const StandInFlags& flags, StandInContext& context);
void runSubmit(const StandInFlags& flags, StandInContext& context);

// "3" for 3, "none" for 0.
std::string revText(int rev);

} // namespace velmora
