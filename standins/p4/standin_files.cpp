// The stand-in's file commands: opened, reopen, revert, sync.

#include "standin_commands.h"

#include <cctype>

namespace velmora {

namespace {

    Json openedRecord(const Json& file, const StandInContext& context)
    {
        return Json {
            { "depotFile", file.value("depotFile", "") },
            { "clientFile", file.value("clientFile", "") },
            { "rev", revText(file.value("rev", 0)) },
            { "haveRev", revText(file.value("haveRev", 0)) },
            { "action", file.value("action", "") },
            { "change", file.value("change", "default") },
            { "type", file.value("type", "text") },
            { "user", context.state.json().value("user", "") },
            { "client", context.client },
        };
    }

    // The opened entry for a file argument, optionally only in one change.
    Json* findOpened(StandInContext& context, const std::string& arg, const std::string& change)
    {
        std::string revision;
        std::string depot = context.state.depotPathOfArg(arg, revision);
        for (Json& file : context.state.json()["opened"]) {
            if (file.value("depotFile", "") == depot
                && (change.empty() || file.value("change", "") == change))
                return &file;
        }
        return nullptr;
    }

    // A -c value as stored: "default" (in any letter case) or the number without zeros in
    // front. Anything else is refused like p4 refuses it.
    std::string changeArg(const std::string& change)
    {
        std::string lower;
        for (char c : change)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "default")
            return lower;
        if (!isNumber(change))
            throw StandInError { "Invalid changelist number '" + change + "'.", kGenericUsage };
        return std::to_string(std::stoi(change));
    }

    // "default", or a pending change of this workspace.
    std::string targetChange(StandInContext& context, const std::string& change)
    {
        std::string number = changeArg(change);
        if (number != "default")
            context.state.pendingChange(number);
        return number;
    }

} // namespace

void runOpened(const StandInFlags& flags, StandInContext& context)
{
    std::string change = flags.has("-c") ? changeArg(flags.value("-c")) : std::string();
    if (!flags.files.empty()) {
        // Each argument is one file (no wildcards): its record, or p4's warning.
        for (const std::string& arg : flags.files) {
            const Json* file = findOpened(context, arg, change);
            if (file)
                context.out.record(openedRecord(*file, context));
            else
                context.out.warning(arg + " - file(s) not opened on this client.");
        }
        return;
    }
    bool any = false;
    for (const Json& file : context.state.json()["opened"]) {
        if (!change.empty() && file.value("change", "") != change)
            continue;
        context.out.record(openedRecord(file, context));
        any = true;
    }
    if (!any) {
        bool numbered = !change.empty() && change != "default";
        context.out.warning(
            numbered ? "File(s) not opened in that changelist." : "File(s) not opened on this client.");
    }
}

void runReopen(const StandInFlags& flags, StandInContext& context)
{
    if (!flags.has("-c") || flags.files.empty())
        throw StandInError { "Missing/wrong number of arguments.", kGenericUsage };
    std::string change = targetChange(context, flags.value("-c"));
    for (const std::string& arg : flags.files) {
        Json* file = findOpened(context, arg, "");
        if (!file) {
            context.out.warning(arg + " - file(s) not opened on this client.");
            continue;
        }
        (*file)["change"] = change;
        context.out.record(Json {
            { "depotFile", file->value("depotFile", "") },
            { "clientFile", file->value("clientFile", "") },
            { "workRev", revText(file->value("rev", 0)) },
            { "action", file->value("action", "") },
            { "change", change },
            { "type", file->value("type", "text") },
        });
    }
}

void runRevert(const StandInFlags& flags, StandInContext& context)
{
    if (flags.files.empty())
        throw StandInError { "Usage: revert [-a -n -k -w -c changelist# -C client] [--remote=rmt] files...\n"
                             "Missing/wrong number of arguments.",
            kGenericUsage };
    std::string change = flags.has("-c") ? targetChange(context, flags.value("-c")) : std::string();
    Json& opened = context.state.json()["opened"];
    for (const std::string& arg : flags.files) {
        Json* file = findOpened(context, arg, change);
        if (!file) {
            context.out.warning(arg
                + (change.empty() ? " - file(s) not opened on this client."
                                  : " - file(s) not opened in that changelist."));
            continue;
        }
        std::string action = file->value("action", "");
        context.out.record(Json {
            { "depotFile", file->value("depotFile", "") },
            { "clientFile", file->value("localFile", "") },
            { "haveRev", revText(file->value("haveRev", 0)) },
            { "oldAction", action },
            { "action", action == "add" ? "abandoned" : "reverted" },
        });
        opened.erase(static_cast<size_t>(file - &opened[0]));
    }
}

void runWhere(const StandInFlags& flags, StandInContext& context)
{
    if (flags.files.empty())
        throw StandInError { "stand-in p4 maps named files only.", kGenericUsage };
    for (const std::string& arg : flags.files) {
        std::string revision;
        const std::string depot = context.state.depotPathOfArg(arg, revision);
        const std::string local = context.state.localPathOf(depot);
        if (local.empty()) {
            context.out.warning(arg + " - file(s) not in client view.");
            continue;
        }
        context.out.record(Json {
            { "depotFile", depot }, { "clientFile", context.state.clientPathOf(depot) }, { "path", local } });
    }
}

void runSync(const StandInFlags& flags, StandInContext& context)
{
    if (flags.files.empty())
        throw StandInError { "stand-in p4 syncs named files only.", kGenericUsage };
    Json& state = context.state.json();
    bool force = flags.has("-f");
    bool first = true;
    for (const std::string& arg : flags.files) {
        std::string revision;
        std::string depot = context.state.depotPathOfArg(arg, revision);
        const Json& head = state["head"];
        if (!head.contains(depot)) {
            context.out.warning(arg + " - no such file(s).");
            continue;
        }
        int head_rev = head[depot].value("rev", 0);
        int rev = head_rev;
        if (revision.size() > 1 && revision.front() == '#' && isNumber(revision.substr(1)))
            rev = std::stoi(revision.substr(1));
        else if (revision == "#none")
            rev = 0;
        if (rev > head_rev) {
            context.out.warning(arg + " - no file(s) at that revision.");
            continue;
        }
        int have = state["have"].value(depot, 0);
        if (!force && have == rev) {
            context.out.warning(arg + " - file(s) up-to-date.");
            continue;
        }
        bool deleted = rev == 0 || (rev == head_rev && head[depot].value("action", "") == "delete");
        std::string action = deleted ? "deleted"
            : have == 0              ? "added"
            : have == rev            ? "refreshed"
                                     : "updated";
        Json record {
            { "depotFile", depot },
            { "clientFile", context.state.localPathOf(depot) },
            { "rev", revText(rev) },
            { "action", action },
            { "fileSize", "0" },
        };
        if (first) {
            record["totalFileSize"] = "0";
            record["totalFileCount"] = std::to_string(flags.files.size());
            record["change"] = std::to_string(head[depot].value("change", 0));
            first = false;
        }
        context.out.record(record);
        if (deleted)
            state["have"].erase(depot);
        else
            state["have"][depot] = rev;
    }
}

} // namespace velmora
