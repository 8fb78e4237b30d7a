#pragma once

#include "korvath/changelist.h"
#include "korvath/file_spec.h"
#include "korvath/p4_error.h"
#include "korvath/path_spec.h"
#include "korvath/submit_result.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class P4Connection;

// The description CreateChangelist gives a new change. A server refuses an empty one and p4's
// own placeholder "<enter description here>", so the change carries this text until the user
// writes a real one.
inline constexpr char kNewChangeDescription[] = "Pending description (created by Tessarine)";

// The Perforce connection of one user and workspace. Every operation runs the `p4` client
// found on PATH (one process per command, machine-readable output) and throws P4Error when
// the command does not succeed; an empty result ("file(s) not opened", "up-to-date") is an
// empty list, not a failure.
//
// Options are p4 flags in pairs, flag then value, "" after a flag without value:
// {"-c", "42"}, {"-d", "", "-c", "42"}, {"-f", ""}. Depot paths are passed back to p4 in the
// escaped form it returned them in; local paths are escaped here.
//
// All members but Connect are const and share no mutable state, so two threads may call
// them at once.
class Repository {
public:
    Repository(const char* port, const char* user, const char* password, const char* client);
    ~Repository();

    Repository(const Repository&) = delete;
    Repository& operator=(const Repository&) = delete;

    void Connect();

    std::string GetToken() const;
    std::string GetStream() const;

    std::vector<FileSpec> GetOpenedFiles(std::initializer_list<std::string> options) const;
    Changelist GetChangelist(int change_id) const;
    std::vector<FileSpec> GetChangelist(int change_id, bool shelved) const;
    Changelist CreateChangelist() const;
    // `change -d`: a pending change without open or shelved files.
    void DeleteChangelist(int change_id) const;

    // Moves opened files into the change named by the options. Every named file must be opened
    // in the workspace: the local-path form checks that before it moves anything, and both
    // throw P4FilesNotOpenedError naming the files that are not.
    std::vector<FileSpec> ReopenFiles(
        std::initializer_list<std::string> options, std::vector<LocalPath> files) const;
    std::vector<FileSpec> ReopenFiles(
        std::initializer_list<std::string> options, std::vector<FileSpec> files) const;
    // `where`: the files with their client and local paths (revisions as given); a file
    // outside the workspace view is left out.
    std::vector<FileSpec> WhereFiles(std::vector<FileSpec> files) const;
    std::vector<FileSpec> ShelveFiles(
        std::initializer_list<std::string> options, std::vector<FileSpec> files) const;
    std::vector<FileSpec> RevertFiles(
        std::initializer_list<std::string> options, std::vector<FileSpec> files) const;
    SubmitResult SubmitFiles(std::initializer_list<std::string> options, std::vector<FileSpec> files) const;
    std::vector<FileSpec> SyncFiles(
        std::initializer_list<std::string> options, std::vector<FileSpec> files) const;

private:
    std::shared_ptr<const P4Connection> connection_;
};

} // namespace velmora
