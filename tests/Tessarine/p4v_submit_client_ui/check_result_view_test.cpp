// The check-result view: summary and detail rows cell by cell, the group
// colours, the buttons, and rows built as they come into view.
#include "window_fixture.h"

#include "p4v_submit_client_ui/check_result_rows.h"

#include <QClipboard>
#include <QGridLayout>
#include <QListWidget>
#include <QScrollBar>
#include <QTextBrowser>

namespace velmora::testing {
namespace {

    CheckResult failed(const QList<std::pair<QString, QList<CheckerItem>>>& groups)
    {
        CheckResult result;
        for (const auto& [title, errors] : groups)
            result.ErrorGroups << CheckerGroup { errors, title };
        return result;
    }

    class CheckResultViewTest : public WindowFixture {
    protected:
        void show(const CheckResult& result) { emit client_->checkResultArrived(result); }
        QListWidget* list() const { return widget<QListWidget>("console_text_result_info_"); }
        QWidget* row(int i) const { return list()->itemWidget(list()->item(i)); }
        QSize hint(int i) const { return list()->item(i)->sizeHint(); }

        QGridLayout* grid(int i) const
        {
            return row(i) ? qobject_cast<QGridLayout*>(row(i)->layout()) : nullptr;
        }

        template <typename T = QWidget> T* cell(int i, int grid_row, int grid_column) const
        {
            QLayoutItem* item = grid(i) ? grid(i)->itemAtPosition(grid_row, grid_column) : nullptr;
            return item ? qobject_cast<T*>(item->widget()) : nullptr;
        }

        // Row i's cells as "kind 'text' row,column rowspan x columnspan".
        QStringList cells(int i) const
        {
            QStringList cells;
            for (int k = 0; grid(i) && k < grid(i)->count(); ++k) {
                int r, c, rs, cs;
                grid(i)->getItemPosition(k, &r, &c, &rs, &cs);
                QWidget* w = grid(i)->itemAt(k)->widget();
                const char* text = qobject_cast<QTextBrowser*>(w) ? "plainText" : "text";
                cells << QString("%1 '%2' %3")
                             .arg(w ? w->metaObject()->className() : "spacer",
                                 w ? w->property(text).toString() : "",
                                 QString::asprintf("%d,%d %dx%d", r, c, rs, cs));
            }
            return cells;
        }

        void press(int i, int grid_row, int grid_column)
        {
            auto* button = cell<QAbstractButton>(i, grid_row, grid_column);
            ASSERT_NE(button, nullptr) << i;
            QTest::mouseClick(button, Qt::LeftButton);
        }
    };

    TEST_F(CheckResultViewTest, TheSummaryShowsTheVerdictAndEachGroupInTheColourOfItsTitle)
    {
        openWindow();
        CheckResult passed = failed({ { "Naming", { { "//a.c", "bad" } } } });
        passed.Passed = true;
        for (const auto& [result, verdict, badge] :
            { std::tuple<CheckResult, QString, QString> { passed, "通过", "lightgreen" },
                { failed({}), "失败", "rgb(255, 147, 131)" } }) {
            show(result);
            ASSERT_EQ(list()->count(), 1);
            EXPECT_EQ(hint(0), QSize(30, 50));
            ASSERT_EQ(cells(0),
                (QStringList { "spacer '' 0,0 1x1", "QLabel '' 0,1 1x1", "QLabel '" + verdict + "' 0,2 1x1",
                    "spacer '' 0,3 1x1" }));
            EXPECT_TRUE(cell(0, 0, 1)->styleSheet().contains("background-color:" + badge + ";"));
        }

        const QList<std::pair<QString, QString>> colours { { "", "rgb(249,150,227)" },
            { "abc", "rgb(227,249,238)" }, { QString("abc") + QChar(0) + "ignored", "rgb(227,249,238)" },
            { "Checker 3", "rgb(249,216,238)" } }; // a digest ending in "f"
        QList<std::pair<QString, QList<CheckerItem>>> groups;
        for (int i = 0; i < colours.size(); ++i)
            groups.append({ colours[i].first, QList<CheckerItem>(i, { "//a.c", "bad" }) });
        show(failed(groups));
        ASSERT_EQ(list()->count(), 5);
        for (int i = 0; i < colours.size(); ++i) {
            EXPECT_EQ(hint(i + 1), QSize(30, 80));
            EXPECT_TRUE(row(i + 1)->styleSheet().contains("background-color:" + colours[i].second + ";"))
                << i;
            EXPECT_EQ(cells(i + 1),
                (QStringList { "QTextBrowser '" + colours[i].first + "' 1,1 2x3",
                    QString("QLabel '%1 处' 1,4 1x1").arg(i), "QPushButton '查看' 2,4 1x1" }));
        }
        press(4, 2, 4);
        EXPECT_TRUE(row(0)->styleSheet().contains("background-color:rgb(249,216,238);"));
    }

    TEST_F(CheckResultViewTest, TheDetailViewNumbersTheErrorsInBoxesSizedToTheirTextAndGoesBack)
    {
        openWindow();
        const QString padded = "  //streams/main/角色 A/T_Hero_D.uasset\t";
        const QString unbroken = QString("T_Hero_D").repeated(80);
        show(failed({ { "Empty", {} },
            { "Naming", { { padded, "名字" }, { "", "no path" }, { unbroken, "bad" } } }, { "Audio", {} } }));
        press(2, 2, 4);
        ASSERT_EQ(list()->count(), 4);
        EXPECT_EQ(hint(0), QSize(30, 50));
        EXPECT_EQ(cells(0), (QStringList { "QPushButton '返回' 1,1 1x1", "QLabel 'Naming' 1,2 1x3" }));
        EXPECT_EQ(cells(1),
            (QStringList { "QLabel '1' 1,1 1x1", "QTextBrowser '" + padded + "' 2,1 1x8",
                "QPushButton '复制' 1,8 1x1", "QTextBrowser '名字' 3,1 1x8" }));
        EXPECT_EQ(cells(2), (QStringList { "QLabel '2' 1,1 1x1", "QTextBrowser 'no path' 3,1 1x8" }));
        QGuiApplication::clipboard()->clear();
        press(1, 1, 8);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), padded);

        // Boxes of whole 14-pixel lines, the text measured as wrapped anywhere.
        for (const auto& [measured, box] :
            { std::pair { 0, 14 }, { 12, 14 }, { 13, 28 }, { 26, 28 }, { 27, 42 } })
            EXPECT_EQ(check_result_rows::textBoxHeight(measured), box) << measured;
        list()->scrollToBottom();
        auto* path = cell<QTextBrowser>(3, 2, 1);
        ASSERT_TRUE(path && cell(3, 3, 1) && cell(2, 3, 1));
        EXPECT_EQ(path->wordWrapMode(), QTextOption::WrapAnywhere);
        EXPECT_GT(path->maximumHeight(), 28);
        EXPECT_EQ(path->maximumHeight() % 14, 0);
        EXPECT_EQ(hint(3), QSize(30, cell(3, 3, 1)->maximumHeight() + 36 + path->maximumHeight()));
        EXPECT_EQ(hint(2), QSize(30, cell(2, 3, 1)->maximumHeight() + 36));

        for (int index : { -1, 3, 7 }) {
            window_->displayErrorsOfSpecifiedType(failed({ { "Other", {} } }), index);
            EXPECT_EQ(list()->count(), 4) << index;
        }
        list()->scrollToTop();
        press(0, 1, 1);
        EXPECT_EQ(cells(0).value(2), "QLabel '失败' 0,2 1x1");
        EXPECT_EQ(cells(3).value(0), "QTextBrowser 'Audio' 1,1 2x3");
        press(1, 2, 4);
        EXPECT_EQ(cells(0).value(1), "QLabel 'Empty' 1,2 1x3");
        EXPECT_EQ(list()->count(), 1);
        show(failed({ { "Naming", {} } })); // a new result replaces the detail view
        EXPECT_EQ(list()->count(), 2);
    }

    TEST_F(CheckResultViewTest, RowsGetTheirWidgetsAsTheyComeIntoViewAndLoseThemFarAway)
    {
        openWindow();
        show(failed(
            { { "Naming", QList<CheckerItem>(400, { "//streams/main/T_D.uasset", "不是 2 的幂" }) } }));
        press(1, 2, 4);
        ASSERT_EQ(list()->count(), 401);
        EXPECT_EQ(row(351), nullptr);
        list()->scrollToItem(list()->item(351));
        EXPECT_EQ(cells(351).value(0), "QLabel '351' 1,1 1x1");
        ASSERT_NE(row(351), nullptr);
        EXPECT_TRUE(list()->visualItemRect(list()->item(351)).contains(row(351)->geometry()));
        EXPECT_EQ(row(0), nullptr);
        list()->verticalScrollBar()->setValue(0);
        press(0, 1, 1);
        EXPECT_EQ(cells(1).value(0), "QTextBrowser 'Naming' 1,1 2x3");
    }

} // namespace
} // namespace velmora::testing
