#include "korvath/path_spec.h"

#include <utility>

namespace velmora {

PathSpec::PathSpec(std::string path)
    : path_(std::move(path))
{
}

std::string PathSpec::GetPath() const { return path_; }

} // namespace velmora
