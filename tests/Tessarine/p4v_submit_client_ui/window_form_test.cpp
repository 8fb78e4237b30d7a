// The window's form as other code and the user meet it: names, limits,
// editability, images, the order of the submit button's handlers, the console.
#include "window_fixture.h"

#include "modules/swarm_module.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>

namespace velmora::testing {
namespace {

    using WindowFormTest = WindowFixture;

    TEST_F(WindowFormTest, WidgetsThatCodeFindsByNameHaveTheirClass)
    {
        const QList<std::pair<QString, QString>> named {
            { "description_text_edit_", "QTextEdit" },
            { "prefix_text_edit_", "QTextEdit" },
            { "tag_grid_layout", "QGridLayout" },
            { "label_link_", "QLabel" },
            { "pre_submit_btn_", "QPushButton" },
            { "submit_btn_", "QPushButton" },
            { "console_text_browser_", "QTextBrowser" },
            { "console_text_result_info_", "QListWidget" },
            { "force_changelist_review_state_lb_", "QLabel" },
            { "swarm_review_state_lb_", "QLabel" },
            { "swarm_refresh_btn_", "QPushButton" },
            { "swarm_out_link_btn_", "QPushButton" },
            { "swarm_reviewer_table_view_", "QTableView" },
            { "swarm_user_search_lb_", "QLineEdit" },
            { "swarm_reviewer_add_btn_", "QPushButton" },
            { "swarm_review_create_btn_", "QPushButton" },
            { "swarm_comment_text_", "QTextEdit" },
        };
        openWindow("[feature] form");
        EXPECT_EQ(window_->objectName(), "Brelling");
        EXPECT_EQ(window_->windowTitle(), "Tessarine");
        for (const auto& [name, class_name] : named) {
            const QList<QObject*> found = window_->findChildren<QObject*>(name);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            EXPECT_EQ(QString(found.first()->metaObject()->className()), class_name) << name.toStdString();
        }
    }

    TEST_F(WindowFormTest, SizesHoldTheirLimits)
    {
        openWindow("[feature] sizes");
        EXPECT_EQ(window_->size(), QSize(1200, 712));
        window_->resize(640, 400);
        EXPECT_EQ(window_->size(), QSize(1200, 700));
        EXPECT_EQ(window_->centralWidget()->minimumSize(), QSize(1200, 650));

        // However many tags are selected, the prefix box stays one short line.
        auto* prefix = widget<QTextEdit>("prefix_text_edit_");
        prefix->setText(QString("[a_long_tag_name]").repeated(60));
        QCoreApplication::processEvents();
        EXPECT_LE(prefix->height(), 41);
        EXPECT_FALSE(prefix->verticalScrollBar()->isVisible());
    }

    TEST_F(WindowFormTest, OnlyTheDescriptionAndTheUserSearchTakeTyping)
    {
        struct Case {
            QString name;
            bool editable;
        };
        openWindow("[feature] typing");
        for (const Case& c : { Case { "description_text_edit_", true }, Case { "prefix_text_edit_", false },
                 Case { "swarm_comment_text_", false } }) {
            auto* edit = widget<QTextEdit>(c.name);
            const QString before = edit->toPlainText();
            edit->moveCursor(QTextCursor::End);
            QTest::keyClicks(edit, "xy");
            EXPECT_EQ(edit->toPlainText() != before, c.editable) << c.name.toStdString();
        }
        auto* search = widget<QLineEdit>("swarm_user_search_lb_");
        QTest::keyClicks(search, "al");
        EXPECT_EQ(search->text(), "al");
    }

    TEST_F(WindowFormTest, CompiledInImagesLoad)
    {
        for (const char* file :
            { "logo.png", "background.png", "feedback.png", "submitter_button.png", "refresh.png",
                "openlink.png", "add.png", "checked2.png", "down_arror.png", "up_arror.png", "detail.png",
                "back.png", "checked.png", "failed.png", "rotation.png", "tz.png", "search.png" }) {
            EXPECT_FALSE(QPixmap(QString(":/Tessarine/Resource/") + file).isNull()) << file;
        }
        openWindow("[feature] images");
        EXPECT_FALSE(window_->windowIcon().isNull());
        for (const char* button : { "pre_submit_btn_", "submit_btn_", "swarm_refresh_btn_",
                 "swarm_out_link_btn_", "swarm_reviewer_add_btn_" }) {
            const QIcon icon = widget<QAbstractButton>(button)->icon();
            EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << button;
        }
        // The feedback link shows the image and points at the compiled-in page.
        const QString link = widget<QLabel>("label_link_")->text();
        EXPECT_TRUE(link.contains(R"(src=":/Tessarine/Resource/feedback.png")")) << link.toStdString();
        EXPECT_TRUE(link.contains(QString::fromUtf8(build_config::kFeedbackUrl))) << link.toStdString();
    }

    TEST_F(WindowFormTest, SubmitClickEmptiesTheResultListOnlyAfterThePressedHandlers)
    {
        openWindow("[feature] clear order");
        // A passed review lets the submit press start its run without a box: a
        // box would take the focus from the button, and no click would follow.
        reviews_.setCheckResult(client_->getSwarmModule()->getPendingId(), true);
        ModalBoxCloser closer; // the pre-check is refused while the submit runs
        auto* results = widget<QListWidget>("console_text_result_info_");
        for (const char* name : { "submit_btn_", "pre_submit_btn_" }) {
            SCOPED_TRACE(name);
            auto* button = widget<QAbstractButton>(name);
            results->clear();
            results->addItem("previous result");
            int rows_when_pressed = -1;
            // Connected after the window's own handler, so it runs after it.
            const auto probe = QObject::connect(
                button, &QAbstractButton::pressed, [&] { rows_when_pressed = results->count(); });
            QTest::mouseClick(button, Qt::LeftButton);
            QObject::disconnect(probe);
            EXPECT_EQ(rows_when_pressed, 1);
            EXPECT_EQ(results->count(), QString(name) == "submit_btn_" ? 0 : 1);
        }
    }

    TEST_F(WindowFormTest, ConsoleShowsEachLineAsOneParagraphAndLogsItAsItCame)
    {
        struct Case {
            QString line;
            QString shown; // the paragraph's text; a "<br />" reads back as U+2028
            bool error;
        };
        const QChar br(0x2028);
        openWindow("[feature] console");
        auto* console = widget<QTextBrowser>("console_text_browser_");
        for (const Case& c : {
                 Case { "word\r\nnext", QString("word") + br + "next", false },
                 Case { "a\n\n\r\n\rb", QString("a") + br + "b", true },
                 Case { "ends with a break\n", QString("ends with a break") + br, false },
                 Case { "<font color='#ff0000'>plain</font>", "plain", true },
             }) {
            if (c.error)
                emit client_->errorMessageOutput(c.line);
            else
                emit client_->processInfoOutput(c.line);
            EXPECT_EQ(console->document()->lastBlock().text(), c.shown) << c.line.toStdString();
            EXPECT_TRUE(logText().contains(QString(c.error ? "ERROR - " : "INFO  - ") + c.line))
                << c.line.toStdString();
        }
    }

    TEST_F(WindowFormTest, AnchorsInTheConsoleAreNotFollowedByTheConsole)
    {
        openWindow("[feature] anchors");
        auto* console = widget<QTextBrowser>("console_text_browser_");
        emit client_->processInfoOutput("see <a href=\"http://127.0.0.1:9/report\">the report</a>");
        const QString before = console->toPlainText();
        QSignalSpy clicked(console, &QTextBrowser::anchorClicked);

        QTextCursor cursor(console->document()->lastBlock());
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, 3);
        QTest::mouseClick(console->viewport(), Qt::LeftButton, {}, console->cursorRect(cursor).center());

        ASSERT_EQ(clicked.size(), 1);
        EXPECT_EQ(clicked.first().first().toUrl(), QUrl("http://127.0.0.1:9/report"));
        EXPECT_TRUE(console->source().isEmpty());
        EXPECT_EQ(console->toPlainText(), before);
    }

} // namespace
} // namespace velmora::testing
