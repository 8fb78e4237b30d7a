#include "p4v_submit_client_ui/check_result_rows.h"

#include "p4v_submit_client_ui/handler_guard.h"

#include <QDesktopServices>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace velmora::check_result_rows {
namespace {

    // The margin around the group and error rows' grids: an error row's text
    // boxes span the grid, so they are a row's width less two of it.
    constexpr int kTightMargin = 3;
    // The family the rows' style sheets give everything in them.
    constexpr char kRowFontFamily[] = "Microsoft Yahei";

    // Margins 3, spacing 3 across and none down: the group and error rows.
    QGridLayout* tightGrid()
    {
        auto* grid = new QGridLayout();
        grid->setSizeConstraint(QLayout::SetDefaultConstraint);
        grid->setContentsMargins(kTightMargin, kTightMargin, kTightMargin, kTightMargin);
        grid->setHorizontalSpacing(3);
        grid->setVerticalSpacing(0);
        return grid;
    }

    // A text box of the view. A QTextBrowser follows a clicked link itself and,
    // finding no document behind it, goes blank; so the box keeps its text and
    // the link opens in the desktop's browser, as the console's links do.
    QTextBrowser* textBox()
    {
        auto* box = new QTextBrowser();
        box->setOpenLinks(false);
        QObject::connect(box, &QTextBrowser::anchorClicked, box, [box](const QUrl& url) {
            runGuarded(box->window(), [&url] { QDesktopServices::openUrl(url); });
        });
        return box;
    }

    QSpacerItem* sideSpacer()
    {
        return new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    }

} // namespace

QWidget* verdictRow(bool failed)
{
    auto* row = new QWidget();
    row->setStyleSheet(
        "QWidget{background-color:rgb(230,230,230);border-radius:3px;margin:5px;padding:0px;}");
    auto* grid = new QGridLayout();
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addItem(sideSpacer(), 0, 0, 1, 1);

    auto* badge = new QLabel();
    badge->setStyleSheet(QString("QLabel{font-family:Microsoft Yahei;font-weight:bold;background-color:%1;"
                                 "border-radius:6px;}")
                             .arg(failed ? "rgb(255, 147, 131)" : "lightgreen"));
    badge->setFixedSize(22, 22);
    grid->addWidget(badge, 0, 1, 1, 1, Qt::AlignRight | Qt::AlignVCenter);

    auto* verdict = new QLabel(failed ? "失败" : "通过");
    verdict->setAlignment(Qt::AlignCenter);
    verdict->setStyleSheet(
        "QLabel{font-family:Microsoft Yahei;font-size:15px;font-weight:bold;color:black;}");
    verdict->setFixedSize(50, 30);
    grid->addWidget(verdict, 0, 2, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);

    grid->addItem(sideSpacer(), 0, 3, 1, 1);
    row->setLayout(grid);
    return row;
}

ButtonRow groupRow(const CheckerGroup& group, const QString& colour)
{
    auto* row = new QWidget();
    row->setStyleSheet(
        QString("QWidget{font-family:Microsoft Yahei;background-color:%1;border-radius:4px;"
                "margin:3px;padding:0px;} QPushButton{background-color:rgba(255, 255, 255,150);"
                "color:black; border-radius:3px;margin:3px;"
                "icon:url(:/Tessarine/Resource/detail.png);icon-size:12px 12px;}")
            .arg(colour));
    QGridLayout* grid = tightGrid();

    QTextBrowser* title = textBox();
    title->setStyleSheet("margin:5px;font:15px;font-weight:bold;");
    title->setText(group.CheckerTitle);
    grid->addWidget(title, 1, 1, 2, 3);

    auto* count = new QLabel(QString("%1 处").arg(group.Errs.size()));
    count->setAlignment(Qt::AlignCenter);
    count->setStyleSheet("font-weight:bold;");
    grid->addWidget(count, 1, 4, 1, 1);

    auto* open = new QPushButton("查看");
    open->setFixedSize(70, 34);
    open->setToolTip("Error Information");
    grid->addWidget(open, 2, 4, 1, 1);

    row->setLayout(grid);
    return { row, open };
}

ButtonRow detailHeaderRow(const QString& title, const QString& colour)
{
    auto* row = new QWidget();
    row->setStyleSheet(
        QString("QWidget{font-family:Microsoft Yahei;color:black;background-color:%1;border-radius:4px;"
                "margin:5px;padding:0px;}QPushButton{background-color:rgba(255, 255, 255,150); "
                "border-radius:0px;border-radius:3px;margin:3px;margin-left:8px;"
                "icon:url(:/Tessarine/Resource/back.png);icon-size:10px 10px;}")
            .arg(colour));
    auto* grid = new QGridLayout();
    grid->setContentsMargins(0, 0, 0, 0);

    auto* back = new QPushButton("返回");
    back->setFixedSize(66, 34);
    grid->addWidget(back, 1, 1, 1, 1);

    auto* label = new QLabel(title);
    label->setStyleSheet("font-weight:bold;font-size:15px;");
    // The title's links open as they do in the summary's box.
    label->setOpenExternalLinks(true);
    grid->addWidget(label, 1, 2, 1, 3);

    row->setLayout(grid);
    return { row, back };
}

int textBoxHeight(int text_height)
{
    return std::max(14, static_cast<int>(std::ceil(text_height / 14.0)) * 14);
}

ErrorBoxMeasure::ErrorBoxMeasure(const QFont& list_font)
{
    QFont font = list_font;
    font.setFamilies({ QString::fromLatin1(kRowFontFamily) });
    for (auto [document, wrap_mode] : { std::pair { &path_document_, QTextOption::WrapAnywhere },
             { &message_document_, QTextOption::WrapAtWordBoundaryOrAnywhere } }) {
        document->setDefaultFont(font);
        QTextOption option = document->defaultTextOption();
        option.setWrapMode(wrap_mode);
        document->setDefaultTextOption(option);
    }
}

ErrorBoxHeights ErrorBoxMeasure::heights(const CheckerItem& error, int row_width)
{
    // The boxes draw no frame (their style sheets give them no border), so
    // their text is as wide as they are.
    const int box_width = row_width - 2 * kTightMargin;
    ErrorBoxHeights heights;
    if (!error.AssetPath.isEmpty())
        heights.path = boxHeight(path_document_, box_width, error.AssetPath);
    heights.message = boxHeight(message_document_, box_width, error.Message);
    return heights;
}

int ErrorBoxMeasure::boxHeight(QTextDocument& document, int box_width, const QString& text)
{
    // Setting a width lays out again whatever the document holds, even at the same width.
    if (document.textWidth() != box_width)
        document.setTextWidth(box_width);
    // Read as QTextEdit::setText reads it.
    if (Qt::mightBeRichText(text))
        document.setHtml(text);
    else
        document.setPlainText(text);
    return textBoxHeight(static_cast<int>(std::ceil(document.size().height())));
}

ButtonRow errorRow(
    int number, const CheckerItem& error, const QString& colour, const ErrorBoxHeights& heights)
{
    auto* row = new QWidget();
    row->setStyleSheet(QString("QWidget{font-family:Microsoft Yahei;background-color:%1;border-radius:4px;"
                               "margin:3px;} QPushButton{background-color:rgba(51, 51, 51,150);"
                               "border-radius:3px;margin:3px;}")
                           .arg(colour));
    QGridLayout* grid = tightGrid();

    auto* label = new QLabel(QString::number(number));
    label->setStyleSheet("font-weight:bold;");
    grid->addWidget(label, 1, 1, 1, 1);

    QPushButton* copy = nullptr;
    if (!error.AssetPath.isEmpty()) {
        QTextBrowser* path = textBox();
        path->setWordWrapMode(QTextOption::WrapAnywhere);
        path->setStyleSheet("background-color:rgba(255,255,255,90);border-radius:0px;margin:0px;");
        path->setText(error.AssetPath);
        path->setFixedHeight(heights.path);
        grid->addWidget(path, 2, 1, 1, 8);

        copy = new QPushButton("复制");
        grid->addWidget(copy, 1, 8, 1, 1);
    }

    QTextBrowser* message = textBox();
    message->setStyleSheet("background-color:rgba(100,100,100,50);border-radius:0px;"
                           "border-bottom-right-radius:4px;border-bottom-left-radius:4px;margin:0px;");
    message->setText(error.Message);
    message->setFixedHeight(heights.message);
    grid->addWidget(message, 3, 1, 1, 8);

    row->setLayout(grid);
    return { row, copy };
}

} // namespace velmora::check_result_rows
