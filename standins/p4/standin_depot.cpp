#include "standin_depot.h"

#include "standin_state.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmora {

namespace fs = std::filesystem;

namespace {

    std::vector<std::string> readArray(const std::string& line)
    {
        return nlohmann::json::parse(line).get<std::vector<std::string>>();
    }

    void restore(const char* name, bool had, const std::string& value)
    {
        if (had)
            ::setenv(name, value.c_str(), 1);
        else
            ::unsetenv(name);
    }

} // namespace

StandInDepot::StandInDepot()
{
    std::string pattern = (fs::temp_directory_path() / "standin-p4-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("StandInDepot: cannot create a temporary directory");
    dir_ = pattern;
    fs::create_directories(fs::path(dir_) / "ws");
    StandInState::save(dir_, StandInState::defaults(dir_ + "/ws"));

    if (const char* path = std::getenv("PATH")) {
        had_path_ = true;
        old_path_ = path;
    }
    if (const char* state = std::getenv("STANDIN_P4_STATE")) {
        had_state_ = true;
        old_state_ = state;
    }
    ::setenv("STANDIN_P4_STATE", dir_.c_str(), 1);
    std::string path = binDir() + (had_path_ ? ":" + old_path_ : std::string());
    ::setenv("PATH", path.c_str(), 1);
}

StandInDepot::~StandInDepot()
{
    restore("PATH", had_path_, old_path_);
    restore("STANDIN_P4_STATE", had_state_, old_state_);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::string StandInDepot::binDir() { return STANDIN_P4_BIN_DIR; }

nlohmann::json StandInDepot::state() const { return StandInState::load(dir_); }

void StandInDepot::setState(const nlohmann::json& state) { StandInState::save(dir_, state); }

std::string StandInDepot::port() const { return state().value("port", ""); }

std::string StandInDepot::user() const { return state().value("user", ""); }

std::string StandInDepot::client() const { return state()["client"].value("name", ""); }

std::string StandInDepot::root() const { return state()["client"].value("root", ""); }

std::string StandInDepot::stream() const { return state()["client"].value("stream", ""); }

void StandInDepot::setPort(const std::string& port)
{
    nlohmann::json s = state();
    s["port"] = port;
    setState(s);
}

void StandInDepot::setUser(const std::string& user)
{
    nlohmann::json s = state();
    s["user"] = user;
    setState(s);
}

void StandInDepot::setStream(const std::string& stream)
{
    nlohmann::json s = state();
    s["client"]["stream"] = stream;
    setState(s);
}

void StandInDepot::setLoggedIn(bool logged_in)
{
    nlohmann::json s = state();
    s["logged_in"] = logged_in;
    setState(s);
}

void StandInDepot::setTickets(const std::vector<StandInTicket>& tickets)
{
    nlohmann::json s = state();
    s["tickets"] = nlohmann::json::array();
    for (const StandInTicket& ticket : tickets)
        s["tickets"].push_back(
            { { "port", ticket.port }, { "user", ticket.user }, { "ticket", ticket.ticket } });
    setState(s);
}

void StandInDepot::setNextChange(int number)
{
    nlohmann::json s = state();
    s["next_change"] = number;
    setState(s);
}

StandInFile StandInDepot::file(const std::string& relative, int rev, const std::string& action) const
{
    nlohmann::json s = state();
    StandInState paths(s);
    StandInFile file;
    file.depot_path = s["client"].value("depot_prefix", "") + escapePath(relative);
    file.client_path = paths.clientPathOf(file.depot_path);
    file.local_path = paths.localPathOf(file.depot_path);
    file.rev = rev;
    file.action = action;
    return file;
}

int StandInDepot::addPendingChange(const std::string& description, const std::vector<StandInFile>& opened,
    const std::vector<StandInFile>& shelved)
{
    nlohmann::json s = state();
    StandInState depot(s);
    int number = depot.takeChangeNumber();
    nlohmann::json change { { "change", number }, { "status", "pending" }, { "user", s.value("user", "") },
        { "client", s["client"].value("name", "") }, { "description", description + "\n" },
        { "jobs", nlohmann::json::array() }, { "shelved", nlohmann::json::array() } };
    for (const StandInFile& file : shelved)
        change["shelved"].push_back({ { "depotFile", file.depot_path }, { "rev", file.rev },
            { "action", file.action }, { "type", file.type } });
    s["changes"].push_back(change);
    setState(s);
    std::vector<StandInFile> files = opened;
    for (StandInFile& file : files)
        file.change = std::to_string(number);
    openInDefault(files);
    return number;
}

void StandInDepot::openInDefault(const std::vector<StandInFile>& files)
{
    nlohmann::json s = state();
    StandInState depot(s);
    for (const StandInFile& file : files) {
        std::string client_path
            = file.client_path.empty() ? depot.clientPathOf(file.depot_path) : file.client_path;
        std::string local_path
            = file.local_path.empty() ? depot.localPathOf(file.depot_path) : file.local_path;
        bool added = file.action == "add";
        s["opened"].push_back({ { "depotFile", file.depot_path }, { "clientFile", client_path },
            { "localFile", local_path }, { "rev", file.rev }, { "haveRev", added ? 0 : file.rev },
            { "action", file.action }, { "type", file.type },
            { "change", file.change.empty() ? std::string("default") : file.change } });
        if (!added && !s["head"].contains(file.depot_path))
            s["head"][file.depot_path] = { { "rev", file.rev }, { "action", "edit" }, { "change", 1 } };
    }
    setState(s);
}

void StandInDepot::setHeadRevision(const std::string& depot_path, int rev, const std::string& action)
{
    nlohmann::json s = state();
    s["head"][depot_path] = { { "rev", rev }, { "action", action }, { "change", 1 } };
    setState(s);
}

void StandInDepot::setFault(const std::string& command, const nlohmann::json& fault)
{
    fs::path path = fs::path(dir_) / "faults.json";
    nlohmann::json faults
        = fs::exists(path) ? nlohmann::json::parse(std::ifstream(path)) : nlohmann::json::object();
    faults[command] = fault;
    // Replaced whole, so that a p4 running meanwhile never reads half a file.
    const fs::path temp = fs::path(dir_) / "faults.json.tmp";
    std::ofstream(temp) << faults.dump();
    fs::rename(temp, path);
}

void StandInDepot::injectFault(const std::string& command, const std::string& error_text)
{
    setFault(command, error_text);
}

void StandInDepot::injectRawOutput(
    const std::string& command, const std::string& out, const std::string& err, int exit_code)
{
    setFault(command, { { "stdout", out }, { "stderr", err }, { "exit", exit_code } });
}

void StandInDepot::injectHang(const std::string& command) { setFault(command, { { "hang", true } }); }

void StandInDepot::injectDelay(const std::string& command, int milliseconds)
{
    setFault(command, { { "delay_ms", milliseconds } });
}

void StandInDepot::writeLocalFile(const StandInFile& file, const std::string& content) const
{
    fs::create_directories(fs::path(file.local_path).parent_path());
    std::ofstream(file.local_path, std::ios::binary | std::ios::trunc) << content;
}

void StandInDepot::clearFaults()
{
    std::error_code ignored;
    fs::remove(fs::path(dir_) / "faults.json", ignored);
}

std::vector<std::vector<std::string>> StandInDepot::journal() const
{
    std::vector<std::vector<std::string>> entries;
    std::ifstream in(fs::path(dir_) / "journal.jsonl");
    for (std::string line; std::getline(in, line);) {
        if (!line.empty())
            entries.push_back(readArray(line));
    }
    return entries;
}

std::vector<std::vector<std::string>> StandInDepot::commands() const
{
    std::vector<std::vector<std::string>> result;
    for (const std::vector<std::string>& argv : journal()) {
        size_t i = 0;
        while (i < argv.size()) {
            const std::string& arg = argv[i];
            if (arg == "-ztag" || arg == "-Mj" || (arg.compare(0, 2, "-v") == 0 && arg.size() > 2))
                ++i;
            else if (arg == "-p" || arg == "-u" || arg == "-c" || arg == "-P" || arg == "-x")
                i += 2;
            else
                break;
        }
        result.emplace_back(argv.begin() + static_cast<long>(std::min(i, argv.size())), argv.end());
    }
    return result;
}

void StandInDepot::clearJournal()
{
    std::error_code ignored;
    fs::remove(fs::path(dir_) / "journal.jsonl", ignored);
}

bool StandInDepot::hasChange(int change) const
{
    nlohmann::json s = state();
    return StandInState(s).findChange(change) != nullptr;
}

std::string StandInDepot::description(int change) const
{
    nlohmann::json s = state();
    nlohmann::json* entry = StandInState(s).findChange(change);
    return entry ? entry->value("description", "") : std::string();
}

std::string StandInDepot::changeStatus(int change) const
{
    nlohmann::json s = state();
    nlohmann::json* entry = StandInState(s).findChange(change);
    return entry ? entry->value("status", "") : std::string();
}

StandInFile StandInDepot::fromState(const nlohmann::json& entry) const
{
    StandInFile file;
    file.depot_path = entry.value("depotFile", "");
    file.rev = entry.value("rev", 0);
    file.action = entry.value("action", "");
    file.type = entry.value("type", "text");
    file.client_path = entry.value("clientFile", "");
    file.local_path = entry.value("localFile", "");
    file.change = entry.value("change", "");
    return file;
}

std::vector<StandInFile> StandInDepot::opened(const std::string& change) const
{
    std::vector<StandInFile> files;
    const nlohmann::json s = state();
    for (const nlohmann::json& entry : s["opened"]) {
        if (entry.value("change", "") == change)
            files.push_back(fromState(entry));
    }
    return files;
}

std::vector<StandInFile> StandInDepot::shelved(int change) const
{
    nlohmann::json s = state();
    nlohmann::json* entry = StandInState(s).findChange(change);
    std::vector<StandInFile> files;
    if (entry) {
        for (const nlohmann::json& file : entry->value("shelved", nlohmann::json::array()))
            files.push_back(fromState(file));
    }
    return files;
}

std::vector<StandInSubmitted> StandInDepot::submitted() const
{
    std::vector<StandInSubmitted> result;
    const nlohmann::json s = state();
    for (const nlohmann::json& entry : s["changes"]) {
        if (entry.value("status", "") != "submitted")
            continue;
        StandInSubmitted change;
        change.change = entry.value("change", 0);
        change.submitted_from = entry.value("submitted_from", change.change);
        change.description = entry.value("description", "");
        for (const nlohmann::json& file : entry.value("files", nlohmann::json::array()))
            change.files.push_back(fromState(file));
        result.push_back(change);
    }
    return result;
}

int StandInDepot::headRevision(const std::string& depot_path) const
{
    nlohmann::json s = state();
    return s["head"].contains(depot_path) ? s["head"][depot_path].value("rev", 0) : 0;
}

int StandInDepot::haveRevision(const std::string& depot_path) const
{
    return state()["have"].value(depot_path, 0);
}

} // namespace velmora
