#pragma once

#include <QString>

#include <string>
#include <vector>

namespace velmora {

// Reads the tag prefix of a changelist description: the unbroken run of
// "[name]" literals at its very start (name chars a-z A-Z 0-9 : _ -). Returns
// the names in order, duplicates kept. When free_text is not null it receives
// everything after the run, unchanged, or the whole description when it does
// not begin with a valid literal. Linear time, constant stack.
std::vector<std::string> parseDescriptionTags(const std::string& description, std::string* free_text);

// Writes names back as a tag prefix: "[name]" for each, no separator.
QString tagLiterals(const std::vector<std::string>& names);

} // namespace velmora
