#pragma once

// Test support for code that runs `p4`: a throw-away stand-in depot.
//
//   velmora::StandInDepot depot;                  // temp state dir, env set for this process
//   int change = depot.addPendingChange("Fix the build", { depot.file("src/a.c", 3) });
//   velmora::Repository repo(depot.port().c_str(), depot.user().c_str(), "", depot.client().c_str());
//   ... run the code under test ...
//   EXPECT_EQ(depot.commands().back(), (std::vector<std::string>{ "submit", "-e", std::to_string(change) }));
//   EXPECT_EQ(depot.submitted().size(), 1u);
//
// The constructor creates a temporary state directory with one stream workspace (defaults
// below), sets STANDIN_P4_STATE to it and puts the stand-in's bin directory first on PATH;
// the destructor restores both variables and removes the directory. Use one StandInDepot at
// a time per process (the environment is process-wide); set it up before starting threads.
//
// Defaults: port "localhost:1666", user "tester", workspace "tester-ws" rooted at
// <state dir>/ws, stream "//streams/main" mapped from depot "//streams/main/...", ticket
// kDefaultTicket for tester@localhost:1666, next change number 100.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace velmora {

struct StandInFile {
    std::string depot_path; // depot syntax, escaped: "//streams/main/src/a%40b.c"
    int rev = 1; // 0: none (an add)
    std::string action = "edit";
    std::string type = "text";
    std::string client_path; // "//tester-ws/src/a%40b.c"; filled by file()
    std::string local_path; // "<root>/src/a@b.c"; filled by file()
    std::string change; // opened(): "default" or the number
};

struct StandInTicket {
    std::string port;
    std::string user;
    std::string ticket;
};

struct StandInSubmitted {
    int change = 0; // final number
    int submitted_from = 0; // pending number before a rename
    std::string description;
    std::vector<StandInFile> files;
};

class StandInDepot {
public:
    static constexpr const char* kDefaultTicket = "9F3C1A0B5D7E4C2A8B6F0D1E3A5C7B9D";

    StandInDepot();
    ~StandInDepot();
    StandInDepot(const StandInDepot&) = delete;
    StandInDepot& operator=(const StandInDepot&) = delete;

    static std::string binDir();
    const std::string& stateDir() const { return dir_; }

    std::string port() const;
    std::string user() const;
    std::string client() const;
    std::string root() const;
    std::string stream() const;

    // Changing the server and workspace. setStream("") makes a classic workspace.
    void setPort(const std::string& port);
    void setUser(const std::string& user);
    void setStream(const std::string& stream);
    void setLoggedIn(bool logged_in);
    void setTickets(const std::vector<StandInTicket>& tickets);
    void setNextChange(int number);

    // A file of the workspace by its path below the root ("src/a@b.c"), with its depot,
    // client and local paths filled in (escaped where p4 escapes).
    StandInFile file(const std::string& relative, int rev = 1, const std::string& action = "edit") const;

    // Seeds a pending change (numbered from the next change number) with these opened and
    // shelved files; an edited file's revision also becomes its head revision.
    int addPendingChange(const std::string& description, const std::vector<StandInFile>& opened,
        const std::vector<StandInFile>& shelved = {});
    // Opens files in the default changelist.
    void openInDefault(const std::vector<StandInFile>& files);
    void setHeadRevision(const std::string& depot_path, int rev, const std::string& action = "edit");

    // Faults: the command (by name: "shelve", "submit", ...) fails with this error record, or
    // writes exactly this output. They stay until cleared.
    void injectFault(const std::string& command, const std::string& error_text);
    void injectRawOutput(
        const std::string& command, const std::string& out, const std::string& err, int exit_code);
    // The command stalls like a dead server (see main.cpp of the stand-in), or answers late.
    void injectHang(const std::string& command);
    void injectDelay(const std::string& command, int milliseconds);
    void clearFaults();

    // Writes a workspace file (its local path), creating its directories.
    void writeLocalFile(const StandInFile& file, const std::string& content) const;

    // Every invocation's arguments (program name left out), oldest first.
    std::vector<std::vector<std::string>> journal() const;
    // The same without the global options: {"opened", "-c", "7"}. Arguments passed in an
    // argument file (-x) are not in the journal.
    std::vector<std::vector<std::string>> commands() const;
    void clearJournal();

    // Reading the depot back.
    bool hasChange(int change) const;
    std::string description(int change) const; // as stored: lines joined by \n, \n at the end
    std::string changeStatus(int change) const; // "pending", "submitted" or "" when unknown
    std::vector<StandInFile> opened(const std::string& change) const; // "default" or a number
    std::vector<StandInFile> shelved(int change) const;
    std::vector<StandInSubmitted> submitted() const;
    int headRevision(const std::string& depot_path) const; // 0 when none
    int haveRevision(const std::string& depot_path) const; // 0 when not synced

    nlohmann::json state() const;
    void setState(const nlohmann::json& state);

private:
    StandInFile fromState(const nlohmann::json& entry) const;
    void setFault(const std::string& command, const nlohmann::json& fault);

    std::string dir_;
    std::string old_path_;
    std::string old_state_;
    bool had_path_ = false;
    bool had_state_ = false;
};

} // namespace velmora
