#pragma once

#include <QPoint>
#include <QSize>

#include <string>
#include <utility>
#include <vector>

namespace velmora::e2e::layout {

// Where the main window's widgets are, in its own coordinates. The window has a fixed
// size, so they were measured once, on a screenshot of the window with six tags
// (scripts/demo --screenshot-only shows the same).
inline constexpr QSize kWindowSize { 1200, 712 };

inline constexpr QPoint kDescriptionEditor { 200, 200 };
inline constexpr QPoint kPreCheckButton { 850, 674 };
inline constexpr QPoint kSubmitButton { 1040, 674 };
inline constexpr QPoint kReviewerSearchLine { 350, 526 };
inline constexpr QPoint kAddReviewerButton { 660, 526 };
inline constexpr QPoint kCreateReviewButton { 731, 526 };
// The badge of the check-result view's verdict row, once a result is shown.
inline constexpr QPoint kVerdictBadge { 968, 370 };

using TagList = std::vector<std::pair<std::string, std::string>>; // (name, description)

// The order of the tag module's table, an unordered map keyed by the name: the order of
// the tag boxes and of the tags in a description's prefix.
std::vector<std::string> tableOrder(const TagList& tags);

// The check box of a tag: three to a row, in table order.
QPoint tagBox(const TagList& tags, const std::string& name);

} // namespace velmora::e2e::layout
