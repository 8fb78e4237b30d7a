#include "korvath/repository.h"

#include "change_commands.h"
#include "path_arg.h"

#include <utility>

namespace velmora {

namespace {

    std::string orEmpty(const char* text) { return text ? std::string(text) : std::string(); }

    std::vector<std::string> depotArgs(const std::vector<FileSpec>& files, bool with_revision)
    {
        std::vector<std::string> args;
        args.reserve(files.size());
        for (const FileSpec& file : files)
            args.push_back(depotFileArg(file, with_revision));
        return args;
    }

    auto fileList(bool every_record_is_file)
    {
        return [every_record_is_file](
                   const P4Output& output) { return parseFileRecords(output, every_record_is_file); };
    }

    // reopen reports a named file it could not move as an "empty result" warning; for a
    // move that must be whole, that is a failure.
    std::vector<FileSpec> movedFiles(const P4Output& output)
    {
        requireEveryFileMatched(output);
        return parseFileRecords(output, false);
    }

} // namespace

Repository::Repository(const char* port, const char* user, const char* password, const char* client)
    : connection_(std::make_shared<const P4Connection>(
        P4Settings { orEmpty(port), orEmpty(user), orEmpty(password), orEmpty(client) }))
{
}

Repository::~Repository() = default;

void Repository::Connect()
{
    // Each command opens its own connection, so there is nothing to keep open; this proves
    // the server answers and the user is logged in (valid ticket or password), so that a
    // wrong port or an expired login shows at start-up instead of in the middle of a submit.
    connection_->runTagged({ "login", { "-s" }, {} }, [](const P4Output&) { return 0; });
}

std::string Repository::GetToken() const
{
    // `p4 tickets` is answered from the local ticket file; a user without a ticket (a server
    // without ticket-based login) gets an empty token.
    const P4Settings& settings = connection_->settings();
    return connection_->runText({ "tickets", {}, {} }, std::nullopt,
        [&settings](const std::string& text) { return parseTicket(text, settings.user, settings.port); });
}

std::string Repository::GetStream() const
{
    std::vector<std::string> args { "-o" };
    if (!connection_->settings().client.empty())
        args.push_back(connection_->settings().client);
    return connection_->runTagged(
        { "client", args, {} }, [](const P4Output& output) { return parseStream(output); });
}

std::vector<FileSpec> Repository::GetOpenedFiles(std::initializer_list<std::string> options) const
{
    return connection_->runTagged({ "opened", P4Connection::flagArgs(options), {} }, fileList(true));
}

Changelist Repository::GetChangelist(int change_id) const
{
    ChangeForm form = readChange(*connection_, change_id);
    return Changelist(connection_, form.change, descriptionForDisplay(form.description));
}

std::vector<FileSpec> Repository::GetChangelist(int change_id, bool shelved) const
{
    const std::string number = std::to_string(change_id);
    if (shelved) {
        return connection_->runTagged({ "describe", { "-S", "-s", number }, {} },
            [](const P4Output& output) { return parseShelvedFiles(output); });
    }
    return connection_->runTagged({ "opened", { "-c", number }, {} }, fileList(true));
}

Changelist Repository::CreateChangelist() const
{
    const P4Settings& settings = connection_->settings();
    ChangeForm form;
    form.client = settings.client;
    form.user = settings.user;
    form.status = "new";
    form.description = kNewChangeDescription;
    int change_id = writeChange(*connection_, form, "created");
    return Changelist(connection_, change_id, kNewChangeDescription);
}

void Repository::DeleteChangelist(int change_id) const
{
    const std::string number = std::to_string(change_id);
    connection_->runTagged({ "change", { "-d", number }, {} }, [&number](const P4Output& output) {
        for (const std::string& info : output.infos) {
            if (info == "Change " + number + " deleted.")
                return 0;
        }
        throw P4OutputError("p4 change -d did not report change " + number + " as deleted");
    });
}

// An empty file list never reaches p4: for reopen, revert and sync, no file argument would
// mean "every file" (sync) or a usage error, where the caller asked for nothing.

std::vector<FileSpec> Repository::ReopenFiles(
    std::initializer_list<std::string> options, std::vector<LocalPath> files) const
{
    std::vector<std::string> args = P4Connection::flagArgs(options);
    if (files.empty())
        return {};
    std::vector<std::string> file_args;
    file_args.reserve(files.size());
    for (const LocalPath& file : files)
        file_args.push_back(localFileArg(file.GetPath()));
    // A name typed on the command line may not be opened at all: find out before moving
    // anything, so a failure leaves every file where it was.
    connection_->runTagged({ "opened", {}, file_args }, [](const P4Output& output) {
        requireEveryFileMatched(output);
        return 0;
    });
    return connection_->runTagged({ "reopen", std::move(args), std::move(file_args) }, movedFiles);
}

std::vector<FileSpec> Repository::ReopenFiles(
    std::initializer_list<std::string> options, std::vector<FileSpec> files) const
{
    std::vector<std::string> args = P4Connection::flagArgs(options);
    if (files.empty())
        return {};
    return connection_->runTagged({ "reopen", std::move(args), depotArgs(files, false) }, movedFiles);
}

std::vector<FileSpec> Repository::WhereFiles(std::vector<FileSpec> files) const
{
    if (files.empty())
        return {};
    std::vector<FileSpec> located = connection_->runTagged({ "where", {}, depotArgs(files, false) },
        [](const P4Output& output) { return parseWhereRecords(output); });
    for (FileSpec& file : located) {
        for (const FileSpec& asked : files) {
            if (asked.GetDepotPath().GetPath() == file.GetDepotPath().GetPath()) {
                file = FileSpec(
                    file.GetDepotPath(), file.GetClientPath(), file.GetLocalPath(), asked.GetRevision());
                break;
            }
        }
    }
    return located;
}

std::vector<FileSpec> Repository::ShelveFiles(
    std::initializer_list<std::string> options, std::vector<FileSpec> files) const
{
    // No files: the whole change is shelved (or, with -d, its whole shelf deleted).
    return connection_->runTagged(
        { "shelve", P4Connection::flagArgs(options), depotArgs(files, false) }, fileList(false));
}

std::vector<FileSpec> Repository::RevertFiles(
    std::initializer_list<std::string> options, std::vector<FileSpec> files) const
{
    std::vector<std::string> args = P4Connection::flagArgs(options);
    if (files.empty())
        return {};
    return connection_->runTagged({ "revert", std::move(args), depotArgs(files, false) }, fileList(false));
}

SubmitResult Repository::SubmitFiles(
    std::initializer_list<std::string> options, std::vector<FileSpec> files) const
{
    return connection_->runTagged({ "submit", P4Connection::flagArgs(options), depotArgs(files, false) },
        [](const P4Output& output) { return parseSubmitResult(output); });
}

std::vector<FileSpec> Repository::SyncFiles(
    std::initializer_list<std::string> options, std::vector<FileSpec> files) const
{
    std::vector<std::string> args = P4Connection::flagArgs(options);
    if (files.empty())
        return {};
    // Each file at the revision it was submitted as (file#rev), not whatever is head now.
    return connection_->runTagged({ "sync", std::move(args), depotArgs(files, true) }, fileList(false));
}

} // namespace velmora
