#pragma once

#include "change_form.h"
#include "korvath/file_spec.h"
#include "korvath/submit_result.h"
#include "p4_output.h"

#include <string>
#include <vector>

namespace velmora {

// Pure readers of the tagged records of each command the layer runs. Each throws
// P4OutputError when a field it needs is missing or malformed.

// "3" -> 3; "none" or "" -> 0 (an add, a deleted file).
int parseRevision(const std::string& text);

// Records that describe files (opened, reopen, revert, shelve, sync): depotFile, a revision
// (rev, workRev or haveRev) and clientFile, which is a client path ("//ws/...") or a local
// one. With every_record_is_file, a record without depotFile is an error; otherwise such
// records (headers, totals) are skipped.
std::vector<FileSpec> parseFileRecords(const P4Output& output, bool every_record_is_file);

// `where FILE...`: depotFile, clientFile (client syntax) and path (local) per mapped file;
// the revision is left 0. Records of exclusion lines (unmap) are skipped.
std::vector<FileSpec> parseWhereRecords(const P4Output& output);

// `describe -S -s N`: the shelved files, indexed depotFile0, rev0, ...
std::vector<FileSpec> parseShelvedFiles(const P4Output& output);

// `change -o N`, the fields a change form is rewritten from.
ChangeForm parseChangeForm(const P4Output& output);

// A description as the user sees it: p4 ends every stored description with a line break.
std::string descriptionForDisplay(const std::string& stored);

// `submit -e N`: the final change number (from submittedChange) and the submitted files.
SubmitResult parseSubmitResult(const P4Output& output);

// `client -o NAME`: the workspace's stream, empty for a classic workspace.
std::string parseStream(const P4Output& output);

// `tickets` (plain text, "host:port (user) TICKET" per line): the ticket of this user,
// preferring the one stored for this port; empty when the user has none.
std::string parseTicket(const std::string& text, const std::string& user, const std::string& port);

} // namespace velmora
