// The window's construction, the description rule, the console, and the two
// action buttons over real runs.
#include "window_fixture.h"

#include "modules/tag_module.h"
#include "p4v_submit_client/submit_state.h"

#include <QCheckBox>
#include <QCompleter>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>

#include <atomic>

namespace velmora::testing {
namespace {

    using namespace SubmitState;
    using WindowTest = WindowFixture;

    TEST_F(WindowTest, ConstructionBuildsTagBoxesCompleterAndImagesAndFillsThePanelBeforeShowing)
    {
        openClient("[ui]  laid out ");
        bool shown_while_filling = false;
        QObject::connect(client_->getSwarmModule(), &SwarmModule::updateSwarmInfoCompleted, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                shown_while_filling |= top->objectName() == "Brelling" && top->isVisible();
        });
        window_ = std::make_unique<P4VSubmitClientUI>(client_.get(), nullptr);
        EXPECT_FALSE(shown_while_filling);
        EXPECT_TRUE(window_->isVisible());
        EXPECT_EQ(widget<QTextEdit>("description_text_edit_")->toPlainText(), "laid out");
        EXPECT_EQ(widget<QTextEdit>("prefix_text_edit_")->toPlainText(), "[ui]");
        EXPECT_EQ(client_->getDescription(), "[ui] laid out");

        const auto tags = client_->getTagModule()->getProjectTags();
        auto* grid = widget<QGridLayout>("tag_grid_layout");
        ASSERT_EQ(grid->count(), 5);
        for (int i = 0; i < 5; ++i) { // three to a row
            QLayoutItem* item = grid->itemAtPosition(i / 3, i % 3);
            auto* box = item ? qobject_cast<QCheckBox*>(item->widget()) : nullptr;
            ASSERT_NE(box, nullptr) << i;
            EXPECT_EQ(std::make_pair(box->text(), box->toolTip()), tags[i]);
            EXPECT_EQ(item->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
            EXPECT_EQ(box->isChecked(), box->text() == "ui");
        }

        QCompleter* completer = widget<QLineEdit>("swarm_user_search_lb_")->completer();
        ASSERT_NE(completer, nullptr);
        for (const auto& [prefix, proposed] :
            { std::pair<QString, QStringList> { "al", { "alice", "albert" } }, { "Al", { "Alex" } },
                { "lic", {} } }) {
            completer->setCompletionPrefix(prefix);
            QStringList got;
            for (int row = 0; completer->setCurrentRow(row); ++row)
                got << completer->currentCompletion();
            EXPECT_EQ(got, proposed) << prefix.toStdString();
        }

        for (const char* file :
            { "logo", "background", "feedback", "submitter_button", "refresh", "openlink", "add", "checked2",
                "down_arror", "up_arror", "detail", "back", "checked", "failed", "rotation", "tz", "search" })
            EXPECT_FALSE(QPixmap(QString(":/Tessarine/Resource/%1.png").arg(file)).isNull()) << file;
        const QString link = widget<QLabel>("label_link_")->text();
        EXPECT_TRUE(link.contains(R"(src=":/Tessarine/Resource/feedback.png")")) << link.toStdString();
        EXPECT_TRUE(link.contains(QString::fromUtf8(build_config::kFeedbackUrl))) << link.toStdString();
    }

    TEST_F(WindowTest, AFailureDuringConstructionGoesOnToStartUp)
    {
        openClient("[feature] no review server");
        reviews_.setRouteReply(standin::ReviewServer::Route::ChangeCheck, { 500, "down" });
        EXPECT_THROW(P4VSubmitClientUI(client_.get(), nullptr), std::exception);
    }

    TEST_F(WindowTest, DescriptionIsTheTagsOneBlankAndTheTrimmedTextTagsTakenAtTheNextEdit)
    {
        openWindow("  no tags, kept whole \n");
        EXPECT_EQ(client_->getDescription(), " no tags, kept whole");
        for (const auto& [tag, typed, text] :
            { std::tuple<QString, QString, QString> { "fix", "   padded \t\n ", "padded" },
                { "", "no tag", "no tag" }, { "docs", "", "" } }) {
            const QString before = client_->getDescription();
            for (QCheckBox* box : window_->findChildren<QCheckBox*>())
                if (box->isChecked() != (box->text() == tag))
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            const QString literal = tag.isEmpty() ? "" : "[" + tag + "]";
            EXPECT_EQ(widget<QTextEdit>("prefix_text_edit_")->toPlainText(), literal);
            EXPECT_EQ(client_->getDescription(), before);
            widget<QTextEdit>("description_text_edit_")->setPlainText(typed);
            EXPECT_EQ(client_->getDescription(), literal + " " + text) << typed.toStdString();
        }
    }

    TEST_F(WindowTest, ConsoleShowsEachLineAsOneParagraphLogsItAsItCameAndFollowsNoLink)
    {
        const QString br(QChar(0x2028)); // a "<br />" read back
        openWindow();
        auto* console = widget<QTextBrowser>("console_text_browser_");
        for (const auto& [line, shown, error] :
            { std::tuple<QString, QString, bool> { "word\r\nnext", "word" + br + "next", false },
                { "a\n\n\r\n\rb", "a" + br + "b", true },
                { "ends with a break\n", "ends with a break" + br, false },
                { "<font color='#ff0000'>plain</font>", "plain", true } }) {
            if (error)
                emit client_->errorMessageOutput(line);
            else
                emit client_->processInfoOutput(line);
            EXPECT_EQ(console->document()->lastBlock().text(), shown);
            EXPECT_TRUE(logText().contains((error ? "ERROR - " : "INFO  - ") + line)) << line.toStdString();
        }
        emit client_->processInfoOutput("报告见 <a href=\"http://127.0.0.1:9/report\">the report</a>");
        const QString before = console->toHtml();
        QTextCursor cursor(console->document()->lastBlock());
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, 3);
        QTest::mouseClick(console->viewport(), Qt::LeftButton, {}, console->cursorRect(cursor).center());
        EXPECT_EQ(urls_, QList<QUrl> { QUrl("http://127.0.0.1:9/report") });
        EXPECT_EQ(console->toHtml(), before);
    }

    TEST_F(WindowTest, EachStateRefusesBothButtonsOrLetsTheValidatedSubmitAndThePreCheckGo)
    {
        for (const auto& [state, refusal] :
            { std::pair<int, QString> { SubmitError, "提交遇到异常,请解决错误后重新打开UI" },
                { Submitted, "已提交完成" }, { Submitting, "正在提交ing,请稍后..." },
                { PreChecking, "正在预检测ing,请稍后..." }, { Idle, "" }, { PreCheckPassed, "" },
                { SubmitCheckFailed, "" }, { PreCheckFailed, "" } }) {
            SCOPED_TRACE(state);
            openWindow();
            // Running states by a claimed run, the others by a run to the check server's verdict.
            if (state == Submitting || state == PreChecking) {
                ASSERT_TRUE(client_->claimRun(state == PreChecking));
            } else if (state != Idle) {
                standin::CheckReplyScript script; // says nothing: a failed check
                if (state == PreCheckPassed || state == Submitted || state == SubmitError)
                    script.pieces = { standin::CheckServer::frame(standin::CheckServer::checkResult(true)) };
                check_.setScript(script);
                if (state == SubmitError)
                    depot_.injectFault(
                        "submit", "Submit failed -- fix problems above then use 'p4 submit -e 1'.");
                emit window_->submitClicked(state == PreCheckPassed || state == PreCheckFailed);
                ASSERT_TRUE(waitForState(state)) << "stuck in " << client_->getSubmitState();
                check_.setScript({});
            }
            QSignalSpy emitted(window_.get(), &P4VSubmitClientUI::submitClicked);
            for (const char* button : { "submit_btn_", "pre_submit_btn_" }) {
                // Changed without the edit that hands it over: every press does.
                const QSignalBlocker quiet(widget("description_text_edit_"));
                widget<QTextEdit>("description_text_edit_")->setPlainText(QString("  %1 ").arg(button));
                click(button);
                EXPECT_EQ(client_->getDescription(), QString("[feature] %1").arg(button));
            }
            if (refusal.isEmpty()) { // the review is not passed; the pre-check asks no one
                EXPECT_EQ(takeBoxes(), QStringList { "需要通过Swarm审核" });
                EXPECT_EQ(emitted, QList<QVariantList> { { true } });
                EXPECT_TRUE(waitForState(PreCheckFailed));
            } else {
                EXPECT_EQ(takeBoxes(), QStringList(2, refusal));
                EXPECT_EQ(emitted.size(), 0);
                EXPECT_EQ(client_->getSubmitState(), state);
            }
            closeWindow();
            depot_.clearFaults();
        }
    }

    TEST_F(WindowTest, APressActsBeforeTheFormClearsTheResultsClaimsItsRunAndEndsInABoxWhenValidationFails)
    {
        openWindow();
        reviews_.setCheckResult(change(), true);
        auto* results = widget<QListWidget>("console_text_result_info_");
        QSignalSpy emitted(window_.get(), &P4VSubmitClientUI::submitClicked);
        int rows_at_emit = -1;
        QObject::connect(
            window_.get(), &P4VSubmitClientUI::submitClicked, [&] { rows_at_emit = results->count(); });
        for (const auto& [button, pre_check, waiting] :
            { std::tuple<QString, bool, QString> { "submit_btn_", false, "正在提交ing,请稍后..." },
                { "pre_submit_btn_", true, "正在预检测ing,请稍后..." } }) {
            results->addItem("previous result");
            emitted.clear();
            click(button);
            emit widget<QAbstractButton>(button)->pressed(); // before the worker may have taken the run
            EXPECT_EQ(rows_at_emit, 1);
            EXPECT_EQ(results->count(), pre_check ? 1 : 0);
            EXPECT_EQ(takeBoxes(), QStringList { waiting });
            EXPECT_EQ(emitted, QList<QVariantList> { { pre_check } });
            EXPECT_TRUE(waitForState(pre_check ? PreCheckFailed : SubmitCheckFailed));
        }

        std::atomic<bool> claimed { false };
        reviews_.setObserver([&](const standin::RecordedRequest&) {
            if (!claimed.exchange(true))
                client_->claimRun(true); // another press, while the submit validates
        });
        click("submit_btn_");
        reviews_.setObserver(nullptr);
        EXPECT_EQ(takeBoxes(), QStringList { "正在预检测ing,请稍后..." });

        reviews_.setRouteReply(standin::ReviewServer::Route::ChangeCheck, { 500, "change store down" });
        emit window_->submitClicked(true); // ends the claimed run
        ASSERT_TRUE(waitForState(PreCheckFailed));
        emitted.clear();
        click("submit_btn_");
        const QStringList said = takeBoxes();
        ASSERT_EQ(said.size(), 1);
        EXPECT_TRUE(logText().contains("ERROR - " + said.first())) << said.first().toStdString();
        EXPECT_TRUE(emitted.isEmpty());
    }

} // namespace
} // namespace velmora::testing
