// The check-result view in the console's result list.
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"

#include "p4v_submit_client_ui/check_result_rows.h"
#include "p4v_submit_client_ui/deferred_rows.h"
#include "p4v_submit_client_ui/handler_guard.h"
#include "ui_brelling.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>

#include <string>

namespace {

// Hex digits to the ten shades: letters share those of the digits 4 to 9.
int hexDigitToShade(char c)
{
    const auto digit = static_cast<signed char>(c);
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 4;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 4;
    return 0;
}

// A group's colour from its title alone, so it stays the same across views and checks.
QString colorForText(const QString& text)
{
    // Read back as a C string: the title counts up to its first NUL.
    const std::string utf8 = text.toStdString();
    const QByteArray hex
        = QCryptographicHash::hash(QByteArray(utf8.c_str()), QCryptographicHash::Sha1).toHex();
    const auto channel
        = [&hex](int from_end) { return 150 + 11 * hexDigitToShade(hex.at(hex.size() - from_end)); };
    return QString("rgb(%1,%2,%3)").arg(channel(1)).arg(channel(2)).arg(channel(3));
}

} // namespace

namespace velmora {

// Every row is a deferred one: its item takes its final height at once, its
// widget is built when the row comes into view and let go again once it is
// far from it (deferred_rows.h).

void P4VSubmitClientUI::displayCheckResult(velmora::CheckResult check_result)
{
    runGuarded(this, [this, &check_result] {
        generateHeaderWidght(!check_result.Passed);
        if (!check_result.Passed)
            generateErrorList(check_result);
        DeferredRowBuilder::of(ui_->console_text_result_info_).buildVisibleRows();
    });
}

void P4VSubmitClientUI::generateHeaderWidght(bool failed)
{
    QListWidget* list = ui_->console_text_result_info_;
    list->clear();
    list->addItem(new DeferredRowItem(
        check_result_rows::kHeaderSize, [failed] { return check_result_rows::verdictRow(failed); }));
    // The group rows may follow; a widget in place would make the list lay
    // itself out again for each of them.
    DeferredRowBuilder::of(list).buildVisibleRowsSoon();
}

void P4VSubmitClientUI::generateErrorList(CheckResult check_result)
{
    QListWidget* list = ui_->console_text_result_info_;
    for (int i = 0; i < check_result.ErrorGroups.size(); ++i) {
        const CheckerGroup group = check_result.ErrorGroups.at(i);
        const QString colour = colorForText(group.CheckerTitle);
        list->addItem(new DeferredRowItem(check_result_rows::kGroupSize, [this, check_result, i, colour] {
            const check_result_rows::ButtonRow row
                = check_result_rows::groupRow(check_result.ErrorGroups.at(i), colour);
            connect(row.button, &QPushButton::clicked, row.button, [this, check_result, i] {
                runGuarded(this, [this, &check_result, i] { displayErrorsOfSpecifiedType(check_result, i); });
            });
            return row.widget;
        }));
    }
    DeferredRowBuilder::of(list).buildVisibleRows();
}

void P4VSubmitClientUI::displayErrorsOfSpecifiedType(CheckResult check_result, int group_index)
{
    if (group_index < 0 || group_index >= check_result.ErrorGroups.size())
        return;
    const CheckerGroup group = check_result.ErrorGroups.at(group_index);
    QListWidget* list = ui_->console_text_result_info_;
    list->clear();

    const QString colour = colorForText(group.CheckerTitle);
    list->addItem(new DeferredRowItem(
        check_result_rows::kHeaderSize, [this, check_result, title = group.CheckerTitle, colour] {
            const check_result_rows::ButtonRow header = check_result_rows::detailHeaderRow(title, colour);
            connect(header.button, &QPushButton::clicked, header.button, [check_result, this] {
                runGuarded(this, [this, &check_result] { displayCheckResult(check_result); });
            });
            return header.widget;
        }));

    // A box measures itself before it has a parent, so with the font of any
    // new text box; measuring once with such a box gives every row's height
    // without building the row.
    const QFontMetrics metrics = QTextBrowser().fontMetrics();
    const int width = list->width() - 2;
    for (int j = 0; j < group.Errs.size(); ++j) {
        const CheckerItem& error = group.Errs.at(j);
        const check_result_rows::ErrorBoxHeights heights
            = check_result_rows::errorBoxHeights(metrics, width, error);
        list->addItem(new DeferredRowItem(QSize(30, heights.itemHeight()), [j, error, colour, heights] {
            const check_result_rows::ButtonRow row
                = check_result_rows::errorRow(j + 1, error, colour, heights);
            if (row.button)
                connect(row.button, &QPushButton::clicked, row.button, [path = error.AssetPath] {
                    QGuiApplication::clipboard()->setText(path, QClipboard::Clipboard);
                });
            return row.widget;
        }));
    }
    DeferredRowBuilder::of(list).buildVisibleRows();
}

} // namespace velmora
