// The review panel: review state, reviewers and comments of the change.
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"

#include "modules/swarm_module.h"
#include "modules/swarm_types.h"
#include "p4v_submit_client_ui/handler_guard.h"
#include "ui_brelling.h"

#include <QList>
#include <QMenu>
#include <QStandardItem>
#include <QStandardItemModel>

namespace velmora {

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
        ui_->swarm_user_search_lb_->setReadOnly(!picking);
        reviewer_menu_->setEnabled(picking);
        ui_->swarm_reviewer_add_btn_->setEnabled(picking);
        ui_->swarm_review_create_btn_->setEnabled(picking);
        if (picking)
            return;

        for (const std::string& name : review.reviewers)
            appendReviewerRow(swarm_module_->getReviewer(name));
        for (const SwarmComment& comment : swarm_module_->getSwarmComments())
            ui_->swarm_comment_text_->append(QString("[%1]:%2").arg(
                QString::fromStdString(comment.user), QString::fromStdString(comment.body)));
    });
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
    // To come: open the review ("%1/reviews/%2"), or the server's base URL, in the browser.
}

void P4VSubmitClientUI::onSwarmRefreshButton()
{
    // To come: emit updateSwarmInfo(), guarded (the refresh talks to the review server).
}

void P4VSubmitClientUI::addReviewer()
{
    // To come: add the typed, known, not yet listed user to the reviewer table.
}

void P4VSubmitClientUI::createSwarmReview()
{
    // To come: shelve, request the review with the table's reviewers, refresh and redraw.
}

void P4VSubmitClientUI::removeSelectedReviewer()
{
    // To come: remove the reviewer table's current row.
}

void P4VSubmitClientUI::showReviewerMenu()
{
    // To come: run reviewer_menu_ at the cursor.
}

} // namespace velmora
