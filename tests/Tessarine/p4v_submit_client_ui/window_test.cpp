// The main window: what it opens on, the description rule, the console, the two
// action buttons over real runs, the check-result view and the review panel.
#include "window_fixture.h"

#include "modules/swarm_constants.h"
#include "p4v_submit_client/submit_state.h"
#include "p4v_submit_client_ui/check_result_rows.h"

#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableView>
#include <QTextBlock>
#include <QTextBrowser>

#include <atomic>
#include <functional>

#include <nlohmann/json.hpp>

namespace velmora::testing {
namespace {

    using namespace SubmitState;
    using Route = standin::ReviewServer::Route;
    using WindowTest = WindowFixture;

    TEST_F(WindowTest, OpensOnTheChangesTextThenTheDescriptionRuleAndTheConsole)
    {
        // Shown only once the constructor's review refresh has returned.
        bool shown_early = false;
        openWindow("[ui]  laid out ", [&] {
            QObject::connect(client_->getSwarmModule(), &SwarmModule::updateSwarmInfoCompleted, [&] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    shown_early |= top->objectName() == "Brelling" && top->isVisible();
            });
        });
        EXPECT_FALSE(shown_early);
        EXPECT_TRUE(window_->isVisible());
        auto* prefix = widget<QTextEdit>("prefix_text_edit_");
        EXPECT_EQ(widget<QTextEdit>("description_text_edit_")->toPlainText(), "laid out");
        EXPECT_EQ(prefix->toPlainText(), "[ui]");
        EXPECT_EQ(client_->getDescription(), "[ui] laid out");

        // A tag cleared shows at once and leaves the description at the next edit, its blank kept.
        for (QCheckBox* box : window_->findChildren<QCheckBox*>())
            box->setChecked(false);
        EXPECT_EQ(prefix->toPlainText(), "");
        EXPECT_EQ(client_->getDescription(), "[ui] laid out");
        type("   padded \t\n ");
        EXPECT_EQ(client_->getDescription(), " padded");

        const QString br(QChar(0x2028)); // a "<br />" read back
        auto* console = widget<QTextBrowser>("console_text_browser_");
        for (const auto& [line, shown, error] :
            { std::tuple<QString, QString, bool> { "a\n\n\r\n\rb", "a" + br + "b", false },
                { "ends with a break\r\n", "ends with a break" + br, true },
                { "<font color='#ff0000'>plain</font>", "plain", true } }) {
            error ? emit client_->errorMessageOutput(line) : emit client_->processInfoOutput(line);
            EXPECT_EQ(console->document()->lastBlock().text(), shown);
            EXPECT_TRUE(logged((error ? "ERROR - " : "INFO  - ") + line)) << line.toStdString();
        }
        emit console->anchorClicked(QUrl("http://127.0.0.1:9/report"));
        EXPECT_EQ(urls_, QList<QUrl> { QUrl("http://127.0.0.1:9/report") });
    }

    TEST_F(WindowTest, PressesHandTheDescriptionOverThenTheStateRefusesOrAValidatedRunIsClaimed)
    {
        // The state, the review (0 not passed, 1 passed, 2 its server down), what the boxes say
        // ("*": a failure, logged), the button that started a run (-1 none, 0 submit, 1 pre-check).
        const std::tuple<int, int, QString, int> cases[] = {
            { SubmitError, 0, "提交遇到异常,请解决错误后重新打开UI", -1 }, { Submitted, 0, "已提交完成", -1 },
            { Submitting, 0, "正在提交ing,请稍后...", -1 }, { PreChecking, 0, "正在预检测ing,请稍后...", -1 },
            { Idle, 0, "需要通过Swarm审核", 1 }, // the pre-check asks no one
            { Idle, 2, "*", 1 },
            { PreCheckPassed, 1, "正在提交ing,请稍后...", 0 }, // the submit's claim refuses the pre-check
        };
        const auto waitForState = [this](int state) {
            return QTest::qWaitFor([&] { return client_->getSubmitState() == state; }, 15000);
        };
        standin::CheckReplyScript passed; // without one, the check server says nothing: a failure
        passed.pieces = { standin::CheckServer::frame(standin::CheckServer::checkResult(true)) };
        QSemaphore worker_held;
        for (const auto& [state, review, said, started] : cases) {
            SCOPED_TRACE(state);
            openWindow();
            // Running states by a claimed run, the others by a run to a passed check.
            if (state == Submitting || state == PreChecking) {
                ASSERT_TRUE(client_->claimRun(state == PreChecking));
            } else if (state != Idle) {
                check_.setScript(passed);
                if (state == SubmitError)
                    depot_.injectFault("submit", "Submit failed -- fix problems above.");
                emit window_->submitClicked(state == PreCheckPassed);
                ASSERT_TRUE(waitForState(state)) << "stuck in " << client_->getSubmitState();
                check_.setScript({});
            }
            if (review == 1)
                reviews_.setCheckResult(change(), true);
            if (review == 2)
                reviews_.setRouteReply(Route::ChangeCheck, { 500, "change store down" });
            QSignalSpy emitted(window_.get(), &P4VSubmitClientUI::submitClicked);
            // The worker is held, so only the first press's claim can refuse the second.
            QMetaObject::invokeMethod(client_.get(), [&worker_held] { worker_held.acquire(); });
            for (const char* button : { "submit_btn_", "pre_submit_btn_" }) {
                // Changed without the edit that hands it over: the press does, and acts at once.
                const QSignalBlocker quiet(widget("description_text_edit_"));
                type(QString("  %1 ").arg(button));
                QTest::mousePress(widget(button), Qt::LeftButton);
                EXPECT_EQ(client_->getDescription(), QString("[feature] %1").arg(button));
                QTest::mouseRelease(widget(button), Qt::LeftButton);
            }
            worker_held.release();
            const QString boxes = takeBoxes();
            EXPECT_TRUE(said == "*" ? failureShown(boxes) : boxes == (started < 0 ? said + "|" + said : said))
                << boxes.toStdString();
            EXPECT_EQ(
                emitted, started < 0 ? QList<QVariantList>() : QList<QVariantList> { { started == 1 } });
            EXPECT_TRUE(waitForState(started < 0 ? state : started ? PreCheckFailed : SubmitCheckFailed));
            closeWindow();
            depot_.clearFaults();
            reviews_.clearRouteReply(Route::ChangeCheck);
        }
    }

    class CheckResultViewTest : public WindowFixture {
    protected:
        void show(const CheckResult& result) { emit client_->checkResultArrived(result); }
        QListWidget* list() const { return widget<QListWidget>("console_text_result_info_"); }
        QWidget* row(int i) const { return list()->itemWidget(list()->item(i)); }

        // Row i's widgets in the order of its layout, and what each shows.
        template <typename T = QWidget> T* at(int i, int k) const
        {
            return row(i) ? qobject_cast<T*>(
                       row(i)->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).value(k))
                          : nullptr;
        }
        QStringList texts(int i) const
        {
            QStringList texts;
            for (int k = 0; QWidget* w = at(i, k); ++k)
                texts << w->property(qobject_cast<QTextBrowser*>(w) ? "plainText" : "text").toString();
            return texts;
        }
        void press(int i, int k) { QTest::mouseClick(at<QAbstractButton>(i, k), Qt::LeftButton); }
    };

    TEST_F(CheckResultViewTest, SummaryInTheColoursOfTheTitlesAGroupsErrorsBackAndRowsBuiltAsTheyComeIntoView)
    {
        openWindow();
        show({ true, { { { { "//a.c", "bad" } }, "Naming" } } }); // its groups are not shown
        EXPECT_EQ(texts(0), (QStringList { "", "通过" }));
        EXPECT_EQ(list()->count(), 1);

        // Colours from the titles' digests: the empty title, "abc", "abc" up to a NUL, and
        // one whose digest ends in "f".
        const QStringList titles { "", "abc", QString("abc") + QChar(0) + "ignored", "Checker 3" };
        const QStringList colours { "249,150,227", "227,249,238", "227,249,238", "249,216,238" };
        const QString padded = "  //streams/main/角色 A/T_Hero_D.uasset\t";
        const QString unbroken = QString("T_Hero_D").repeated(80);
        const CheckResult result { false,
            { { {}, titles[0] }, { { { "//a.c", "bad" } }, titles[1] }, { {}, titles[2] },
                { { { padded, "名字" }, { "", "no path" }, { unbroken, "bad" } }, titles[3] } } };
        show(result);
        ASSERT_EQ(list()->count(), 5);
        EXPECT_EQ(texts(0), (QStringList { "", "失败" }));
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(row(i + 1)->styleSheet().contains("background-color:rgb(" + colours[i] + ");")) << i;
            const QString count = QString("%1 处").arg(result.ErrorGroups[i].Errs.size());
            EXPECT_EQ(texts(i + 1), (QStringList { titles[i], count, "查看" }));
        }

        press(4, 2);
        ASSERT_EQ(list()->count(), 4);
        EXPECT_EQ(texts(0), (QStringList { "返回", titles[3] }));
        EXPECT_EQ(texts(1), (QStringList { "1", padded, "复制", "名字" }));
        EXPECT_EQ(texts(2), (QStringList { "2", "no path" }));
        QGuiApplication::clipboard()->clear();
        press(1, 2);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), padded);

        // Boxes of whole 14-pixel lines, the text measured as wrapped anywhere: the unbroken
        // path takes more than two.
        for (const auto& [measured, box] :
            { std::pair { 0, 14 }, { 12, 14 }, { 13, 28 }, { 26, 28 }, { 27, 42 } })
            EXPECT_EQ(check_result_rows::textBoxHeight(measured), box) << measured;
        ASSERT_NE(at(3, 1), nullptr);
        EXPECT_GT(at(3, 1)->maximumHeight(), 28);

        press(0, 0);
        EXPECT_EQ(list()->count(), 5);

        // 400 errors get widgets near the view only.
        show({ false,
            { { QList<CheckerItem>(400, { "//streams/main/T_D.uasset", "不是 2 的幂" }), "Naming" } } });
        press(1, 2);
        ASSERT_EQ(list()->count(), 401);
        EXPECT_EQ(row(351), nullptr);
        list()->scrollToItem(list()->item(351));
        EXPECT_EQ(texts(351).value(0), "351");
        EXPECT_TRUE(list()->visualItemRect(list()->item(351)).contains(row(351)->geometry()));
        EXPECT_EQ(row(0), nullptr);
    }

    class ReviewPanelTest : public WindowFixture {
    protected:
        QString add(const QString& typed)
        {
            widget<QLineEdit>("swarm_user_search_lb_")->setText(typed);
            click("swarm_reviewer_add_btn_");
            return takeBoxes();
        }

        // The reviewer rows as "user/full name".
        QStringList rows() const
        {
            const QAbstractItemModel* model = widget<QTableView>("swarm_reviewer_table_view_")->model();
            QStringList rows;
            for (int row = 0; row < model->rowCount(); ++row)
                rows << model->index(row, 0).data().toString() + "/" + model->index(row, 1).data().toString();
            return rows;
        }

        // The must-review and state labels, whether reviewers may be picked, and the rows.
        void expectPanel(
            const QString& must_review, const QString& state, bool picking, const QStringList& shown)
        {
            EXPECT_EQ(widget<QLabel>("force_changelist_review_state_lb_")->text(), must_review);
            EXPECT_EQ(widget<QLabel>("swarm_review_state_lb_")->text(), state);
            EXPECT_EQ(widget("swarm_reviewer_add_btn_")->isEnabled(), picking);
            EXPECT_EQ(widget("swarm_review_create_btn_")->isEnabled(), picking);
            EXPECT_EQ(rows(), shown);
        }
    };

    TEST_F(ReviewPanelTest, PanelAndLinkFollowTheReviewStateOfTheLastRefresh)
    {
        const QString base = QString::fromUtf8(kSwarmUrl);
        for (const auto& [state, must_review, shown] :
            { std::tuple<std::string, QString, QString> { "", "是", "UnCreate" },
                { "needsReview", "是", "NeedReview" }, { "approved", "否", "Approved" } }) {
            SCOPED_TRACE(state);
            openWindow();
            ASSERT_EQ(add("albert"), "");
            if (!state.empty()) {
                reviews_.addReview({ 911, "tester", "", state, { change() }, { "bob", "alice" }, {} });
                reviews_.setComments(
                    911, { { 1, "bob", "looks fine" }, { 2, "alice", "<b>not markup</b>\n第二行" } });
            }
            // Refreshed twice: the picked rows go.
            for (const char* button :
                { "swarm_out_link_btn_", "swarm_refresh_btn_", "swarm_refresh_btn_", "swarm_out_link_btn_" })
                click(button);
            EXPECT_EQ(
                urls_, (QList<QUrl> { QUrl(base), QUrl(state.empty() ? base : base + "/reviews/911") }));
            expectPanel(must_review, shown, state.empty(),
                state.empty() ? QStringList() : QStringList { "alice/Alice", "bob/鲍勃", "tester/Test Er" });
            EXPECT_EQ(widget<QTextEdit>("swarm_comment_text_")->toPlainText(),
                state.empty() ? "" : "[bob]:looks fine\n[alice]:<b>not markup</b>\n第二行");
            closeWindow();
            urls_.clear();
        }
    }

    TEST_F(ReviewPanelTest, AddTrimsAndRefusesUnknownNamesAndExactDuplicatesDeleteRemovesTheCurrentRow)
    {
        openWindow();
        const QString unknown = "添加失败,当前用户不存在.";
        const QStringList all { "alice/Alice", "ALICE/Alice Upper", "bob/鲍勃" };
        for (const auto& [typed, said, count] : { std::tuple<QString, QString, int> { "  alice \t", "", 1 },
                 { "\talice ", "重复添加用户[alice].", 1 }, { "Alice", unknown, 1 }, { "ALICE", "", 2 },
                 { "bob", "", 3 } }) {
            EXPECT_EQ(add(typed), said) << typed.toStdString();
            EXPECT_EQ(rows(), all.mid(0, count)) << typed.toStdString();
        }
        // "删除" from the table's menu.
        auto* table = widget<QTableView>("swarm_reviewer_table_view_");
        for (const auto& [current, left] :
            { std::pair<int, QStringList> { -1, all }, { 1, { all[0], all[2] } } }) {
            table->setCurrentIndex(table->model()->index(current, 0));
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QCursor::pos());
            QApplication::sendEvent(table->viewport(), &event);
            EXPECT_EQ(rows(), left) << current;
        }
    }

    TEST_F(ReviewPanelTest, CreateShelvesThenRequestsTheReviewUnlessRefusedAndAFailingStepEndsInABox)
    {
        const standin::ReviewServer::Reply broken { 500, "<html>Internal Server Error</html>", "text/html" };
        const std::tuple<const char*, std::function<void()>, QString, bool> cases[] = {
            // what goes wrong, the box ("*": a failure, logged), a shelf made and a review asked for
            { "nothing", [] {}, "", true },
            { "submit running", [&] { client_->claimRun(false); }, "正在提交ing,请稍后...", false },
            { "pre-check running", [&] { client_->claimRun(true); }, "正在预检测ing,请稍后...", false },
            { "shelve", [&] { depot_.injectFault("shelve", "No files to shelve."); }, "*", false },
            { "create", [&] { reviews_.setRouteReply(Route::CreateReview, broken); }, "*", true },
        };
        for (const auto& [name, fail, said, requested] : cases) {
            SCOPED_TRACE(name);
            openWindow("[fix] loaded text");
            ASSERT_EQ(add("bob"), "");
            ASSERT_EQ(add("alice"), "");
            type("  修复 the case \n");
            std::atomic<bool> shelved_at_post { false };
            reviews_.setObserver([&](const standin::RecordedRequest& request) {
                shelved_at_post
                    = shelved_at_post || (request.method == "POST" && !depot_.shelved(change()).empty());
            });
            fail();
            click("swarm_review_create_btn_");
            reviews_.setObserver(nullptr);
            const QString box = takeBoxes();
            EXPECT_TRUE(said == "*" ? failureShown(box) : box == said) << box.toStdString();
            EXPECT_EQ(depot_.shelved(change()).empty(), !requested);
            ASSERT_EQ(shelved_at_post, requested);
            if (requested) { // the tags followed directly by the text as typed
                EXPECT_EQ(nlohmann::json::parse(reviews_.createBodies().back())["description"],
                    "[fix]  修复 the case \n");
            }
            // Redrawn on the new review (its participants, the API user among them), else as it was.
            if (said.isEmpty())
                expectPanel("是", "NeedReview", false, { "alice/Alice", "bob/鲍勃", "swarm/" });
            else
                expectPanel("是", "UnCreate", true, { "bob/鲍勃", "alice/Alice" });
            closeWindow();
            depot_.clearFaults();
            reviews_.clearRouteReply(Route::CreateReview);
        }
    }

} // namespace
} // namespace velmora::testing
