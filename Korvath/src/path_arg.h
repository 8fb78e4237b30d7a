#pragma once

#include "korvath/file_spec.h"

#include <string>

namespace velmora {

// @ # % * carry meaning in p4 file arguments (revision and wildcard syntax); a literal one is
// written %40 %23 %25 %2A, % first so that the other escapes are not escaped again.
std::string escapePathChars(const std::string& path);

// A local file name as a p4 argument. A name that starts with "-" would be read as a flag
// (p4 has no "--"), so it becomes "./-name".
std::string localFileArg(const std::string& path);

// A depot path as p4 returned it (already escaped), with "#rev" when asked and known.
std::string depotFileArg(const FileSpec& file, bool with_revision);

// Throws std::invalid_argument for a name p4 cannot take as one argument (empty, or holding
// a line break or NUL).
void checkFileArg(const std::string& arg);

} // namespace velmora
