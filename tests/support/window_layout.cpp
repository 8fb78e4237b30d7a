#include "window_layout.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

namespace velmora::e2e::layout {

std::vector<std::string> tableOrder(const TagList& tags)
{
    // Filled like the module's table: the same keys in the same order give the same order.
    std::unordered_map<std::string, bool> table;
    for (const auto& tag : tags)
        table.emplace(tag.first, false);
    std::vector<std::string> order;
    for (const auto& entry : table)
        order.push_back(entry.first);
    return order;
}

QPoint tagBox(const TagList& tags, const std::string& name)
{
    if (tags.size() != 6)
        throw std::logic_error("the tag boxes were measured with six tags");
    const auto order = tableOrder(tags);
    const auto found = std::find(order.begin(), order.end(), name);
    if (found == order.end())
        throw std::logic_error("no tag " + name);
    const int cell = static_cast<int>(found - order.begin());
    return { 421 + (cell % 3) * 125, 92 + (cell / 3) * 122 };
}

} // namespace velmora::e2e::layout
