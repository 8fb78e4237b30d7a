#pragma once

#include "korvath/p4_limits.h"
#include "korvath/repository.h"
#include "standin_depot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {

// A Repository on a fresh stand-in depot, as the program builds it (no password).
class RepositoryTest : public ::testing::Test {
protected:
    using Args = std::vector<std::string>;

    StandInDepot depot_;
    Repository repo_ { depot_.port().c_str(), depot_.user().c_str(), "", depot_.client().c_str() };

    // Every command is bounded by p4's own network wait.
    static std::string maxWait() { return "-vnet.maxwait=" + std::to_string(kP4NetMaxWaitSeconds); }

    // The argument vector the layer is expected to pass for a command, tagged or as text.
    static Args plain(const Args& command)
    {
        Args argv { "-p", "localhost:1666", "-u", "tester", "-c", "tester-ws", maxWait() };
        argv.insert(argv.end(), command.begin(), command.end());
        return argv;
    }
    static Args tagged(const Args& command)
    {
        Args argv { "-ztag", "-Mj" };
        argv.insert(argv.end(), command.begin(), command.end());
        return plain(argv);
    }

    Args lastCommand() const
    {
        auto commands = depot_.commands();
        return commands.empty() ? Args {} : commands.back();
    }

    static std::vector<std::string> depotPaths(const std::vector<FileSpec>& files)
    {
        std::vector<std::string> paths;
        for (const FileSpec& file : files)
            paths.push_back(file.GetDepotPath().GetPath());
        return paths;
    }

    static std::vector<std::string> depotPaths(const std::vector<StandInFile>& files)
    {
        std::vector<std::string> paths;
        for (const StandInFile& file : files)
            paths.push_back(file.depot_path);
        return paths;
    }
};

} // namespace velmora
