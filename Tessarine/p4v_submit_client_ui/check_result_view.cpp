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

#include <memory>
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
// far from it (deferred_rows.h). Each builder below wires the row's button.

namespace {

    // "查看" of a group row: that group's errors.
    void showCheckerGroupErrors(P4VSubmitClientUI* window, const CheckResult& result, int group_index)
    {
        runGuarded(window, [&] { window->displayErrorsOfSpecifiedType(result, group_index); });
    }

    // "返回" of a detail view: the summary it was opened from.
    void backToCheckResult(P4VSubmitClientUI* window, const CheckResult& result)
    {
        window->displayCheckResult(result);
    }

    // "复制" of an error row: the path as received.
    void copyAssetPath(P4VSubmitClientUI* window, const QString& path)
    {
        runGuarded(window, [&] { QGuiApplication::clipboard()->setText(path, QClipboard::Clipboard); });
    }

    QWidget* groupRowOpeningErrors(
        P4VSubmitClientUI* window, const CheckResult& result, int group_index, const QString& colour)
    {
        const check_result_rows::ButtonRow row
            = check_result_rows::groupRow(result.ErrorGroups.at(group_index), colour);
        QObject::connect(row.button, &QPushButton::clicked, row.button,
            [window, result, group_index] { showCheckerGroupErrors(window, result, group_index); });
        return row.widget;
    }

    QWidget* detailHeaderGoingBack(
        P4VSubmitClientUI* window, const CheckResult& result, const QString& title, const QString& colour)
    {
        const check_result_rows::ButtonRow header = check_result_rows::detailHeaderRow(title, colour);
        QObject::connect(header.button, &QPushButton::clicked, header.button,
            [window, result] { backToCheckResult(window, result); });
        return header.widget;
    }

    QWidget* errorRowCopyingPath(P4VSubmitClientUI* window, int number, const CheckerItem& error,
        const QString& colour, const check_result_rows::ErrorBoxHeights& heights)
    {
        const check_result_rows::ButtonRow row = check_result_rows::errorRow(number, error, colour, heights);
        if (row.button) {
            QObject::connect(row.button, &QPushButton::clicked, row.button,
                [window, path = error.AssetPath] { copyAssetPath(window, path); });
        }
        return row.widget;
    }

} // namespace

void P4VSubmitClientUI::displayCheckResult(velmora::CheckResult check_result)
{
    runGuarded(this, [this, &check_result] {
        generateHeaderWidght(!check_result.Passed);
        if (!check_result.Passed)
            generateErrorList(check_result);
        result_rows_->showNewRows();
    });
}

void P4VSubmitClientUI::generateHeaderWidght(bool failed)
{
    QListWidget* list = ui_->console_text_result_info_;
    list->clear();
    list->addItem(new DeferredRowItem(
        check_result_rows::kHeaderSize, [failed](int) { return check_result_rows::verdictRow(failed); }));
}

void P4VSubmitClientUI::generateErrorList(CheckResult check_result)
{
    QListWidget* list = ui_->console_text_result_info_;
    for (int i = 0; i < check_result.ErrorGroups.size(); ++i) {
        const QString colour = colorForText(check_result.ErrorGroups.at(i).CheckerTitle);
        list->addItem(
            new DeferredRowItem(check_result_rows::kGroupSize, [this, check_result, i, colour](int) {
                return groupRowOpeningErrors(this, check_result, i, colour);
            }));
    }
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
        check_result_rows::kHeaderSize, [this, check_result, title = group.CheckerTitle, colour](int) {
            return detailHeaderGoingBack(this, check_result, title, colour);
        }));

    // Shared by the rows, which measure their boxes for whatever width the list gives them.
    const auto measure = std::make_shared<check_result_rows::ErrorBoxMeasure>(list->viewport()->font());
    for (int j = 0; j < group.Errs.size(); ++j) {
        const CheckerItem& error = group.Errs.at(j);
        list->addItem(new DeferredRowItem(
            [measure, error](int row_width) { return measure->heights(error, row_width).itemHeight(); },
            [this, measure, j, error, colour](int row_width) {
                return errorRowCopyingPath(this, j + 1, error, colour, measure->heights(error, row_width));
            }));
    }
    result_rows_->showNewRows();
}

} // namespace velmora
