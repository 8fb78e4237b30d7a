#pragma once

// The row widgets of the check-result view. Each builder returns a new row
// widget without parent, its layout set, ready for QListWidget::setItemWidget;
// the caller connects the buttons it hands back. Row heights come from font
// metrics alone, so a list item can take its exact height before its row
// widget exists.
#include "p4v_submit_client/check_message.h"

#include <QSize>
#include <QString>

class QFontMetrics;
class QPushButton;
class QWidget;

namespace velmora::check_result_rows {

inline constexpr QSize kHeaderSize { 30, 50 };
inline constexpr QSize kGroupSize { 30, 80 };

// The verdict: a badge and "失败" or "通过", centred.
QWidget* verdictRow(bool failed);

struct ButtonRow {
    QWidget* widget = nullptr;
    QPushButton* button = nullptr; // null when the row has none
};

// One checker group of the summary: title, error count and "查看".
ButtonRow groupRow(const CheckerGroup& group, const QString& colour);
// The head of a group's detail view: "返回" and the title.
ButtonRow detailHeaderRow(const QString& title, const QString& colour);

// The fixed heights of an error row's text boxes; path is 0 without a path.
struct ErrorBoxHeights {
    int path = 0;
    int message = 0;
    int itemHeight() const { return message + 36 + path; }
};

// A box for a text of this measured height: the smallest multiple of 14 that
// holds it with 2 pixels to spare.
int textBoxHeight(int text_height);
// metrics are those of a text box without parent; width that of the list less 2.
ErrorBoxHeights errorBoxHeights(const QFontMetrics& metrics, int width, const CheckerItem& error);

// One error of the detail view, numbered from 1; the button is "复制", present
// only when the error has a path.
ButtonRow errorRow(
    int number, const CheckerItem& error, const QString& colour, const ErrorBoxHeights& heights);

} // namespace velmora::check_result_rows
