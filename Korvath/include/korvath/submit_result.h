#pragma once

#include "korvath/file_spec.h"

#include <vector>

namespace velmora {

// What a submit produced: the final change number (p4 may have renamed the change) and the
// submitted file revisions.
struct SubmitResult {
    int submitted_change_id = 0;
    std::vector<FileSpec> files;
};

} // namespace velmora
