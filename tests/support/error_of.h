#pragma once

#include <exception>
#include <functional>
#include <string>

namespace velmora {

// What a call threw, for comparing failure texts in one table row.
inline std::string errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

} // namespace velmora
