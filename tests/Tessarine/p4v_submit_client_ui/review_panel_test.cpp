// The review panel over the stand-in review server and depot: what it shows in
// each review state, picking reviewers, creating the review for the shelved
// change, the browser link, and review-server failures.
#include "window_fixture.h"

#include "modules/swarm_constants.h"
#include "modules/swarm_module.h"
#include "modules/tag_module.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora::testing {
namespace {

    using Route = standin::ReviewServer::Route;
    using Rows = QList<std::pair<QString, QString>>;

    // Picks an entry of the next popup menu by keyboard, as a user would, and
    // keeps where the menu showed.
    class MenuChooser : public QObject {
    public:
        explicit MenuChooser(QString entry)
            : entry_(std::move(entry))
        {
            poll();
        }
        bool shown() const { return shown_; }
        QPoint shownAt() const { return shown_at_; }

    private:
        void poll()
        {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu && !shown_) {
                shown_ = true;
                shown_at_ = menu->pos();
                for (QAction* action : menu->actions())
                    if (action->text() == entry_)
                        menu->setActiveAction(action);
                if (menu->activeAction())
                    QTest::keyClick(menu, Qt::Key_Return);
                else
                    menu->close();
                return;
            }
            QTimer::singleShot(10, this, &MenuChooser::poll);
        }

        QString entry_;
        bool shown_ = false;
        QPoint shown_at_;
    };

    standin::ReviewServer::Review review(int id, const std::string& author, const std::string& state,
        int change, std::vector<std::string> participants)
    {
        standin::ReviewServer::Review made;
        made.id = id;
        made.author = author;
        made.state = state;
        made.changes = { change };
        made.participants = std::move(participants);
        return made;
    }

    class ReviewPanelTest : public WindowFixture {
    protected:
        void open(const std::string& description = "[feature] reviewed change")
        {
            openWindow(description);
            change_ = client_->getSwarmModule()->getPendingId();
        }

        void click(const char* button) { QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton); }

        // Types a name and presses add; returns what the boxes said.
        QStringList add(const QString& typed)
        {
            ModalBoxCloser closer;
            widget<QLineEdit>("swarm_user_search_lb_")->setText(typed);
            click("swarm_reviewer_add_btn_");
            return texts(closer);
        }

        static QStringList texts(const ModalBoxCloser& closer)
        {
            QStringList said;
            for (const auto& box : closer.boxes()) {
                EXPECT_EQ(box.title, "提示");
                said << box.text;
            }
            return said;
        }

        Rows rows() const
        {
            auto* table = widget<QTableView>("swarm_reviewer_table_view_");
            const QAbstractItemModel* model = table->model();
            Rows shown;
            for (int row = 0; row < model->rowCount(); ++row) {
                for (int column = 0; column < 2; ++column)
                    EXPECT_EQ(model->index(row, column).data(Qt::TextAlignmentRole).toInt(), Qt::AlignCenter);
                shown << std::make_pair(
                    model->index(row, 0).data().toString(), model->index(row, 1).data().toString());
            }
            return shown;
        }

        QMenu* reviewerMenu() const
        {
            return widget<QTableView>("swarm_reviewer_table_view_")->findChild<QMenu*>();
        }

        // Whether the controls let the user pick reviewers and create a review.
        void expectPicking(bool picking) const
        {
            EXPECT_EQ(widget<QLineEdit>("swarm_user_search_lb_")->isReadOnly(), !picking);
            EXPECT_EQ(reviewerMenu()->isEnabled(), picking);
            EXPECT_EQ(widget<QPushButton>("swarm_reviewer_add_btn_")->isEnabled(), picking);
            EXPECT_EQ(widget<QPushButton>("swarm_review_create_btn_")->isEnabled(), picking);
        }

        int shelves() const
        {
            int count = 0;
            for (const auto& command : depot_.commands())
                count += !command.empty() && command.front() == "shelve";
            return count;
        }

        int change_ = 0;
    };

    TEST_F(ReviewPanelTest, PanelFollowsTheReviewState)
    {
        struct Case {
            const char* name;
            std::function<void(standin::ReviewServer&, int change)> script;
            QString must_review;
            QString state;
            Rows rows;
            QString comments;
        };
        const Case cases[] = {
            { "no review", [](standin::ReviewServer&, int) {}, "是", "UnCreate", {}, "" },
            { "needs review, a participant the user list lacks, comments and a reply",
                [](standin::ReviewServer& server, int change) {
                    server.addReview(
                        review(911, "tester", "needsReview", change, { "bob", "ghost", "alice" }));
                    server.setComments(911,
                        { { 1, "bob", "looks fine", nlohmann::json::array() },
                            { 2, "alice", "a reply", { { "comment", 1 }, { "version", 1 } } },
                            { 3, "alice", "<b>not markup</b>\n第二行", nlohmann::json::array() } });
                },
                "是", "NeedReview",
                { { "alice", "Alice" }, { "bob", "Bob" }, { "ghost", "" }, { "tester", "Test Er" } },
                "[bob]:looks fine\n[alice]:<b>not markup</b>\n第二行" },
            { "approved",
                [](standin::ReviewServer& server, int change) {
                    server.addReview(review(912, "Alex", "approved", change, {}));
                },
                "否", "Approved", { { "Alex", "Alex" } }, "" },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            open();
            c.script(reviews_, change_);
            click("swarm_refresh_btn_");
            EXPECT_EQ(widget<QLabel>("force_changelist_review_state_lb_")->text(), c.must_review);
            EXPECT_EQ(widget<QLabel>("swarm_review_state_lb_")->text(), c.state);
            EXPECT_EQ(rows(), c.rows);
            expectPicking(c.state == "UnCreate");
            auto* comments = widget<QTextEdit>("swarm_comment_text_");
            EXPECT_EQ(comments->toPlainText(), c.comments);
            // One paragraph per comment, line breaks inside it.
            if (!c.comments.isEmpty()) {
                EXPECT_EQ(comments->document()->blockCount(), 2);
            }
            window_.reset();
            client_.reset();
        }
    }

    TEST_F(ReviewPanelTest, RefreshEmptiesTheRowsPickedWhileThereIsNoReview)
    {
        open();
        ASSERT_TRUE(add("alice").isEmpty());
        ASSERT_TRUE(add("bob").isEmpty());
        ASSERT_EQ(rows().size(), 2);
        click("swarm_refresh_btn_");
        EXPECT_EQ(rows(), Rows {});
        EXPECT_EQ(widget<QLabel>("swarm_review_state_lb_")->text(), "UnCreate");
        expectPicking(true);
    }

    TEST_F(ReviewPanelTest, AddTrimsTheNameAndRefusesUnknownNamesAndExactDuplicates)
    {
        reviews_.setUsers(
            { { "alice", "Alice", "" }, { "ALICE", "Alice Upper", "" }, { "bob", "鲍勃", "" } });
        open();
        struct Step {
            QString typed;
            QStringList boxes;
            Rows rows;
        };
        const QString unknown = "添加失败,当前用户不存在.";
        const Step steps[] = {
            { "  alice \t", {}, { { "alice", "Alice" } } },
            { "alice", { "重复添加用户[alice]." }, { { "alice", "Alice" } } },
            { "\talice  ", { "重复添加用户[alice]." }, { { "alice", "Alice" } } },
            { "Alice", { unknown }, { { "alice", "Alice" } } },
            { "ALICE", {}, { { "alice", "Alice" }, { "ALICE", "Alice Upper" } } },
            { "", { unknown }, { { "alice", "Alice" }, { "ALICE", "Alice Upper" } } },
            { "ali", { unknown }, { { "alice", "Alice" }, { "ALICE", "Alice Upper" } } },
            { "bob", {}, { { "alice", "Alice" }, { "ALICE", "Alice Upper" }, { "bob", "鲍勃" } } },
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.typed.toStdString());
            EXPECT_EQ(add(step.typed), step.boxes);
            EXPECT_EQ(rows(), step.rows);
            EXPECT_EQ(widget<QLineEdit>("swarm_user_search_lb_")->text(), step.typed);
        }
    }

    TEST_F(ReviewPanelTest, DeleteFromTheContextMenuRemovesTheCurrentRowOnly)
    {
        open();
        for (const char* name : { "alice", "bob", "Alex" })
            ASSERT_TRUE(add(name).isEmpty());
        auto* table = widget<QTableView>("swarm_reviewer_table_view_");
        const QPoint cursor(120, 90);
        QCursor::setPos(cursor);

        struct Step {
            int current_row; // -1: no current index
            Rows rows;
        };
        for (const Step& step : { Step { -1, { { "alice", "Alice" }, { "bob", "Bob" }, { "Alex", "Alex" } } },
                 Step { 1, { { "alice", "Alice" }, { "Alex", "Alex" } } },
                 Step { 1, { { "alice", "Alice" } } } }) {
            SCOPED_TRACE(step.current_row);
            table->setCurrentIndex(table->model()->index(step.current_row, 0));
            ASSERT_EQ(table->currentIndex().row(), step.current_row);
            MenuChooser chooser("删除");
            emit table->customContextMenuRequested(QPoint(5, 5));
            EXPECT_TRUE(chooser.shown());
            EXPECT_EQ(chooser.shownAt(), cursor);
            EXPECT_EQ(rows(), step.rows);
        }
    }

    TEST_F(ReviewPanelTest, CreateShelvesThenRequestsTheReviewWithTheTagsTheTypedTextAndTheRows)
    {
        struct Case {
            QStringList picked;
            std::string typed;
        };
        for (const Case& c : { Case { {}, "" }, Case { { "bob", "alice" }, "  修复 the 50%1 case \n" } }) {
            SCOPED_TRACE(c.typed);
            open("[feature][fix] loaded text");
            // Both tags, in the module's own order.
            const std::string literals = client_->getTagModule()->getCurrentTagsLiterals().toStdString();
            ASSERT_TRUE(literals == "[feature][fix]" || literals == "[fix][feature]") << literals;
            for (const QString& name : c.picked)
                ASSERT_TRUE(add(name).isEmpty());
            widget<QTextEdit>("description_text_edit_")->setPlainText(QString::fromStdString(c.typed));
            // The shelve must come before the review request.
            const size_t posts_before = reviews_.createBodies().size();
            size_t posts_at_shelve = posts_before + 1;
            QObject::connect(
                client_.get(), &P4VSubmitClient::processInfoOutput, window_.get(), [&](const QString& line) {
                    if (line.startsWith("Shelve Changelist"))
                        posts_at_shelve = reviews_.createBodies().size();
                });
            depot_.clearJournal();
            reviews_.clearRequests();

            ModalBoxCloser closer;
            click("swarm_review_create_btn_");
            EXPECT_EQ(texts(closer), QStringList {});
            EXPECT_EQ(posts_at_shelve, posts_before);
            EXPECT_EQ(shelves(), 1);
            EXPECT_FALSE(depot_.shelved(change_).empty());

            const auto bodies = reviews_.createBodies();
            ASSERT_EQ(bodies.size(), posts_before + 1);
            const auto body = nlohmann::ordered_json::parse(bodies.back());
            EXPECT_EQ(body.at("change"), change_);
            EXPECT_EQ(body.at("description").get<std::string>(), literals + c.typed);
            std::vector<std::string> reviewers;
            for (const QString& name : c.picked)
                reviewers.push_back(name.toStdString());
            EXPECT_EQ(body.at("reviewers").get<std::vector<std::string>>(), reviewers);
            // After the POST the module refreshes, then refreshes once more for the redraw.
            const auto requests = reviews_.requests();
            ASSERT_FALSE(requests.empty());
            EXPECT_EQ(requests.front().method, "POST");
            EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                          [](const auto& r) { return r.target.find("/check?") != std::string::npos; }),
                2);

            // Redrawn on the new review: its participants, the API user included.
            EXPECT_EQ(widget<QLabel>("swarm_review_state_lb_")->text(), "NeedReview");
            Rows expected { { "swarm", "" } };
            if (!c.picked.isEmpty())
                expected = { { "alice", "Alice" }, { "bob", "Bob" }, { "swarm", "" } };
            EXPECT_EQ(rows(), expected);
            expectPicking(false);
            window_.reset();
            client_.reset();
        }
    }

    TEST_F(ReviewPanelTest, CreateWhileARunIsInProgressIsRefusedWithoutShelvingOrRequesting)
    {
        standin::CheckReplyScript hold;
        hold.never_answer = true;
        check_.setScript(hold);
        struct Case {
            bool pre_check;
            int state;
            QString text;
        };
        for (const Case& c : { Case { false, SubmitState::Submitting, "正在提交ing,请稍后..." },
                 Case { true, SubmitState::PreChecking, "正在预检测ing,请稍后..." } }) {
            SCOPED_TRACE(c.pre_check);
            open();
            ASSERT_TRUE(add("alice").isEmpty());
            check_.clearRequests();
            emit window_->submitClicked(c.pre_check);
            QTRY_VERIFY_WITH_TIMEOUT(!check_.requests().empty(), 10000);
            ASSERT_EQ(client_->getSubmitState(), c.state);
            depot_.clearJournal();
            reviews_.clearRequests();

            ModalBoxCloser closer;
            click("swarm_review_create_btn_");
            EXPECT_EQ(texts(closer), QStringList { c.text });
            EXPECT_EQ(shelves(), 0);
            EXPECT_TRUE(reviews_.requests().empty());
            EXPECT_EQ(rows(), (Rows { { "alice", "Alice" } }));
            window_.reset();
            client_.reset();
        }
    }

    TEST_F(ReviewPanelTest, LinkOpensTheBaseUrlWithoutAReviewAndTheReviewWithOne)
    {
        open();
        const QString base = QString::fromUtf8(kSwarmUrl);
        click("swarm_out_link_btn_");
        // The link follows the last refresh, not the server.
        reviews_.addReview(review(4321, "bob", "needsReview", change_, {}));
        click("swarm_out_link_btn_");
        click("swarm_refresh_btn_");
        click("swarm_out_link_btn_");
        EXPECT_EQ(browser_.urls(), (QList<QUrl> { QUrl(base), QUrl(base), QUrl(base + "/reviews/4321") }));
    }

    TEST_F(ReviewPanelTest, FailingRefreshShowsABoxAndLeavesThePanelAsItWas)
    {
        open();
        ASSERT_TRUE(add("alice").isEmpty());
        const standin::ReviewServer::Reply broken { 500, "<html>Internal Server Error</html>", "text/html" };
        // Each request of the refresh and of the redraw in turn, then no server at all.
        const std::pair<const char*, std::function<void()>> cases[] = {
            { "check answers 500", [&] { reviews_.setRouteReply(Route::ChangeCheck, broken); } },
            { "review query answers 500", [&] { reviews_.setRouteReply(Route::Reviews, broken); } },
            { "must-review check answers 500", [&] { reviews_.setRouteReply(Route::Workflow, broken); } },
            { "server down", [&] { reviews_.stop(); } },
        };
        for (const auto& [name, fail] : cases) {
            SCOPED_TRACE(name);
            fail();
            ModalBoxCloser closer;
            click("swarm_refresh_btn_");
            ASSERT_EQ(closer.boxes().size(), 1);
            EXPECT_EQ(closer.boxes().first().title, "提示");
            EXPECT_TRUE(logText().contains("ERROR - " + closer.boxes().first().text));
            // Not redrawn: the rows picked so far stay.
            EXPECT_EQ(rows(), (Rows { { "alice", "Alice" } }));
            EXPECT_EQ(widget<QLabel>("swarm_review_state_lb_")->text(), "UnCreate");
            EXPECT_EQ(widget<QLabel>("force_changelist_review_state_lb_")->text(), "是");
            expectPicking(true);
            for (Route route : { Route::ChangeCheck, Route::Reviews, Route::Workflow })
                reviews_.clearRouteReply(route);
        }
        // The window goes on.
        EXPECT_TRUE(add("bob").isEmpty());
        EXPECT_EQ(rows().size(), 2);
    }

    TEST_F(ReviewPanelTest, FailingCreateStopsAtTheFailingStepWithABoxAndThePanelAsItWas)
    {
        struct Case {
            const char* name;
            std::function<void()> fail;
            bool shelved;
            size_t posts;
            bool request_is_last; // the POST, when nothing refreshed after it
        };
        const standin::ReviewServer::Reply broken { 500, "<html>Internal Server Error</html>", "text/html" };
        const Case cases[] = {
            { "shelve fails", [&] { depot_.injectFault("shelve", "No files to shelve."); }, false, 0, false },
            { "create answers 500", [&] { reviews_.setRouteReply(Route::CreateReview, broken); }, true, 1,
                true },
            { "create refused: review exists",
                [&] {
                    reviews_.setRouteReply(Route::CreateReview,
                        { 400, R"({"error":"A Review for change 1 already exists.","isValid":false})" });
                },
                true, 1, true },
            { "refresh after create fails", [&] { reviews_.setRouteReply(Route::ChangeCheck, broken); }, true,
                1, false },
            { "server down", [&] { reviews_.stop(); }, true, 0, false },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            open();
            ASSERT_TRUE(add("alice").isEmpty());
            ASSERT_TRUE(add("bob").isEmpty());
            depot_.clearJournal();
            reviews_.clearRequests();
            const size_t posts_before = reviews_.createBodies().size();
            c.fail();

            ModalBoxCloser closer;
            click("swarm_review_create_btn_");
            ASSERT_EQ(closer.boxes().size(), 1);
            EXPECT_EQ(closer.boxes().first().title, "提示");
            EXPECT_FALSE(closer.boxes().first().text.isEmpty());
            EXPECT_TRUE(logText().contains("ERROR - " + closer.boxes().first().text));
            EXPECT_EQ(shelves(), 1);
            EXPECT_EQ(!depot_.shelved(change_).empty(), c.shelved);
            EXPECT_EQ(reviews_.createBodies().size() - posts_before, c.posts);
            if (c.request_is_last) {
                const auto requests = reviews_.requests();
                ASSERT_FALSE(requests.empty());
                EXPECT_EQ(requests.back().method, "POST");
            }
            EXPECT_EQ(widget<QLabel>("swarm_review_state_lb_")->text(), "UnCreate");
            EXPECT_EQ(rows(), (Rows { { "alice", "Alice" }, { "bob", "Bob" } }));
            expectPicking(true);

            depot_.clearFaults();
            for (Route route : { Route::CreateReview, Route::ChangeCheck })
                reviews_.clearRouteReply(route);
            window_.reset();
            client_.reset();
        }
    }

} // namespace
} // namespace velmora::testing
