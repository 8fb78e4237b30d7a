// The stand-in `p4`: answers the commands the Perforce layer runs from a small depot kept
// in $STANDIN_P4_STATE (state.json, format in standin_state.h), in the real client's output
// formats. Every invocation is appended to journal.jsonl there (one JSON array of the
// arguments, program name left out, per line). faults.json there makes commands fail:
//   { "shelve": "Text of the error",                          error record, exit 1
//     "submit": {"stdout": "...", "stderr": "...", "exit": 0} written as is (bad output)
//     "opened": {"hang": true},                               a dead server: no answer; with
//                                                             -vnet.maxwait=N, p4's failure after N s
//     "revert": {"delay_ms": 500} }                           a slow server: answers normally, late
// Invocations are serialised by an exclusive lock on state.lock.

#include "standin_commands.h"
#include "standin_output.h"
#include "standin_state.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

using velmora::Json;
namespace fs = std::filesystem;

struct Globals {
    std::string port;
    std::string user;
    std::string client;
    std::string args_file;
    int max_wait = 0; // -vnet.maxwait=N; 0: wait without end, as p4 does
    bool ztag = false;
    bool mj = false;
    std::string command;
    std::vector<std::string> args;
};

std::string envOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// Returns false (after a message on stderr) on a usage error.
bool parseGlobals(const std::vector<std::string>& argv, Globals& globals)
{
    size_t i = 0;
    for (; i < argv.size() && argv[i].size() > 1 && argv[i].front() == '-'; ++i) {
        const std::string& flag = argv[i];
        if (flag == "-ztag") {
            globals.ztag = true;
        } else if (flag == "-Mj") {
            globals.mj = true;
        } else if (flag.compare(0, 2, "-v") == 0) {
            // -vnet.maxwait=N or -v net.maxwait=N; other tunables are not modelled.
            std::string setting = flag.size() > 2 ? flag.substr(2) : (i + 1 < argv.size() ? argv[++i] : "");
            const std::string name = "net.maxwait=";
            if (setting.compare(0, name.size(), name) != 0
                || !velmora::isNumber(setting.substr(name.size()))) {
                std::cerr << "Invalid option: " << flag << ".\n";
                return false;
            }
            globals.max_wait = std::stoi(setting.substr(name.size()));
        } else if (flag == "-p" || flag == "-u" || flag == "-c" || flag == "-P" || flag == "-x") {
            if (i + 1 >= argv.size()) {
                std::cerr << "Missing argument for option " << flag << ".\n";
                return false;
            }
            const std::string& value = argv[++i];
            if (flag == "-p")
                globals.port = value;
            else if (flag == "-u")
                globals.user = value;
            else if (flag == "-c")
                globals.client = value;
            else if (flag == "-x")
                globals.args_file = value;
        } else {
            std::cerr << "Invalid option: " << flag << ".\n";
            return false;
        }
    }
    if (i == argv.size()) {
        std::cerr << "stand-in p4: no command given.\n";
        return false;
    }
    globals.command = argv[i];
    globals.args.assign(argv.begin() + static_cast<long>(i) + 1, argv.end());
    return true;
}

void appendJournal(const std::string& dir, const std::vector<std::string>& argv)
{
    std::ofstream journal(fs::path(dir) / "journal.jsonl", std::ios::app);
    journal << Json(argv).dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

int state_lock = -1;

// A server that stopped answering: p4 waits for it as long as -vnet.maxwait allows, then
// fails as p4 does; without that bound it waits until it is killed. The lock is given up
// first: a dead server does not keep other clients out, it leaves them waiting too.
int hang(const Globals& globals)
{
    ::close(state_lock);
    if (globals.max_wait <= 0) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    std::this_thread::sleep_for(std::chrono::seconds(globals.max_wait));
    std::cerr << "Perforce client error:\n\tPartner exited unexpectedly.\n";
    return 1;
}

// Returns true when a fault was injected for this command (and has been written).
bool injectFault(const std::string& dir, const Globals& globals, int& exit_code)
{
    std::ifstream in(fs::path(dir) / "faults.json");
    if (!in)
        return false;
    Json faults = Json::parse(in, nullptr, false);
    if (!faults.is_object() || !faults.contains(globals.command))
        return false;
    const Json& fault = faults[globals.command];
    if (fault.is_string()) {
        velmora::StandInOutput out(globals.ztag && globals.mj);
        out.error(fault.get<std::string>());
        exit_code = 1;
        return true;
    }
    if (fault.contains("delay_ms")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(fault.value("delay_ms", 0)));
        return false;
    }
    if (fault.value("hang", false)) {
        exit_code = hang(globals);
        return true;
    }
    std::cout << fault.value("stdout", "");
    std::cerr << fault.value("stderr", "");
    exit_code = fault.value("exit", 0);
    return true;
}

int run(const std::string& dir, const std::vector<std::string>& argv)
{
    Globals globals;
    if (!parseGlobals(argv, globals))
        return 1;
    if (!globals.args_file.empty()) {
        std::ifstream in(globals.args_file);
        if (!in) {
            std::cerr << "Can't open argument file '" << globals.args_file << "'.\n";
            return 1;
        }
        for (std::string line; std::getline(in, line);) {
            if (!line.empty())
                globals.args.push_back(line);
        }
    }
    int fault_exit = 0;
    if (injectFault(dir, globals, fault_exit))
        return fault_exit;

    Json state = velmora::StandInState::load(dir);
    velmora::StandInState depot(state);
    if (globals.command == "tickets") {
        // Answered by the client from its ticket file: no server involved.
        for (const Json& ticket : state.value("tickets", Json::array()))
            std::cout << ticket.value("port", "") << " (" << ticket.value("user", "") << ") "
                      << ticket.value("ticket", "") << "\n";
        return 0;
    }

    std::string port = globals.port.empty() ? envOr("P4PORT", "perforce:1666") : globals.port;
    if (port != state.value("port", "")) {
        std::cerr << "Perforce client error:\n\tConnect to server failed; check $P4PORT.\n\tTCP connect to "
                  << port << " failed.\n";
        return 1;
    }

    bool form_input = globals.command == "change" && !globals.args.empty() && globals.args.front() == "-i";
    bool tagged = globals.ztag && globals.mj;
    if (!tagged && !form_input) {
        std::cerr << "stand-in p4 answers " << globals.command << " only with -ztag -Mj.\n";
        return 1;
    }
    std::string input;
    if (form_input)
        input.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());

    velmora::StandInOutput out(tagged);
    velmora::StandInContext context { depot, out,
        globals.user.empty() ? envOr("P4USER", envOr("USER", "")) : globals.user,
        globals.client.empty() ? envOr("P4CLIENT", "") : globals.client, input };
    try {
        velmora::runCommand(globals.command, globals.args, context);
    } catch (const velmora::StandInError& e) {
        out.error(e.text, e.generic);
        return 1;
    }
    if (out.exitCode() == 0)
        velmora::StandInState::save(dir, state);
    return out.exitCode();
}

} // namespace

int main(int argc, char** argv)
{
    const char* dir = std::getenv("STANDIN_P4_STATE");
    if (!dir || !*dir) {
        std::cerr << "stand-in p4: STANDIN_P4_STATE is not set.\n";
        return 1;
    }
    state_lock = ::open((fs::path(dir) / "state.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    if (state_lock < 0 || ::flock(state_lock, LOCK_EX) != 0) {
        std::cerr << "stand-in p4: cannot lock " << dir << ".\n";
        return 1;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        appendJournal(dir, args);
        return run(dir, args);
    } catch (const velmora::StandInError& e) {
        std::cerr << e.text << "\n";
    } catch (const std::exception& e) {
        std::cerr << "stand-in p4: " << e.what() << "\n";
    }
    return 1;
}
