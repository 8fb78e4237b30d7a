// What the window's construction wires: tag boxes, the description rule, the
// editor's first text, the reviewer completer, and failures at its edges.
#include "window_fixture.h"

#include "modules/swarm_module.h"
#include "modules/tag_module.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>

#include <stdexcept>

namespace velmora::testing {
namespace {

    class WindowConstructionTest : public WindowFixture {
    protected:
        // The literals of the given tags in the module's order: the prefix the window writes.
        QString literalsOf(const QStringList& selected) const
        {
            QString literals;
            for (const auto& tag : client_->getTagModule()->getProjectTags())
                if (selected.contains(tag.first))
                    literals += "[" + tag.first + "]";
            return literals;
        }

        QCheckBox* tagBox(const QString& name) const
        {
            for (QCheckBox* box : window_->findChildren<QCheckBox*>())
                if (box->text() == name)
                    return box;
            ADD_FAILURE() << "no tag box " << name.toStdString();
            return nullptr;
        }
    };

    TEST_F(WindowConstructionTest, TagBoxesFillRowsOfThreeInTheModulesOrderCheckedFromTheDescription)
    {
        openWindow("[ui][perf] laid out");
        const auto tags = client_->getTagModule()->getProjectTags();
        auto* grid = widget<QGridLayout>("tag_grid_layout");
        ASSERT_EQ(tags.size(), 5);
        ASSERT_EQ(grid->count(), 5);
        for (int i = 0; i < tags.size(); ++i) {
            SCOPED_TRACE(i);
            QLayoutItem* item = grid->itemAtPosition(i / 3, i % 3);
            ASSERT_NE(item, nullptr);
            auto* box = qobject_cast<QCheckBox*>(item->widget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), tags[i].first);
            EXPECT_EQ(box->toolTip(), tags[i].second);
            EXPECT_EQ(item->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
            EXPECT_EQ(box->isChecked(), tags[i].first == "ui" || tags[i].first == "perf");
        }
        EXPECT_EQ(widget<QTextEdit>("prefix_text_edit_")->toPlainText(), literalsOf({ "ui", "perf" }));
    }

    TEST_F(WindowConstructionTest, EditorTakesTheFreeTextAndTheClientTheCanonicalDescriptionAtOnce)
    {
        struct Case {
            std::string description;
            QStringList tags;
            QString text;
        };
        for (const Case& c : {
                 Case { "[feature][fix]   two tags and padding  \n\n", { "feature", "fix" },
                     "two tags and padding" },
                 Case { "  no tags, kept whole \n", {}, "no tags, kept whole" },
                 Case { "[docs]", { "docs" }, "" },
                 Case { "[docs] [fix] a blank ends the run", { "docs" }, "[fix] a blank ends the run" },
                 Case { "[ui]第一行\n第二行", { "ui" }, "第一行\n第二行" },
             }) {
            SCOPED_TRACE(c.description);
            openWindow(c.description);
            EXPECT_EQ(widget<QTextEdit>("description_text_edit_")->toPlainText(), c.text);
            EXPECT_EQ(client_->getDescription(), literalsOf(c.tags) + " " + c.text);
            window_.reset();
            client_.reset();
        }
    }

    TEST_F(WindowConstructionTest, DescriptionIsTagsOneBlankAndTheTrimmedText)
    {
        struct Case {
            QStringList tags;
            QString typed;
            QString text;
        };
        openWindow("start");
        auto* editor = widget<QTextEdit>("description_text_edit_");
        auto* prefix = widget<QTextEdit>("prefix_text_edit_");
        QStringList selected;
        for (const Case& c : {
                 Case { { "fix", "ui" }, "   padded text \t\n ", "padded text" },
                 Case { {}, "no tag", "no tag" },
                 Case { { "docs" }, "", "" },
                 Case { { "feature" }, "50%1 of %2 done", "50%1 of %2 done" },
             }) {
            SCOPED_TRACE(c.typed.toStdString());
            for (const char* name : { "feature", "fix", "ui", "docs", "perf" }) {
                QCheckBox* box = tagBox(name);
                ASSERT_NE(box, nullptr);
                if (box->isChecked() != c.tags.contains(name))
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            }
            // A tag change shows at once in the prefix box but reaches the
            // description only with the next edit.
            EXPECT_EQ(prefix->toPlainText(), literalsOf(c.tags));
            EXPECT_EQ(
                client_->getDescription(), literalsOf(selected) + " " + editor->toPlainText().trimmed());
            editor->setPlainText(c.typed);
            EXPECT_EQ(client_->getDescription(), literalsOf(c.tags) + " " + c.text);
            selected = c.tags;
        }
    }

    TEST_F(WindowConstructionTest, CompleterOffersTheUsersKnownAtStartByTheirNamesStart)
    {
        openWindow("[feature] completer");
        reviews_.setUsers({ { "late", "Joined Later", "" } });
        QCompleter* completer = widget<QLineEdit>("swarm_user_search_lb_")->completer();
        ASSERT_NE(completer, nullptr);
        QStringList offered;
        for (int row = 0; row < completer->model()->rowCount(); ++row)
            offered << completer->model()->index(row, 0).data().toString();
        EXPECT_EQ(offered, (QStringList { "tester", "alice", "albert", "Alex", "bob" }));

        struct Case {
            QString prefix;
            QStringList proposed;
        };
        for (const Case& c : { Case { "al", { "alice", "albert" } }, Case { "Al", { "Alex" } },
                 Case { "lic", {} }, Case { "late", {} } }) {
            completer->setCompletionPrefix(c.prefix);
            QStringList proposed;
            for (int row = 0; row < completer->completionCount(); ++row) {
                completer->setCurrentRow(row);
                proposed << completer->currentCompletion();
            }
            EXPECT_EQ(proposed, c.proposed) << c.prefix.toStdString();
        }
    }

    TEST_F(WindowConstructionTest, ReviewPanelIsFilledBeforeTheWindowShows)
    {
        openClient("[feature] shown late");
        bool visible_while_refreshing = true;
        QObject::connect(client_->getSwarmModule(), &SwarmModule::updateSwarmInfoCompleted, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->objectName() == "Brelling")
                    visible_while_refreshing = top->isVisible();
        });
        window_ = std::make_unique<P4VSubmitClientUI>(client_.get(), nullptr);
        EXPECT_FALSE(visible_while_refreshing);
        EXPECT_TRUE(window_->isVisible());
        EXPECT_EQ(widget<QLabel>("swarm_review_state_lb_")->text(), "UnCreate");
        EXPECT_EQ(widget<QLabel>("force_changelist_review_state_lb_")->text(), "是");
    }

    TEST_F(WindowConstructionTest, AFailingReviewRequestInAHandlerShowsABoxAndTheWindowGoesOn)
    {
        openWindow("[feature] still works");
        auto* state = widget<QLabel>("force_changelist_review_state_lb_");
        reviews_.setUserExclusions({ "swarm" });
        reviews_.setRouteReply(standin::ReviewServer::Route::Workflow, { 500, "workflow store down" });
        {
            ModalBoxCloser closer;
            emit window_->updateSwarmInfo();
            ASSERT_EQ(closer.boxes().size(), 1);
            EXPECT_EQ(closer.boxes().first().title, "提示");
            EXPECT_FALSE(closer.boxes().first().text.isEmpty());
            EXPECT_TRUE(logText().contains("ERROR - " + closer.boxes().first().text));
        }
        EXPECT_EQ(state->text(), "是"); // the panel keeps what it showed

        reviews_.clearRouteReply(standin::ReviewServer::Route::Workflow);
        emit window_->updateSwarmInfo();
        EXPECT_EQ(state->text(), "否");
        widget<QTextEdit>("description_text_edit_")->setPlainText("edited after the failure");
        EXPECT_EQ(client_->getDescription(), "[feature] edited after the failure");
    }

    TEST_F(WindowConstructionTest, AFailureDuringConstructionGoesOnToStartUp)
    {
        openClient("[feature] no review server");
        reviews_.setRouteReply(standin::ReviewServer::Route::ChangeCheck, { 500, "down" });
        EXPECT_THROW(P4VSubmitClientUI(client_.get(), nullptr), std::exception);
    }

} // namespace
} // namespace velmora::testing
