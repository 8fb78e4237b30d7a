#pragma once

#include <string>
#include <vector>

namespace velmora {

// A change form: what `change -o N` reports and what `change -i` reads. Written, empty
// optional fields are left out; so is Files when the list is empty, which matters for a
// new change: a form without Files creates an empty change instead of taking over the
// default changelist's files.
struct ChangeForm {
    int change = 0; // 0 for a new change
    std::string client;
    std::string user;
    std::string status;
    std::string type;
    std::string identity;
    std::string stream;
    std::string description; // as p4 holds it, normally ending in a line break
    std::vector<std::string> jobs;
    std::vector<std::string> files;
};

// Every description line, empty ones too, is written as TAB + line after CRLF (and a lone
// CR) became LF: p4 reads a line that starts in column 0 as the next field or a comment, so
// no description text can add or change a field. Throws std::invalid_argument when a
// one-line field holds a line break.
std::string writeChangeForm(const ChangeForm& form);

// The change number in the reply to `change -i`, "Change 123 created." (or "... created
// with 2 open file(s).") for verb "created", "Change 123 updated." for "updated".
// Throws P4OutputError when the reply says neither.
int parseChangeReply(const std::string& reply, const std::string& verb);

} // namespace velmora
