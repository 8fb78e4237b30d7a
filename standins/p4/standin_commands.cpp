#include "standin_commands.h"

namespace velmora {

namespace {

    void runClient(const StandInFlags& flags, StandInContext& context)
    {
        if (!flags.has("-o") || flags.files.size() > 1)
            throw StandInError { "Missing/wrong number of arguments.", kGenericUsage };
        const Json& client = context.state.json()["client"];
        std::string name = flags.files.empty() ? context.client : flags.files.front();
        if (name == client.value("name", "")) {
            Json record {
                { "Client", name },
                { "Owner", context.state.json().value("user", "") },
                { "Host", "" },
                { "Description", "Created by " + context.state.json().value("user", "") + ".\n" },
                { "Root", client.value("root", "") },
                { "Options", "noallwrite noclobber nocompress unlocked nomodtime normdir" },
                { "SubmitOptions", "submitunchanged" },
                { "LineEnd", "local" },
                { "View0", client.value("depot_prefix", "") + "... //" + name + "/..." },
                { "Update", "2024/01/01 00:00:00" },
                { "Access", "2024/01/01 00:00:00" },
            };
            std::string stream = client.value("stream", "");
            if (!stream.empty())
                record["Stream"] = stream;
            context.out.record(record);
            return;
        }
        // Like p4: a workspace that does not exist yet gets a template, without a stream.
        context.out.record(Json {
            { "Client", name },
            { "Owner", context.user },
            { "Host", "" },
            { "Description", "Created by " + context.user + ".\n" },
            { "Root", "/home/" + context.user },
            { "Options", "noallwrite noclobber nocompress unlocked nomodtime normdir" },
            { "SubmitOptions", "submitunchanged" },
            { "LineEnd", "local" },
            { "View0", "//depot/... //" + name + "/..." },
        });
    }

    void runLogin(const StandInFlags& flags, StandInContext& context)
    {
        if (!flags.has("-s"))
            throw StandInError { "stand-in p4 only checks the login (login -s).", kGenericUsage };
        const Json& state = context.state.json();
        if (!state.value("logged_in", true) || context.user != state.value("user", ""))
            throw StandInError { "Perforce password (P4PASSWD) invalid or unset.", 0 };
        context.out.record(Json { { "TicketExpiration", "43200" }, { "User", context.user } });
    }

    void requireWorkspace(const StandInContext& context)
    {
        if (context.client != context.state.json()["client"].value("name", ""))
            throw StandInError { "Client '" + context.client
                    + "' unknown - use 'client' command to create it.",
                kGenericUnknown };
    }

} // namespace

std::string StandInFlags::value(const std::string& flag) const
{
    auto it = values.find(flag);
    return it == values.end() ? std::string() : it->second;
}

StandInFlags parseFlags(const std::vector<std::string>& args, const std::set<std::string>& with_value,
    const std::set<std::string>& switches)
{
    StandInFlags flags;
    size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i].front() == '-'; ++i) {
        const std::string& flag = args[i];
        if (with_value.count(flag)) {
            if (i + 1 >= args.size())
                throw StandInError { "Missing/wrong number of arguments.", kGenericUsage };
            flags.values[flag] = args[++i];
        } else if (switches.count(flag)) {
            flags.switches.insert(flag);
        } else {
            throw StandInError { "Invalid option: " + flag + ".", kGenericUsage };
        }
    }
    flags.files.assign(args.begin() + static_cast<long>(i), args.end());
    return flags;
}

std::string revText(int rev) { return rev > 0 ? std::to_string(rev) : std::string("none"); }

void runCommand(const std::string& name, const std::vector<std::string>& args, StandInContext& context)
{
    if (name == "opened") {
        requireWorkspace(context);
        runOpened(parseFlags(args, { "-c" }, {}), context);
    } else if (name == "reopen") {
        requireWorkspace(context);
        runReopen(parseFlags(args, { "-c" }, {}), context);
    } else if (name == "revert") {
        requireWorkspace(context);
        runRevert(parseFlags(args, { "-c" }, {}), context);
    } else if (name == "sync") {
        requireWorkspace(context);
        runSync(parseFlags(args, {}, { "-f" }), context);
    } else if (name == "change") {
        runChange(parseFlags(args, {}, { "-o", "-i", "-d" }), context);
    } else if (name == "where") {
        requireWorkspace(context);
        runWhere(parseFlags(args, {}, {}), context);
    } else if (name == "describe") {
        runDescribe(parseFlags(args, {}, { "-S", "-s" }), context);
    } else if (name == "shelve") {
        requireWorkspace(context);
        runShelve(parseFlags(args, { "-c" }, { "-d", "-f", "-r" }), context);
    } else if (name == "submit") {
        requireWorkspace(context);
        runSubmit(parseFlags(args, { "-e" }, {}), context);
    } else if (name == "client") {
        runClient(parseFlags(args, {}, { "-o" }), context);
    } else if (name == "login") {
        runLogin(parseFlags(args, {}, { "-s" }), context);
    } else {
        throw StandInError { "Unknown command.  Try 'p4 help' for info.", kGenericUsage };
    }
}

} // namespace velmora
