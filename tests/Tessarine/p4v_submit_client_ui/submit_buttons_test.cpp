// The submit and pre-check buttons over real runs against the stand-in depot
// and check server: refusals by submit state, validation, the claim of a run,
// failures at the handler's edge, and the console's links.
#include "window_fixture.h"

#include "modules/swarm_module.h"
#include "modules/tag_module.h"
#include "p4v_submit_client/submit_state.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>

#include <algorithm>
#include <atomic>
#include <iterator>

namespace velmora::testing {
namespace {

    using standin::CheckServer;

    constexpr int kWaitMs = 15000;

    const char* const kSubmit = "submit_btn_";
    const char* const kPreCheck = "pre_submit_btn_";

    QString nameOf(int state) { return QString("state %1").arg(state); }

    class SubmitButtonsTest : public WindowFixture {
    protected:
        void open(const std::string& description = "[feature] 按钮测试")
        {
            openWindow(description);
            spy_ = std::make_unique<QSignalSpy>(window_.get(), &P4VSubmitClientUI::submitClicked);
        }

        int change() const { return client_->getSwarmModule()->getPendingId(); }
        void passReview(bool passed) { reviews_.setCheckResult(change(), passed); }

        void press(const char* button) { QTest::mouseClick(widget<QAbstractButton>(button), Qt::LeftButton); }

        bool waitForState(int state)
        {
            return QTest::qWaitFor([&] { return client_->getSubmitState() == state; }, kWaitMs);
        }

        // Reaches the state the way a user does: a pre-check or a submit from
        // its button, answered by the check server; a running state is held
        // by a reply that never ends. The review is left unpassed.
        void reach(int state)
        {
            enum Verdict { Hang, Pass, Fail };
            struct Road {
                int state;
                bool pre_check;
                Verdict verdict;
            };
            static const Road roads[] = { { SubmitState::PreChecking, true, Hang },
                { SubmitState::PreCheckPassed, true, Pass }, { SubmitState::PreCheckFailed, true, Fail },
                { SubmitState::Submitting, false, Hang }, { SubmitState::SubmitCheckFailed, false, Fail },
                { SubmitState::Submitted, false, Pass }, { SubmitState::SubmitError, false, Pass } };
            const auto road = std::find_if(
                std::begin(roads), std::end(roads), [state](const Road& r) { return r.state == state; });
            if (road == std::end(roads))
                return; // idle: where a window starts
            standin::CheckReplyScript script;
            script.hang_after_pieces = road->verdict == Hang;
            if (road->verdict != Hang)
                script.pieces = { CheckServer::frame(CheckServer::checkResult(
                    road->verdict == Pass, { { "Naming", { { "//a.c", "bad" } } } })) };
            if (state == SubmitState::SubmitError)
                depot_.injectFault(
                    "submit", "Submit failed -- fix problems above then use 'p4 submit -e 100'.");
            const bool pre_check = road->pre_check;
            const bool running = road->verdict == Hang;
            check_.setScript(script);
            check_.clearRequests();
            passReview(!pre_check);
            press(pre_check ? kPreCheck : kSubmit);
            ASSERT_EQ(spy_->size(), 1);
            if (running) {
                // The worker has taken the run once its request is out.
                ASSERT_TRUE(QTest::qWaitFor([&] { return check_.requests().size() == 1; }, kWaitMs));
            }
            ASSERT_TRUE(waitForState(state)) << "stuck in " << client_->getSubmitState();
            passReview(false);
            spy_->clear();
        }

        std::unique_ptr<QSignalSpy> spy_;
    };

    TEST_F(SubmitButtonsTest, BusyOrFinishedStatesRefuseBothButtonsWithTheirText)
    {
        struct Case {
            int state;
            QString text;
        };
        for (const Case& c : {
                 Case { SubmitState::SubmitError, "提交遇到异常,请解决错误后重新打开UI" },
                 Case { SubmitState::Submitted, "已提交完成" },
                 Case { SubmitState::Submitting, "正在提交ing,请稍后..." },
                 Case { SubmitState::PreChecking, "正在预检测ing,请稍后..." },
             }) {
            SCOPED_TRACE(nameOf(c.state).toStdString());
            open();
            ASSERT_NO_FATAL_FAILURE(reach(c.state));
            passReview(true); // nothing but the state stands in the way
            for (const char* button : { kSubmit, kPreCheck }) {
                SCOPED_TRACE(button);
                ModalBoxCloser closer;
                press(button);
                ASSERT_EQ(closer.boxes().size(), 1);
                EXPECT_EQ(closer.boxes()[0].title, "提示");
                EXPECT_EQ(closer.boxes()[0].text, c.text);
                EXPECT_EQ(closer.boxes()[0].buttons, QMessageBox::Ok);
                EXPECT_EQ(spy_->size(), 0);
                EXPECT_EQ(client_->getSubmitState(), c.state);
            }
            window_.reset();
            client_.reset();
            depot_.clearFaults();
        }
    }

    TEST_F(SubmitButtonsTest, OpenStatesValidateTheSubmitAndLetThePreCheckGoWithoutValidation)
    {
        struct Case {
            int state;
            std::string description;
            QString reason; // the submit's refusal: validate's first reason
        };
        for (const Case& c : {
                 Case { SubmitState::Idle, "只有文字", "需要选中相关TAGS标签" }, // no tag
                 Case { SubmitState::PreCheckPassed, "[feature] 改动", "需要通过Swarm审核" },
                 Case { SubmitState::SubmitCheckFailed, "[feature] 改动", "需要通过Swarm审核" },
                 Case { SubmitState::PreCheckFailed, "[feature] 改动", "需要通过Swarm审核" },
             }) {
            SCOPED_TRACE(nameOf(c.state).toStdString());
            open(c.description);
            ASSERT_NO_FATAL_FAILURE(reach(c.state));
            check_.setScript({}); // the next run ends at once
            {
                ModalBoxCloser closer;
                press(kSubmit);
                ASSERT_EQ(closer.boxes().size(), 1);
                EXPECT_EQ(closer.boxes()[0].title, "提示");
                EXPECT_EQ(closer.boxes()[0].text, c.reason);
                EXPECT_EQ(spy_->size(), 0);
                EXPECT_EQ(client_->getSubmitState(), c.state);
            }
            ModalBoxCloser closer;
            press(kPreCheck);
            EXPECT_TRUE(closer.boxes().isEmpty());
            ASSERT_EQ(spy_->size(), 1);
            EXPECT_EQ(spy_->at(0).at(0).toBool(), true);
            EXPECT_TRUE(waitForState(SubmitState::PreCheckFailed));
            window_.reset();
            client_.reset();
        }
    }

    TEST_F(SubmitButtonsTest, APassedPreCheckThenASubmitRunToTheirVerdictsInTheConsoleAndTheLog)
    {
        open("[feature] 预检测后提交");
        ASSERT_NO_FATAL_FAILURE(reach(SubmitState::PreCheckPassed));
        standin::CheckReplyScript passed;
        passed.pieces = { CheckServer::frame(CheckServer::serverInfo("Checking 1 file")),
            CheckServer::frame(CheckServer::checkResult(true)) };
        check_.setScript(passed);
        passReview(true);
        press(kSubmit);
        ASSERT_EQ(spy_->size(), 1);
        EXPECT_EQ(spy_->at(0).at(0).toBool(), false);
        ASSERT_TRUE(waitForState(SubmitState::Submitted));

        ASSERT_EQ(depot_.submitted().size(), 1u);
        EXPECT_EQ(depot_.submitted()[0].description, "[feature] 预检测后提交\n");
        auto* console = widget<QTextBrowser>("console_text_browser_");
        QTRY_VERIFY_WITH_TIMEOUT(console->toPlainText().contains("已可以关闭窗口."), kWaitMs);
        const QString log = logText();
        EXPECT_TRUE(log.contains("INFO  - Checking 1 file"));
        EXPECT_TRUE(log.contains("INFO  - [检测结果]:<font color='#38947c'>通过</font>"));
        EXPECT_TRUE(log.contains(QRegularExpression(
            QString("INFO  - \\[\\d+\\]Submitting Pending Changelist %1\n").arg(change()))));
        for (const QString& shown : { QString("Checking 1 file"), QString("[检测结果]:通过"),
                 QString("Submitting Pending Changelist %1").arg(change()) })
            EXPECT_TRUE(console->toPlainText().contains(shown)) << shown.toStdString();
        // The verdict's header row: a passed check shows nothing else.
        QTRY_COMPARE_WITH_TIMEOUT(widget<QListWidget>("console_text_result_info_")->count(), 1, kWaitMs);
    }

    TEST_F(SubmitButtonsTest, ARefusedPressStillHandsTheDescriptionOver)
    {
        open("[feature] 旧描述");
        ASSERT_NO_FATAL_FAILURE(reach(SubmitState::PreChecking));
        for (const char* button : { kPreCheck, kSubmit }) {
            SCOPED_TRACE(button);
            // Tags and text changed without an edit that would hand them over.
            const QSignalBlocker quiet(widget<QTextEdit>("description_text_edit_"));
            widget<QTextEdit>("description_text_edit_")->setPlainText(QString("  新描述 %1 ").arg(button));
            for (QCheckBox* box : window_->findChildren<QCheckBox*>())
                if (box->text() == "fix" && !box->isChecked())
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            ModalBoxCloser closer;
            press(button);
            ASSERT_EQ(closer.boxes().size(), 1);
            EXPECT_EQ(client_->getDescription(),
                client_->getTagModule()->getCurrentTagsLiterals() + QString(" 新描述 %1").arg(button));
            EXPECT_TRUE(client_->getDescription().contains("[fix]"));
        }
        EXPECT_EQ(spy_->size(), 0);
    }

    TEST_F(SubmitButtonsTest, TwoPressesInARowStartOneRun)
    {
        struct Case {
            const char* button;
            int running;
            QString waiting;
        };
        for (const Case& c : { Case { kPreCheck, SubmitState::PreChecking, "正在预检测ing,请稍后..." },
                 Case { kSubmit, SubmitState::Submitting, "正在提交ing,请稍后..." } }) {
            SCOPED_TRACE(c.button);
            open();
            passReview(true);
            check_.clearRequests();
            check_.setScript({});
            ModalBoxCloser closer;
            // No event is handled between the presses: the worker may not
            // have taken the first run yet.
            auto* button = widget<QAbstractButton>(c.button);
            emit button->pressed();
            EXPECT_EQ(client_->getSubmitState(), c.running);
            emit button->pressed();
            ASSERT_EQ(closer.boxes().size(), 1);
            EXPECT_EQ(closer.boxes()[0].text, c.waiting);
            EXPECT_EQ(spy_->size(), 1);
            EXPECT_TRUE(waitForState(c.running == SubmitState::PreChecking ? SubmitState::PreCheckFailed
                                                                           : SubmitState::SubmitCheckFailed));
            EXPECT_EQ(check_.requests().size(), 1u);
            window_.reset();
            client_.reset();
        }
    }

    TEST_F(SubmitButtonsTest, AClaimLostWhileValidatingShowsTheWaitingTextOfTheRunThatWon)
    {
        open();
        passReview(true);
        check_.setScript({});
        // Another press claims a pre-check while the submit's validation waits
        // for the review server.
        std::atomic<bool> claimed { false };
        reviews_.setObserver([&](const standin::RecordedRequest&) {
            if (!claimed.exchange(true))
                client_->claimRun(true);
        });
        ModalBoxCloser closer;
        press(kSubmit);
        reviews_.setObserver(nullptr);
        ASSERT_TRUE(claimed);
        ASSERT_EQ(closer.boxes().size(), 1);
        EXPECT_EQ(closer.boxes()[0].text, "正在预检测ing,请稍后...");
        EXPECT_EQ(spy_->size(), 0);
        EXPECT_EQ(client_->getSubmitState(), SubmitState::PreChecking);
    }

    TEST_F(SubmitButtonsTest, AFailingReviewRequestDuringValidationEndsThePressWithABox)
    {
        struct Case {
            const char* name;
            bool server_down;
        };
        for (const Case& c : { Case { "500", false }, Case { "down", true } }) {
            SCOPED_TRACE(c.name);
            open();
            if (c.server_down)
                reviews_.stop();
            else
                reviews_.setRouteReply(
                    standin::ReviewServer::Route::ChangeCheck, { 500, "change store down" });
            ModalBoxCloser closer;
            press(kSubmit);
            ASSERT_EQ(closer.boxes().size(), 1);
            EXPECT_EQ(closer.boxes()[0].title, "提示");
            ASSERT_FALSE(closer.boxes()[0].text.isEmpty());
            EXPECT_TRUE(logText().contains("ERROR - " + closer.boxes()[0].text));
            EXPECT_EQ(spy_->size(), 0);
            EXPECT_EQ(client_->getSubmitState(), SubmitState::Idle);

            // The window goes on: the pre-check asks no one.
            check_.setScript({});
            press(kPreCheck);
            EXPECT_EQ(spy_->size(), 1);
            EXPECT_TRUE(waitForState(SubmitState::PreCheckFailed));
            window_.reset();
            client_.reset();
            if (c.server_down)
                break; // the fixture's review server stays down
            reviews_.clearRouteReply(standin::ReviewServer::Route::ChangeCheck);
        }
    }

    TEST_F(SubmitButtonsTest, AConsoleLinkOpensInTheBrowserAndTheConsoleKeepsItsLines)
    {
        open();
        auto* console = widget<QTextBrowser>("console_text_browser_");
        emit client_->processInfoOutput("报告见 <a href=\"http://127.0.0.1:9/report?id=7\">the report</a>");
        const QString before = console->toHtml();

        QTextCursor cursor(console->document()->lastBlock());
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, 3);
        QTest::mouseClick(console->viewport(), Qt::LeftButton, {}, console->cursorRect(cursor).center());

        EXPECT_EQ(browser_.urls(), (QList<QUrl> { QUrl("http://127.0.0.1:9/report?id=7") }));
        EXPECT_EQ(console->toHtml(), before);
    }

} // namespace
} // namespace velmora::testing
