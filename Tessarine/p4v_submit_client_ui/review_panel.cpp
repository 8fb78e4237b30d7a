// The review panel: review state, reviewers and comments of the change.
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"

#include "modules/swarm_constants.h"
#include "modules/swarm_module.h"
#include "modules/swarm_types.h"
#include "modules/tag_module.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "p4v_submit_client_ui/handler_guard.h"
#include "ui_brelling.h"

#include <QCursor>
#include <QDesktopServices>
#include <QList>
#include <QMenu>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>

#include <string>
#include <vector>

namespace velmora {

namespace {

    // One paragraph of plain text at the end: never markup from the server, its
    // blanks as typed so lines break between words, its line breaks kept
    // inside the paragraph.
    void appendPlainParagraph(QTextEdit* edit, QString text)
    {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        for (const QChar line_break : { QChar(u'\r'), QChar(u'\n'), QChar(QChar::ParagraphSeparator) })
            text.replace(line_break, QChar(QChar::LineSeparator));
        QTextCursor cursor(edit->document());
        cursor.movePosition(QTextCursor::End);
        if (!edit->document()->isEmpty())
            cursor.insertBlock();
        cursor.insertText(text);
    }

} // namespace

void P4VSubmitClientUI::refreshSwarmReviewUI()
{
    // Reached from the review module's refresh; a failing request leaves the
    // rest of the panel as it was.
    runGuarded(this, [this] {
        ui_->force_changelist_review_state_lb_->setText(swarm_module_->checkIfMustBeReview() ? "是" : "否");
        ui_->swarm_review_state_lb_->setText(QString::fromStdString(swarm_module_->getSwarmReviewState()));
        ui_->swarm_comment_text_->clear();
        reviewer_model_->removeRows(0, reviewer_model_->rowCount());

        const ReviewInfo review = swarm_module_->getSwarmReviewInfo();
        // Reviewers are picked only while the change has no review.
        const bool picking = review.state == ReviewState::UnCreate;
        setReviewerPicking(picking);
        if (picking)
            return;

        for (const std::string& name : review.reviewers)
            appendReviewerRow(swarm_module_->getReviewer(name));
        for (const SwarmComment& comment : swarm_module_->getSwarmComments())
            appendPlainParagraph(ui_->swarm_comment_text_,
                QString("[%1]:%2").arg(
                    QString::fromStdString(comment.user), QString::fromStdString(comment.body)));
    });
}

void P4VSubmitClientUI::setReviewerPicking(bool picking)
{
    ui_->swarm_user_search_lb_->setReadOnly(!picking);
    reviewer_menu_->setEnabled(picking);
    ui_->swarm_reviewer_add_btn_->setEnabled(picking);
    ui_->swarm_review_create_btn_->setEnabled(picking);
}

void P4VSubmitClientUI::showReviewUnknown()
{
    ui_->force_changelist_review_state_lb_->clear();
    ui_->swarm_review_state_lb_->clear();
    setReviewerPicking(false);
}

void P4VSubmitClientUI::appendReviewerRow(const SwarmUserInfo& user)
{
    auto* name = new QStandardItem(QString::fromStdString(user.User));
    auto* full_name = new QStandardItem(QString::fromStdString(user.FullName));
    name->setTextAlignment(Qt::AlignCenter);
    full_name->setTextAlignment(Qt::AlignCenter);
    reviewer_model_->appendRow(QList<QStandardItem*> { name, full_name });
}

void P4VSubmitClientUI::openReviewInBrowser()
{
    runGuarded(this, [this] {
        const ReviewInfo review = swarm_module_->getSwarmReviewInfo();
        const QString base = QString::fromUtf8(kSwarmUrl);
        const QString target
            = review.id < 0 ? base : QString("%1/reviews/%2").arg(base, QString::number(review.id));
        QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
    });
}

void P4VSubmitClientUI::onSwarmRefreshButton()
{
    // The module refreshes and the panel redraws before the emit returns.
    runGuarded(this, [this] { emit updateSwarmInfo(); });
}

void P4VSubmitClientUI::addReviewer()
{
    runGuarded(this, [this] {
        // The search line keeps its text whatever happens.
        const QString name = ui_->swarm_user_search_lb_->text().trimmed();
        const std::string user = name.toUtf8().toStdString();
        if (!swarm_module_->hasReviewer(user)) {
            showTip(this, "添加失败,当前用户不存在.");
            return;
        }
        for (int row = 0; row < reviewer_model_->rowCount(); ++row) {
            if (reviewer_model_->index(row, 0).data().toString() == name) {
                showTip(this, QString("重复添加用户[%1].").arg(name));
                return;
            }
        }
        appendReviewerRow(swarm_module_->getReviewer(user));
    });
}

void P4VSubmitClientUI::createSwarmReview()
{
    runGuarded(this, [this] {
        // A run on the worker shelves and reads the shelf itself; refusing
        // here keeps one shelf owner per run, as the submit buttons do.
        if (refuseWhileRunning())
            return;

        logic_client_->shelveFiles();
        // The text as typed, straight after the tags: unlike the changelist
        // description, nothing is trimmed or put between them.
        const QString description = QString("%1%2").arg(
            tag_module_->getCurrentTagsLiterals(), ui_->description_text_edit_->toPlainText());
        std::vector<std::string> reviewers;
        for (int row = 0; row < reviewer_model_->rowCount(); ++row)
            reviewers.push_back(reviewer_model_->index(row, 0).data().toString().toUtf8().toStdString());
        swarm_module_->requestSwarmReview(
            swarm_module_->getPendingId(), description.toUtf8().toStdString(), std::move(reviewers));
        swarm_module_->refresh();
        emit updateSwarmInfo();
    });
}

void P4VSubmitClientUI::removeSelectedReviewer()
{
    runGuarded(this, [this] {
        // Without a current index the row is -1, which removes nothing.
        reviewer_model_->removeRow(ui_->swarm_reviewer_table_view_->currentIndex().row());
    });
}

void P4VSubmitClientUI::showReviewerMenu()
{
    runGuarded(this, [this] { reviewer_menu_->exec(QCursor::pos()); });
}

} // namespace velmora
