// The main window: what it opens on, the description rule, the console, the two
// action buttons over real runs, the check-result view and the review panel.
#include "window_fixture.h"

#include "modules/swarm_constants.h"
#include "p4v_submit_client/submit_state.h"
#include "p4v_submit_client_ui/check_result_rows.h"

#include "korvath/repository.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableView>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextLayout>
#include <QtMath>

#include <atomic>
#include <cstdlib>
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

    // Repeated across a window wider than itself, the backdrop's row shows no edge.
    TEST(WindowImagesTest, TheBackdropRowRepeatsWithoutAnEdge)
    {
        const QImage row(":/Tessarine/Resource/background.png");
        ASSERT_FALSE(row.isNull());
        for (int x = 0; x < row.width(); ++x) {
            const QColor here = row.pixelColor(x, 0), next = row.pixelColor((x + 1) % row.width(), 0);
            EXPECT_LE(std::abs(here.red() - next.red()) + std::abs(here.blue() - next.blue()), 2) << x;
        }
    }

    // Whoever created the change, the Perforce layer's stand-in text is never the user's.
    TEST_F(WindowTest, AChangeHoldingThePlaceholderDescriptionOpensEmptyAndIsNotSubmitted)
    {
        openWindow(kNewChangeDescription);
        EXPECT_EQ(widget<QTextEdit>("description_text_edit_")->toPlainText(), "");
        QSignalSpy emitted(window_.get(), &P4VSubmitClientUI::submitClicked);
        click("submit_btn_");
        EXPECT_EQ(takeBoxes(), "描述信息不能为空.");
        EXPECT_TRUE(emitted.isEmpty());
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

        // Boxes of whole 14-pixel lines, never less than one.
        for (const auto& [laid_out, box] :
            { std::pair { 0, 14 }, { 14, 14 }, { 15, 28 }, { 28, 28 }, { 29, 42 } })
            EXPECT_EQ(check_result_rows::textBoxHeight(laid_out), box) << laid_out;

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

    TEST_F(CheckResultViewTest, EveryViewOpensAtItsStartWhereverTheLastWasScrolled)
    {
        openWindow();
        // The row is built and shows whole in the list's viewport.
        const auto inView = [this](int i) {
            return row(i) && list()->viewport()->rect().contains(list()->visualItemRect(list()->item(i)));
        };
        QList<CheckerGroup> groups(12, { QList<CheckerItem>(3, { "//a.c", "bad" }), "Naming" });
        groups.last() = { QList<CheckerItem>(60, { "//streams/main/T_D.uasset", "不是 2 的幂" }), "Last" };
        show({ false, groups });
        list()->scrollToBottom();
        ASSERT_TRUE(inView(12));
        press(12, 2);
        EXPECT_EQ(texts(0), (QStringList { "返回", "Last" }));
        EXPECT_TRUE(inView(0) && inView(1));
        EXPECT_EQ(texts(1).value(0), "1");

        // Scrolled a little: "返回" is still within reach.
        list()->verticalScrollBar()->setValue(10);
        press(0, 0);
        EXPECT_EQ(texts(0), (QStringList { "", "失败" }));
        EXPECT_TRUE(inView(0));
    }

    // A row holding the keyboard goes away, with the window active or in the background: the
    // keys go on to the list, never to an editor; a list built while the user types elsewhere
    // leaves the keyboard there.
    TEST_F(CheckResultViewTest, KeysStayWithTheListWhenTheirRowGoesAndANewResultTakesNoFocus)
    {
        openWindow();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        const auto editorTexts = [this] {
            QStringList texts;
            for (QTextEdit* edit : window_->findChildren<QTextEdit*>())
                texts << (list()->isAncestorOf(edit) ? QString() : edit->toPlainText());
            for (QLineEdit* edit : window_->findChildren<QLineEdit*>())
                texts << edit->text();
            return texts;
        };
        // Keys as the window system delivers them, to whatever has the focus.
        const auto typeKeys = [this](std::initializer_list<Qt::Key> keys) {
            for (Qt::Key key : keys)
                QTest::keyClick(window_->windowHandle(), key);
        };
        // End reaches the bottom on its first press; letters and Return change no editor.
        const auto expectKeysGoToTheList = [&](const char* after) {
            QWidget* focused = QApplication::focusWidget();
            EXPECT_TRUE(focused && (focused == list() || list()->isAncestorOf(focused)))
                << after << ": " << (focused ? focused->metaObject()->className() : "nothing");
            typeKeys({ Qt::Key_End });
            EXPECT_EQ(list()->verticalScrollBar()->value(), list()->verticalScrollBar()->maximum()) << after;
            typeKeys({ Qt::Key_Home });
            const QStringList before = editorTexts();
            typeKeys({ Qt::Key_2, Qt::Key_A, Qt::Key_Return });
            EXPECT_EQ(editorTexts(), before) << after;
        };
        const CheckerGroup errors { QList<CheckerItem>(30, { "//streams/main/T_D.uasset", "不是 2 的幂" }),
            "Naming" };
        show({ false, { errors } });
        press(1, 2);
        expectKeysGoToTheList("查看");
        press(0, 0);
        expectKeysGoToTheList("返回");

        const auto viewAndCopy = [this] {
            press(1, 2);
            press(1, 2);
            ASSERT_EQ(QGuiApplication::clipboard()->text(), "//streams/main/T_D.uasset");
        };
        const auto widen = [this](int by) {
            window_->resize(window_->width() + by, window_->height());
            QCoreApplication::processEvents();
        };
        viewAndCopy();
        widen(300);
        expectKeysGoToTheList("复制 and a wider window");

        // Off to another program and back without a click in the window.
        QWidget other;
        other.show();
        const auto awayWhile = [&](const std::function<void()>& meanwhile) {
            other.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
            meanwhile();
            window_->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        };
        viewAndCopy();
        awayWhile([&] { show({ false, QList<CheckerGroup>(12, errors) }); });
        expectKeysGoToTheList("复制, then a result in the background");
        viewAndCopy();
        awayWhile([&] { widen(300); });
        expectKeysGoToTheList("复制, then a wider window in the background");

        auto* description = widget<QTextEdit>("description_text_edit_");
        description->setFocus();
        show({ true, {} });
        EXPECT_TRUE(description->hasFocus());
        awayWhile([&] {
            show({ false, { errors } });
            widen(-600);
        });
        EXPECT_TRUE(description->hasFocus());
    }

    TEST_F(CheckResultViewTest, ALinkInATitlePathOrMessageOpensInTheBrowserAndTheBoxKeepsItsText)
    {
        openWindow();
        const auto link = [](const QString& page) {
            return QString("<b>命名:</b> see <a href=\"https://wiki.example.com/%1\">the rules</a>")
                .arg(page);
        };
        // Clicks the box's link with the mouse, at the link's place.
        const auto clickLink = [](QTextBrowser* box) {
            QTextCursor cursor = box->document()->find("the rules");
            cursor.setPosition(cursor.selectionStart() + 3);
            QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, box->cursorRect(cursor).center());
            return box->toPlainText();
        };
        show({ false, { { { { link("path"), link("message") } }, link("title") } } });
        EXPECT_EQ(clickLink(at<QTextBrowser>(1, 0)), "命名: see the rules");
        press(1, 2);
        EXPECT_EQ(clickLink(at<QTextBrowser>(1, 1)), "命名: see the rules");
        EXPECT_EQ(clickLink(at<QTextBrowser>(1, 3)), "命名: see the rules");
        EXPECT_EQ(urls_,
            (QList<QUrl> { QUrl("https://wiki.example.com/title"), QUrl("https://wiki.example.com/path"),
                QUrl("https://wiki.example.com/message") }));
    }

    // Texts of every length up to a few lines: Latin words, Chinese with blanks, and names
    // without a break, as paths and messages.
    QList<CheckerItem> errorsOfManyLengths()
    {
        const QString sources[] = { "Texture group World exceeds its streaming budget by 512 KB ",
            "文件名含有空格和中文字符, 资源名只能使用小写字母、数字和下划线 ",
            "Assets/UI/T_Hero_Diffuse_主界面_", "<b>bold</b> and &amp; as the box reads them " };
        QList<CheckerItem> errors;
        for (int length = 1; length <= 150; length += 1) {
            const QString& source = sources[length % 4];
            const QString text = source.repeated(1 + length / source.size()).left(length);
            errors << CheckerItem { length % 3 ? text : "",
                sources[(length + 1) % 4].repeated(3).left(length) };
        }
        return errors;
    }

    TEST_F(CheckResultViewTest, EveryPathAndMessageIsWholeInItsBoxAtEveryWidthOfTheList)
    {
        openWindow();
        // Each built row's boxes show their whole text, no scroll bar of their own, inside
        // their row, and less than a line to spare.
        const auto expectWholeBoxes = [this](int i) {
            ASSERT_NE(row(i), nullptr) << i;
            for (QTextBrowser* box : row(i)->findChildren<QTextBrowser*>()) {
                const int text = qCeil(box->document()->size().height());
                EXPECT_LE(text, box->viewport()->height()) << i << " " << box->toPlainText().toStdString();
                EXPECT_LT(box->height() - text, QFontMetrics(box->font()).height()) << i;
                EXPECT_FALSE(box->verticalScrollBar()->isVisible()) << i;
                EXPECT_LE(box->geometry().bottom(), row(i)->height()) << i;
            }
        };
        const QList<CheckerItem> errors = errorsOfManyLengths();
        const CheckResult few { false, { { errors.mid(140, 2), "Few" } } };
        const CheckResult many { false, { { errors, "Many" } } };
        // One that fits, then many, which need the list's scroll bar, then one that fits
        // again; then the window wider and back, which the rows follow.
        for (const auto& [result, width] :
            { std::pair { few, 1200 }, { many, 1200 }, { few, 1200 }, { many, 1700 }, { many, 1200 } }) {
            window_->resize(width, window_->height());
            show(result);
            press(1, 2);
            ASSERT_EQ(list()->count(), result.ErrorGroups[0].Errs.size() + 1);
            EXPECT_EQ(list()->verticalScrollBar()->isVisible(), list()->count() > 3);
            for (int i = 1; i < list()->count(); ++i) {
                list()->scrollToItem(list()->item(i));
                expectWholeBoxes(i);
            }
            list()->scrollToTop();
            window_->resize(width == 1200 ? 1500 : 1200, window_->height());
            QCoreApplication::processEvents();
            expectWholeBoxes(1);
        }
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
        std::string long_comment;
        for (int i = 0; i < 40; ++i)
            long_comment += "reviewed" + std::to_string(i) + " ";
        for (const auto& [state, must_review, shown] :
            { std::tuple<std::string, QString, QString> { "", "是", "UnCreate" },
                { "needsReview", "是", "NeedReview" }, { "approved", "否", "Approved" } }) {
            SCOPED_TRACE(state);
            openWindow();
            ASSERT_EQ(add("albert"), "");
            if (!state.empty()) {
                reviews_.addReview({ 911, "tester", "", state, { change() }, { "bob", "alice" }, {} });
                reviews_.setComments(911,
                    { { 1, "bob", "looks fine" }, { 2, "alice", "<b>not markup</b>\n第二行" },
                        { 3, "bob", long_comment } });
            }
            // Refreshed twice: the picked rows go.
            for (const char* button :
                { "swarm_out_link_btn_", "swarm_refresh_btn_", "swarm_refresh_btn_", "swarm_out_link_btn_" })
                click(button);
            EXPECT_EQ(
                urls_, (QList<QUrl> { QUrl(base), QUrl(state.empty() ? base : base + "/reviews/911") }));
            expectPanel(must_review, shown, state.empty(),
                state.empty() ? QStringList() : QStringList { "alice/Alice", "bob/鲍勃", "tester/Test Er" });
            QTextDocument* comments = widget<QTextEdit>("swarm_comment_text_")->document();
            EXPECT_EQ(comments->toPlainText(),
                state.empty() ? ""
                              : "[bob]:looks fine\n[alice]:<b>not markup</b>\n第二行\n[bob]:"
                        + QString::fromStdString(long_comment));
            // A paragraph per comment, its blanks as typed: the long one breaks between words.
            if (!state.empty()) {
                EXPECT_EQ(comments->blockCount(), 3);
                comments->documentLayout()->documentSize();
                const QTextBlock last = comments->lastBlock();
                EXPECT_EQ(last.text(), "[bob]:" + QString::fromStdString(long_comment));
                ASSERT_GT(last.layout()->lineCount(), 1);
                for (int i = 0; i + 1 < last.layout()->lineCount(); ++i) {
                    const QTextLine line = last.layout()->lineAt(i);
                    EXPECT_EQ(last.text().at(line.textStart() + line.textLength() - 1), ' ') << i;
                }
            }
            closeWindow();
            urls_.clear();
        }
    }

    // The first redraw fails on a change that has a review: nothing untrue shows and no second
    // review can be asked for, until a refresh succeeds.
    TEST_F(ReviewPanelTest, APanelWhoseFirstRedrawFailedShowsNoStateAndLocksUntilARefreshSucceeds)
    {
        const int next = depot_.addPendingChange("[fix] x", { depot_.file("src/next.c", 1) }) + 1;
        reviews_.addReview({ 911, "tester", "", "needsReview", { next }, { "bob" }, {} });
        reviews_.setRouteReply(Route::Workflow, { 502, "<html>Bad Gateway</html>", "text/html" });
        openWindow();
        ASSERT_EQ(change(), next);
        EXPECT_EQ(takeBoxes(), "获取Swarm工作流数据失败,[502]:<html>Bad Gateway</html>");
        expectPanel("", "", false, {});
        EXPECT_TRUE(widget<QLineEdit>("swarm_user_search_lb_")->isReadOnly());
        EXPECT_TRUE(widget("swarm_refresh_btn_")->isEnabled());

        reviews_.clearRouteReply(Route::Workflow);
        click("swarm_refresh_btn_");
        expectPanel("是", "NeedReview", false, { "bob/鲍勃", "tester/Test Er" });
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
            { "create", [&] { reviews_.setRouteReply(Route::CreateReview, broken); },
                "创建Swarm Review失败,[500]:<html>Internal Server Error</html>", true },
            { "created meanwhile",
                [&] {
                    reviews_.addReview({ 1, "tester", "", "needsReview", { change() }, {}, {} });
                },
                R"(创建Swarm Review失败,[400]:{"error":"A Review for change @ already exists.","isValid":false})",
                true },
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
            EXPECT_TRUE(said == "*" ? failureShown(box)
                                    : box == QString(said).replace('@', QString::number(change())))
                << box.toStdString();
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
