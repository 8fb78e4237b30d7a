#pragma once

// The stand-in p4's depot, kept as JSON in $STANDIN_P4_STATE/state.json. Format:
//
// {
//   "port": "localhost:1666",          -p must equal this, else a connection error on stderr
//   "user": "tester",
//   "logged_in": true,                 false: `login -s` fails as with an expired ticket
//   "tickets": [ {"port": "localhost:1666", "user": "tester", "ticket": "9F3C..."} ],
//                                      what `p4 tickets` prints, one line each
//   "client": {                        the one workspace; -c must name it
//     "name": "tester-ws", "root": "/tmp/.../ws", "stream": "//streams/main",
//     "depot_prefix": "//streams/main/"
//   },                                 depot_prefix + rest <-> //name/rest <-> root/rest
//                                      (rest escaped in depot and client syntax, plain locally)
//   "next_change": 100,                number of the next new (or renamed) change
//   "changes": [ {
//     "change": 7, "status": "pending" | "submitted", "user": "tester", "client": "tester-ws",
//     "description": "text\n",         as p4 stores it: lines joined by \n, one \n at the end
//     "jobs": ["job000001"],
//     "shelved": [ {"depotFile": "//streams/main/a.c", "rev": 3, "action": "edit", "type": "text"} ],
//     "files": [ ... ],                a submitted change's files, same shape as "shelved"
//     "submitted_from": 7              a submitted change's pending number (before a rename)
//   } ],
//   "opened": [ {                      opened files of the workspace, in every change
//     "depotFile": "//streams/main/a.c", "clientFile": "//tester-ws/a.c",
//     "localFile": "/tmp/.../ws/a.c", "rev": 3, "haveRev": 3, "action": "edit",
//     "type": "text", "change": "default" | "7"
//   } ],
//   "head": { "//streams/main/a.c": {"rev": 3, "action": "edit", "change": 5} },
//   "have": { "//streams/main/a.c": 3 } what `sync` recorded
// }
//
// Depot and client paths are kept in p4's escaped form (%40 %23 %25 %2A).

#include <nlohmann/json.hpp>

#include <string>

namespace velmora {

using Json = nlohmann::json;

// A command failed as a whole: printed as one error (severity 3), exit 1, state not saved.
struct StandInError {
    std::string text;
    int generic = 0;
};

// Generic codes p4 puts on its messages.
constexpr int kGenericUsage = 1;
constexpr int kGenericUnknown = 2;
constexpr int kGenericEmpty = 17;

// The state file plus the path rules of the workspace.
class StandInState {
public:
    static Json defaults(const std::string& root);
    static Json load(const std::string& dir);
    static void save(const std::string& dir, const Json& state);

    explicit StandInState(Json& state);

    Json& json() { return state_; }

    // Pending or submitted change by number, or nullptr.
    Json* findChange(int change);
    // A pending change by number; throws "Change N unknown." otherwise.
    Json& pendingChange(const std::string& number);
    bool hasHigherChange(int change) const;
    int takeChangeNumber();

    // "//streams/main/a%40b.c" <-> "//tester-ws/a%40b.c" <-> "/root/a@b.c".
    std::string clientPathOf(const std::string& depot) const;
    std::string localPathOf(const std::string& depot) const;

    // A file argument, revision part cut off into revision_spec ("#3", "@5", or ""), as a
    // depot path. Local names may be relative to the working directory. Throws for a path
    // outside the workspace.
    std::string depotPathOfArg(const std::string& arg, std::string& revision_spec) const;

private:
    Json& state_;
};

std::string escapePath(const std::string& plain);
std::string unescapePath(const std::string& escaped);
bool isNumber(const std::string& text);

} // namespace velmora
