// The review panel over the stand-in review server and depot.
#include "window_fixture.h"

#include "modules/swarm_constants.h"

#include <QAbstractItemModel>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTextDocument>
#include <QTextEdit>

#include <atomic>
#include <functional>

#include <nlohmann/json.hpp>

namespace velmora::testing {
namespace {

    using Route = standin::ReviewServer::Route;
    using Rows = QList<std::pair<QString, QString>>;

    class ReviewPanelTest : public WindowFixture {
    protected:
        QStringList add(const QString& typed)
        {
            widget<QLineEdit>("swarm_user_search_lb_")->setText(typed);
            click("swarm_reviewer_add_btn_");
            return takeBoxes();
        }

        Rows rows() const // every cell centred
        {
            const QAbstractItemModel* model = widget<QTableView>("swarm_reviewer_table_view_")->model();
            Rows shown;
            for (int row = 0; row < model->rowCount(); ++row) {
                for (int column : { 0, 1 })
                    EXPECT_EQ(model->index(row, column).data(Qt::TextAlignmentRole).toInt(), Qt::AlignCenter);
                shown.append(
                    { model->index(row, 0).data().toString(), model->index(row, 1).data().toString() });
            }
            return shown;
        }

        // The search line, the table's menu, add and create.
        void expectPicking(bool picking) const
        {
            for (const char* name : { "swarm_reviewer_add_btn_", "swarm_review_create_btn_" })
                EXPECT_EQ(widget(name)->isEnabled(), picking) << name;
            EXPECT_EQ(widget<QLineEdit>("swarm_user_search_lb_")->isReadOnly(), !picking);
            EXPECT_EQ(widget("swarm_reviewer_table_view_")->findChild<QMenu*>()->isEnabled(), picking);
        }

        QString label(const char* name) const { return widget<QLabel>(name)->text(); }
        bool shelved() const { return !depot_.shelved(change()).empty(); }
    };

    TEST_F(ReviewPanelTest, PanelAndLinkFollowTheReviewStateOfTheLastRefresh)
    {
        const QString base = QString::fromUtf8(kSwarmUrl);
        const Rows reviewers { { "alice", "Alice" }, { "bob", "Bob" }, { "tester", "Test Er" } };
        for (const auto& [state, must_review, shown] :
            { std::tuple<std::string, QString, QString> { "", "是", "UnCreate" },
                { "needsReview", "是", "NeedReview" }, { "approved", "否", "Approved" } }) {
            SCOPED_TRACE(state);
            openWindow();
            ASSERT_EQ(add("albert"), QStringList {});
            if (!state.empty()) {
                reviews_.addReview({ 911, "tester", "", state, { change() }, { "bob", "alice" }, {} });
                reviews_.setComments(
                    911, { { 1, "bob", "looks fine" }, { 2, "alice", "<b>not markup</b>\n第二行" } });
            }
            click("swarm_out_link_btn_");
            click("swarm_refresh_btn_");
            click("swarm_refresh_btn_");
            click("swarm_out_link_btn_");
            EXPECT_EQ(
                urls_, (QList<QUrl> { QUrl(base), QUrl(state.empty() ? base : base + "/reviews/911") }));
            EXPECT_EQ(label("force_changelist_review_state_lb_"), must_review);
            EXPECT_EQ(label("swarm_review_state_lb_"), shown);
            expectPicking(state.empty());
            EXPECT_EQ(rows(), state.empty() ? Rows() : reviewers);
            auto* comments = widget<QTextEdit>("swarm_comment_text_");
            EXPECT_EQ(comments->toPlainText(),
                state.empty() ? "" : "[bob]:looks fine\n[alice]:<b>not markup</b>\n第二行");
            EXPECT_EQ(comments->document()->blockCount(), state.empty() ? 1 : 2); // a paragraph each
            closeWindow();
            urls_.clear();
        }
    }

    TEST_F(ReviewPanelTest, AddTrimsAndRefusesUnknownNamesAndExactDuplicatesDeleteRemovesTheCurrentRow)
    {
        reviews_.setUsers(
            { { "alice", "Alice", "" }, { "ALICE", "Alice Upper", "" }, { "bob", "鲍勃", "" } });
        openWindow();
        const QString unknown = "添加失败,当前用户不存在.";
        const Rows all { { "alice", "Alice" }, { "ALICE", "Alice Upper" }, { "bob", "鲍勃" } };
        for (const auto& [typed, said, count] : { std::tuple<QString, QString, int> { "  alice \t", "", 1 },
                 { "\talice ", "重复添加用户[alice].", 1 }, { "Alice", unknown, 1 }, { "ALICE", "", 2 },
                 { "", unknown, 2 }, { "bob", "", 3 } }) {
            EXPECT_EQ(add(typed).join(""), said) << typed.toStdString();
            EXPECT_EQ(rows(), all.mid(0, count)) << typed.toStdString();
            EXPECT_EQ(widget<QLineEdit>("swarm_user_search_lb_")->text(), typed);
        }

        // "删除" from the menu at the cursor, chosen by keyboard as a user would.
        auto* table = widget<QTableView>("swarm_reviewer_table_view_");
        QCursor::setPos(120, 90);
        for (const auto& [current, left] : { std::pair<int, Rows> { -1, all }, { 1, { all[0], all[2] } } }) {
            table->setCurrentIndex(table->model()->index(current, 0));
            QPoint shown_at;
            QObject chooser;
            std::function<void()> choose = [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (!menu)
                    return QTimer::singleShot(10, &chooser, choose);
                shown_at = menu->pos();
                menu->setActiveAction(menu->actions().value(0));
                QTest::keyClick(menu, Qt::Key_Return);
                menu->close();
            };
            choose();
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QCursor::pos());
            QApplication::sendEvent(table->viewport(), &event);
            EXPECT_EQ(shown_at, QPoint(120, 90));
            EXPECT_EQ(rows(), left) << current;
        }
    }

    TEST_F(ReviewPanelTest, CreateShelvesThenRequestsTheReviewWithTheTagsTheTypedTextAndTheRows)
    {
        for (const auto& [picked, typed] :
            { std::pair<QStringList, QString> { {}, "" }, { { "bob", "alice" }, "  修复 the case \n" } }) {
            openWindow("[fix] loaded text");
            for (const QString& name : picked)
                ASSERT_EQ(add(name), QStringList {});
            widget<QTextEdit>("description_text_edit_")->setPlainText(typed);
            std::atomic<bool> shelved_at_post { false };
            reviews_.setObserver([&](const standin::RecordedRequest& request) {
                shelved_at_post = shelved_at_post || (request.method == "POST" && shelved());
            });
            const size_t posts = reviews_.createBodies().size();
            click("swarm_review_create_btn_");
            reviews_.setObserver(nullptr);
            EXPECT_EQ(takeBoxes(), QStringList {});
            EXPECT_TRUE(shelved_at_post);
            const auto bodies = reviews_.createBodies();
            ASSERT_EQ(bodies.size(), posts + 1);
            const auto body = nlohmann::json::parse(bodies.back());
            EXPECT_EQ(body.at("change"), change());
            EXPECT_EQ(body.at("description"), "[fix]" + typed.toStdString());
            std::vector<std::string> reviewers;
            for (const QString& name : picked)
                reviewers.push_back(name.toStdString());
            EXPECT_EQ(body.at("reviewers"), reviewers);
            // Redrawn on the new review: its participants, the API user among them.
            EXPECT_EQ(label("swarm_review_state_lb_"), "NeedReview");
            const Rows redrawn { { "alice", "Alice" }, { "bob", "Bob" }, { "swarm", "" } };
            EXPECT_EQ(rows(), picked.isEmpty() ? redrawn.mid(2) : redrawn);
            expectPicking(false);
            closeWindow();
        }
    }

    TEST_F(ReviewPanelTest, CreateIsRefusedDuringARunAndAFailingStepEndsInABoxWithThePanelAsItWas)
    {
        const standin::ReviewServer::Reply broken { 500, "<html>Internal Server Error</html>", "text/html" };
        const std::tuple<const char*, std::function<void()>, QString, bool, size_t> cases[] = {
            // what goes wrong, the refusal (empty: a logged failure), a shelf made, reviews requested
            { "submit running", [&] { client_->claimRun(false); }, "正在提交ing,请稍后...", false, 0 },
            { "pre-check running", [&] { client_->claimRun(true); }, "正在预检测ing,请稍后...", false, 0 },
            { "shelve fails", [&] { depot_.injectFault("shelve", "No files to shelve."); }, "", false, 0 },
            { "create fails", [&] { reviews_.setRouteReply(Route::CreateReview, broken); }, "", true, 1 },
            { "must-review check fails", [&] { reviews_.setRouteReply(Route::Workflow, broken); }, "", true,
                1 },
        };
        for (const auto& [name, fail, refusal, shelf, posts] : cases) {
            SCOPED_TRACE(name);
            openWindow();
            ASSERT_EQ(add("alice"), QStringList {});
            const size_t posts_before = reviews_.createBodies().size();
            fail();
            click("swarm_review_create_btn_");
            const QStringList said = takeBoxes();
            ASSERT_EQ(said.size(), 1);
            EXPECT_TRUE(
                refusal.isEmpty() ? logText().contains("ERROR - " + said.first()) : said.first() == refusal)
                << said.first().toStdString();
            EXPECT_EQ(shelved(), shelf);
            EXPECT_EQ(reviews_.createBodies().size() - posts_before, posts);
            EXPECT_EQ(label("swarm_review_state_lb_"), "UnCreate");
            EXPECT_EQ(label("force_changelist_review_state_lb_"), "是");
            EXPECT_EQ(rows(), (Rows { { "alice", "Alice" } }));
            expectPicking(true);
            closeWindow();
            depot_.clearFaults();
            reviews_.clearRouteReply(Route::Workflow);
            reviews_.clearRouteReply(Route::CreateReview);
        }
    }

} // namespace
} // namespace velmora::testing
