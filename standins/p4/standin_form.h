#pragma once

#include "standin_state.h"

#include <map>
#include <string>
#include <vector>

namespace velmora {

// A change form read the way p4 reads it: "Field:<TAB>value" lines, block fields whose lines
// start with white space (one leading character removed), "#" comments in column 0, and a
// line in column 0 ending a block. Trailing blank lines of a block are dropped.
struct StandInForm {
    std::map<std::string, std::string> values; // one-line fields
    std::map<std::string, std::vector<std::string>> blocks; // block fields, line by line

    bool has(const std::string& field) const { return values.count(field) || blocks.count(field); }
    // A block as stored text: lines joined by \n with one \n at the end ("" when empty).
    std::string text(const std::string& field) const;
    // A list field's entries without their "# comment" tails.
    std::vector<std::string> entries(const std::string& field) const;
};

// Throws StandInError "Error in change spec..." on a malformed form.
StandInForm parseChangeForm(const std::string& text);

} // namespace velmora
