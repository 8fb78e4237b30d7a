#pragma once

// The row widgets of the check-result view. Each builder returns a new row
// widget without parent, its layout set, ready for QListWidget::setItemWidget;
// the caller connects the buttons it hands back.
#include "p4v_submit_client/check_message.h"

#include <QSize>
#include <QString>
#include <QTextDocument>
#include <QTextOption>

class QFont;
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

// A box for a text that lays out this high: the smallest multiple of 14 that
// holds it, never less than 14.
int textBoxHeight(int text_height);

// Measures the text boxes of error rows the way the boxes lay their text out:
// in the font the rows give them, with their document's margins and their wrap
// modes, at the width that a row of the list leaves them. So a row's height is
// exact before its widget exists. One document, set up once, measures every text.
class ErrorBoxMeasure {
public:
    // list_font: the font of the list's viewport, which the rows go into.
    explicit ErrorBoxMeasure(const QFont& list_font);

    ErrorBoxHeights heights(const CheckerItem& error, int row_width);

private:
    static int boxHeight(QTextDocument& document, int box_width, const QString& text);

    // Paths wrap anywhere; messages between words where they can.
    QTextDocument path_document_;
    QTextDocument message_document_;
};

// One error of the detail view, numbered from 1; the button is "复制", present
// only when the error has a path.
ButtonRow errorRow(
    int number, const CheckerItem& error, const QString& colour, const ErrorBoxHeights& heights);

} // namespace velmora::check_result_rows
