// The check-result view on the real window: the rows of the summary and of a
// group's detail view cell by cell, the group colours, the buttons, and rows
// that are built only as they come into view.
#include "window_fixture.h"

#include "p4v_submit_client_ui/check_result_rows.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QCryptographicHash>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

namespace velmora::testing {
namespace {

    constexpr int kWaitMs = 15000;

    // One grid cell of a row widget: what stands there and what it shows.
    struct Cell {
        QString kind; // class name, or "spacer"
        QString text;
        int row = 0;
        int column = 0;
        int row_span = 1;
        int column_span = 1;

        bool operator==(const Cell& other) const
        {
            return kind == other.kind && text == other.text && row == other.row && column == other.column
                && row_span == other.row_span && column_span == other.column_span;
        }
    };

    void PrintTo(const Cell& cell, std::ostream* os)
    {
        *os << cell.kind.toStdString() << " \"" << cell.text.toStdString() << "\" at " << cell.row << ","
            << cell.column << " span " << cell.row_span << "x" << cell.column_span;
    }

    QList<Cell> cellsOf(QWidget* row)
    {
        QList<Cell> cells;
        auto* grid = row ? qobject_cast<QGridLayout*>(row->layout()) : nullptr;
        if (!grid)
            return cells;
        for (int i = 0; i < grid->count(); ++i) {
            Cell cell;
            grid->getItemPosition(i, &cell.row, &cell.column, &cell.row_span, &cell.column_span);
            QWidget* widget = grid->itemAt(i)->widget();
            cell.kind = widget ? widget->metaObject()->className() : "spacer";
            if (auto* label = qobject_cast<QLabel*>(widget))
                cell.text = label->text();
            else if (auto* browser = qobject_cast<QTextBrowser*>(widget))
                cell.text = browser->toPlainText();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                cell.text = button->text();
            cells << cell;
        }
        return cells;
    }

    template <typename T> T* childAt(QWidget* row, int grid_row, int grid_column)
    {
        auto* grid = qobject_cast<QGridLayout*>(row->layout());
        QLayoutItem* item = grid ? grid->itemAtPosition(grid_row, grid_column) : nullptr;
        return item ? qobject_cast<T*>(item->widget()) : nullptr;
    }

    CheckerGroup group(const QString& title, const QList<CheckerItem>& errors)
    {
        CheckerGroup group;
        group.CheckerTitle = title;
        group.Errs = errors;
        return group;
    }

    CheckResult result(bool passed, const QList<CheckerGroup>& groups)
    {
        CheckResult result;
        result.Passed = passed;
        result.ErrorGroups = groups;
        return result;
    }

    CheckerItem error(int i)
    {
        return { QString("//streams/main/Game/角色_%1/T_%1_D.uasset").arg(i),
            QString("贴图尺寸不是 2 的幂 #%1").arg(i) };
    }

    class CheckResultViewTest : public WindowFixture {
    protected:
        void SetUp() override
        {
            WindowFixture::SetUp();
            openWindow("[feature] 检查结果");
            list_ = widget<QListWidget>("console_text_result_info_");
        }

        void show(const CheckResult& check_result) { emit client_->checkResultArrived(check_result); }
        QWidget* rowWidget(int row) const { return list_->itemWidget(list_->item(row)); }
        QPushButton* buttonOf(int row, int grid_row, int grid_column) const
        {
            return childAt<QPushButton>(rowWidget(row), grid_row, grid_column);
        }
        QStringList groupTitles() const
        {
            QStringList titles;
            for (int row = 1; row < list_->count(); ++row)
                titles << cellsOf(rowWidget(row)).value(0).text;
            return titles;
        }
        // The height a text box gets for this text in this list.
        int boxHeightFor(const QString& text) const
        {
            const QRect rect = QTextBrowser().fontMetrics().boundingRect(
                QRect(0, 0, list_->width() - 2, 0), Qt::TextWrapAnywhere, text);
            return check_result_rows::textBoxHeight(rect.height());
        }

        QListWidget* list_ = nullptr;
    };

    TEST_F(CheckResultViewTest, TheHeaderRowShowsTheVerdictAndAPassedCheckNothingElse)
    {
        struct Case {
            bool passed;
            QString text;
            QString badge;
        };
        const QList<CheckerGroup> groups { group("Naming", { error(1) }) };
        for (const Case& c :
            { Case { true, "通过", "lightgreen" }, Case { false, "失败", "rgb(255, 147, 131)" } }) {
            SCOPED_TRACE(c.text.toStdString());
            show(result(c.passed, c.passed ? groups : QList<CheckerGroup> {}));
            ASSERT_EQ(list_->count(), 1);
            EXPECT_EQ(list_->item(0)->sizeHint(), QSize(30, 50));
            QWidget* row = rowWidget(0);
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(row->styleSheet(),
                "QWidget{background-color:rgb(230,230,230);border-radius:3px;margin:5px;padding:0px;}");
            EXPECT_EQ(cellsOf(row),
                (QList<Cell> { { "spacer", "", 0, 0 }, { "QLabel", "", 0, 1 }, { "QLabel", c.text, 0, 2 },
                    { "spacer", "", 0, 3 } }));
            auto* grid = qobject_cast<QGridLayout*>(row->layout());
            EXPECT_EQ(grid->contentsMargins(), QMargins(0, 0, 0, 0));
            EXPECT_EQ(grid->itemAtPosition(0, 1)->alignment(), Qt::AlignRight | Qt::AlignVCenter);
            EXPECT_EQ(grid->itemAtPosition(0, 2)->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
            auto* badge = childAt<QLabel>(row, 0, 1);
            EXPECT_EQ(badge->size(), QSize(22, 22));
            EXPECT_TRUE(badge->styleSheet().contains("background-color:" + c.badge + ";"));
            auto* verdict = childAt<QLabel>(row, 0, 2);
            EXPECT_EQ(verdict->minimumSize(), QSize(50, 30));
            EXPECT_EQ(verdict->maximumSize(), QSize(50, 30));
            EXPECT_EQ(verdict->alignment(), Qt::AlignCenter);
        }
    }

    TEST_F(CheckResultViewTest, GroupRowsShowTitleCountAndOpenButtonInTheTitlesColour)
    {
        struct Case {
            QString title;
            int errors;
            QString colour;
        };
        const QList<Case> cases {
            { "", 1, "rgb(249,150,227)" }, { "abc", 0, "rgb(227,249,238)" },
            { QString("abc") + QChar(0) + "ignored", 2, "rgb(227,249,238)" }, // counts up to the NUL
        };
        QList<CheckerGroup> groups;
        for (const Case& c : cases) {
            QList<CheckerItem> errors;
            for (int i = 0; i < c.errors; ++i)
                errors << error(i);
            groups << group(c.title, errors);
        }
        show(result(false, groups));
        ASSERT_EQ(list_->count(), 4);
        for (int i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(list_->item(i + 1)->sizeHint(), QSize(30, 80));
            QWidget* row = rowWidget(i + 1);
            ASSERT_NE(row, nullptr);
            EXPECT_TRUE(row->styleSheet().startsWith(
                "QWidget{font-family:Microsoft Yahei;background-color:" + cases[i].colour + ";"))
                << row->styleSheet().toStdString();
            EXPECT_EQ(cellsOf(row),
                (QList<Cell> { { "QTextBrowser", cases[i].title, 1, 1, 2, 3 },
                    { "QLabel", QString("%1 处").arg(cases[i].errors), 1, 4 },
                    { "QPushButton", "查看", 2, 4 } }));
            QPushButton* open = buttonOf(i + 1, 2, 4);
            EXPECT_EQ(open->minimumSize(), QSize(70, 34));
            EXPECT_EQ(open->maximumSize(), QSize(70, 34));
            EXPECT_EQ(open->toolTip(), "Error Information");
            auto* grid = qobject_cast<QGridLayout*>(row->layout());
            EXPECT_EQ(grid->contentsMargins(), QMargins(3, 3, 3, 3));
            EXPECT_EQ(grid->horizontalSpacing(), 3);
            EXPECT_EQ(grid->verticalSpacing(), 0);
        }
    }

    TEST_F(CheckResultViewTest, ADigestEndingInFGivesTheHighestShade)
    {
        QString title;
        for (int i = 0; title.isEmpty(); ++i) {
            const QString candidate = QString("Checker %1").arg(i);
            if (QCryptographicHash::hash(candidate.toUtf8(), QCryptographicHash::Sha1).toHex().endsWith('f'))
                title = candidate;
        }
        show(result(false, { group(title, { error(1) }) }));
        EXPECT_TRUE(rowWidget(1)->styleSheet().contains("background-color:rgb(249,")) << title.toStdString();
        // The same colour in the group's detail view.
        QTest::mouseClick(buttonOf(1, 2, 4), Qt::LeftButton);
        EXPECT_TRUE(rowWidget(0)->styleSheet().contains("background-color:rgb(249,"));
    }

    TEST_F(CheckResultViewTest, TheDetailViewShowsEachErrorWithItsBoxesNumberedFromOne)
    {
        const QString long_message
            = QString("命名不符合规范：资源名必须以 T_ 开头，并以 _D 结尾。").repeated(8);
        const QList<CheckerItem> errors {
            { "//streams/main/Game/角色 A/T_Hero_D.uasset", long_message },
            { "", "no path here" },
        };
        show(result(false, { group("Empty", {}), group("NamingChecker", errors) }));
        QTest::mouseClick(buttonOf(2, 2, 4), Qt::LeftButton);
        ASSERT_EQ(list_->count(), 3);

        QWidget* header = rowWidget(0);
        EXPECT_EQ(list_->item(0)->sizeHint(), QSize(30, 50));
        EXPECT_EQ(cellsOf(header),
            (QList<Cell> { { "QPushButton", "返回", 1, 1 }, { "QLabel", "NamingChecker", 1, 2, 1, 3 } }));
        EXPECT_EQ(buttonOf(0, 1, 1)->minimumSize(), QSize(66, 34));
        EXPECT_EQ(buttonOf(0, 1, 1)->maximumSize(), QSize(66, 34));

        QWidget* with_path = rowWidget(1);
        EXPECT_EQ(cellsOf(with_path),
            (QList<Cell> { { "QLabel", "1", 1, 1 }, { "QTextBrowser", errors[0].AssetPath, 2, 1, 1, 8 },
                { "QPushButton", "复制", 1, 8 }, { "QTextBrowser", long_message, 3, 1, 1, 8 } }));
        auto* path = childAt<QTextBrowser>(with_path, 2, 1);
        auto* message = childAt<QTextBrowser>(with_path, 3, 1);
        EXPECT_EQ(path->wordWrapMode(), QTextOption::WrapAnywhere);
        EXPECT_EQ(message->wordWrapMode(), QTextBrowser().wordWrapMode());
        const int path_height = boxHeightFor(errors[0].AssetPath);
        const int message_height = boxHeightFor(long_message);
        EXPECT_GT(message_height, 28); // it wraps
        EXPECT_EQ(path->minimumHeight(), path_height);
        EXPECT_EQ(path->maximumHeight(), path_height);
        EXPECT_EQ(message->minimumHeight(), message_height);
        EXPECT_EQ(message->maximumHeight(), message_height);
        EXPECT_EQ(list_->item(1)->sizeHint(), QSize(30, message_height + 36 + path_height));

        EXPECT_EQ(cellsOf(rowWidget(2)),
            (QList<Cell> { { "QLabel", "2", 1, 1 }, { "QTextBrowser", "no path here", 3, 1, 1, 8 } }));
        EXPECT_EQ(list_->item(2)->sizeHint(), QSize(30, boxHeightFor("no path here") + 36));

        // A group without errors: its header alone.
        QTest::mouseClick(buttonOf(0, 1, 1), Qt::LeftButton);
        QTest::mouseClick(buttonOf(1, 2, 4), Qt::LeftButton);
        ASSERT_EQ(list_->count(), 1);
        EXPECT_EQ(cellsOf(rowWidget(0)).value(1).text, "Empty");
    }

    TEST_F(CheckResultViewTest, BoxHeightIsTheNextMultipleOf14HoldingTheTextAndTwoPixels)
    {
        for (const auto& [measured, box] :
            { std::pair { 0, 14 }, { 12, 14 }, { 13, 28 }, { 26, 28 }, { 27, 42 } })
            EXPECT_EQ(check_result_rows::textBoxHeight(measured), box) << measured;
    }

    TEST_F(CheckResultViewTest, ViewThenBackRebuildsTheSameSummaryFromInsideTheClickedButtons)
    {
        const CheckResult check { result(false,
            { group("Naming", { error(1) }), group("Texture", { error(2), error(3) }),
                group("Audio", { error(4) }) }) };
        show(check);
        const QStringList summary = groupTitles();
        EXPECT_EQ(summary, (QStringList { "Naming", "Texture", "Audio" }));

        // The list is rebuilt inside the clicked button's own handler; the
        // button survives until control is back in the event loop.
        QPointer<QPushButton> open = buttonOf(2, 2, 4);
        QTest::mouseClick(open, Qt::LeftButton);
        ASSERT_EQ(list_->count(), 3);
        EXPECT_EQ(cellsOf(rowWidget(0)).value(1).text, "Texture");
        EXPECT_FALSE(open.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(open.isNull());

        QPointer<QPushButton> back = buttonOf(0, 1, 1);
        QTest::mouseClick(back, Qt::LeftButton);
        EXPECT_FALSE(back.isNull());
        EXPECT_EQ(groupTitles(), summary);
        EXPECT_EQ(cellsOf(rowWidget(0)).value(2).text, "失败");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(back.isNull());
    }

    TEST_F(CheckResultViewTest, CopyPutsThePathIntoTheClipboardExactly)
    {
        const QString exact = "  //streams/main/Game/角色 A/T_<b>Hero</b>_D.uasset\t";
        show(result(false, { group("Naming", { { exact, "bad name" } }) }));
        QTest::mouseClick(buttonOf(1, 2, 4), Qt::LeftButton);
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(buttonOf(1, 1, 8), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Clipboard), exact);
    }

    TEST_F(CheckResultViewTest, ANewResultReplacesADetailViewAndABadIndexChangesNothing)
    {
        show(result(false, { group("Naming", { error(1), error(2) }) }));
        QTest::mouseClick(buttonOf(1, 2, 4), Qt::LeftButton);
        ASSERT_EQ(list_->count(), 3);

        for (int index : { -1, 1, 7 }) {
            const QListWidgetItem* first = list_->item(0);
            window_->displayErrorsOfSpecifiedType(result(false, { group("Other", { error(3) }) }), index);
            EXPECT_EQ(list_->count(), 3) << index;
            EXPECT_EQ(list_->item(0), first) << index;
            EXPECT_EQ(cellsOf(rowWidget(0)).value(1).text, "Naming") << index;
        }

        show(result(false, { group("Texture", {}), group("Audio", {}) }));
        EXPECT_EQ(groupTitles(), (QStringList { "Texture", "Audio" }));
    }

    TEST_F(CheckResultViewTest, RowsGetTheirWidgetsAsTheyComeIntoViewAndLoseThemFarAway)
    {
        QList<CheckerItem> errors;
        for (int i = 0; i < 400; ++i)
            errors << error(i);
        show(result(false, { group("Naming", errors) }));
        QTest::mouseClick(buttonOf(1, 2, 4), Qt::LeftButton);
        ASSERT_EQ(list_->count(), 401);

        // Every item has its height from the start; far rows have no widget yet.
        const int path_height = boxHeightFor(errors[350].AssetPath);
        const int message_height = boxHeightFor(errors[350].Message);
        EXPECT_EQ(list_->item(351)->sizeHint(), QSize(30, message_height + 36 + path_height));
        EXPECT_EQ(rowWidget(351), nullptr);
        ASSERT_NE(rowWidget(0), nullptr);

        list_->scrollToItem(list_->item(351));
        QWidget* row = rowWidget(351);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(cellsOf(row),
            (QList<Cell> { { "QLabel", "351", 1, 1 }, { "QTextBrowser", errors[350].AssetPath, 2, 1, 1, 8 },
                { "QPushButton", "复制", 1, 8 }, { "QTextBrowser", errors[350].Message, 3, 1, 1, 8 } }));
        EXPECT_EQ(childAt<QTextBrowser>(row, 3, 1)->maximumHeight(), message_height);
        EXPECT_TRUE(list_->visualItemRect(list_->item(351)).contains(row->geometry()));
        EXPECT_TRUE(list_->viewport()->rect().intersects(row->geometry()));
        EXPECT_EQ(rowWidget(0), nullptr);

        // Back at the top the header is built again, its button working.
        list_->verticalScrollBar()->setValue(0);
        ASSERT_NE(rowWidget(0), nullptr);
        QTest::mouseClick(buttonOf(0, 1, 1), Qt::LeftButton);
        EXPECT_EQ(groupTitles(), QStringList { "Naming" });
    }

    TEST_F(CheckResultViewTest, AFailedPreCheckFromTheServerOpensGroupByGroup)
    {
        standin::CheckReplyScript failed;
        failed.pieces = { standin::CheckServer::frame(standin::CheckServer::checkResult(false,
            { { "NamingChecker", { { "//streams/main/a.c", "bad name" } } },
                { "TextureChecker", { { "//streams/main/t.png", "too big" }, { "", "budget" } } } })) };
        check_.setScript(failed);
        QTest::mouseClick(widget<QAbstractButton>("pre_submit_btn_"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list_->count(), 3, kWaitMs);
        EXPECT_EQ(groupTitles(), (QStringList { "NamingChecker", "TextureChecker" }));
        QTest::mouseClick(buttonOf(2, 2, 4), Qt::LeftButton);
        ASSERT_EQ(list_->count(), 3);
        EXPECT_EQ(cellsOf(rowWidget(2)),
            (QList<Cell> { { "QLabel", "2", 1, 1 }, { "QTextBrowser", "budget", 3, 1, 1, 8 } }));
    }

} // namespace
} // namespace velmora::testing
