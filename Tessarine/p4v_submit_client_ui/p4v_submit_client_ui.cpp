#include "p4v_submit_client_ui/p4v_submit_client_ui.h"

#include "build_config.h"
#include "modules/description_tags.h"
#include "modules/swarm_module.h"
#include "modules/tag_module.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "p4v_submit_client_ui/deferred_rows.h"
#include "p4v_submit_client_ui/handler_guard.h"
#include "ui_brelling.h"

#include <QAction>
#include <QCheckBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QSettings>
#include <QStandardItemModel>
#include <QStringList>

#include <memory>
#include <string>

namespace velmora {

const QString P4VSubmitClientUI::kSearchUserKey = "search_user_name";
const QString P4VSubmitClientUI::kAutoSaveSearchKey = "enable_save_user_name";

P4VSubmitClientUI::P4VSubmitClientUI(P4VSubmitClient* logic_client, QWidget* parent)
    : QMainWindow(parent)
    , ui_(new Ui_Brelling())
    , logic_client_(logic_client)
{
    Q_ASSERT_X(logic_client_ != nullptr, "p4v_submit_client_ui", "logic_client_ != nullptr");
    // A failure below leaves the constructor for start-up's handler; the form
    // must not be lost on that way.
    std::unique_ptr<Ui_Brelling> form_owner(ui_);
    tag_module_ = logic_client_->getTagModule();
    swarm_module_ = logic_client_->getSwarmModule();

    ui_->setupUi(this);
    result_rows_ = new DeferredRowBuilder(ui_->console_text_result_info_);
    settings_ = new QSettings(QString("%1/user_config.ini").arg(QCoreApplication::applicationDirPath()),
        QSettings::IniFormat, this);
    showFeedbackLink();

    connect(this, &P4VSubmitClientUI::updateSwarmInfo, swarm_module_, &SwarmModule::refreshSwarmReviewInfo);
    connect(
        ui_->swarm_out_link_btn_, &QAbstractButton::clicked, this, [this](bool) { openReviewInBrowser(); });
    createTagBoxes();
    connect(ui_->description_text_edit_, &QTextEdit::textChanged, this, [this] { syncDescription(); });
    connect(this, &P4VSubmitClientUI::tagsChanged, this, &P4VSubmitClientUI::refreshTagsLabel);
    createReviewerCompleter();
    connectReviewButtons();
    createReviewerTable();
    connectToClient();
    loadDescription();

    emit tagsChanged();
    // Until a redraw succeeds the panel knows nothing of the review: if this
    // first one fails, it must not show the form's sample state, nor let a
    // second review be asked for.
    showReviewUnknown();
    // Fills the review panel; its requests run before the window is visible.
    emit updateSwarmInfo();
    form_owner.release();
    show();
}

void P4VSubmitClientUI::showFeedbackLink()
{
    ui_->label_link_->setText(QString(
        "<html><head/><body><p><a href=\"%1\"><img src=\":/Tessarine/Resource/feedback.png\"/></a></p>"
        "</body></html>")
                                  .arg(QString::fromUtf8(build_config::kFeedbackUrl).toHtmlEscaped()));
}

void P4VSubmitClientUI::createTagBoxes()
{
    // Three to a row, in the module's order. Each box gets its state before it
    // is connected, so building them selects and clears nothing.
    const QList<std::pair<QString, QString>> tags = tag_module_->getProjectTags();
    for (int i = 0; i < tags.size(); ++i) {
        const QString& name = tags.at(i).first;
        auto* box = new QCheckBox(name);
        box->setToolTip(tags.at(i).second);
        box->setCheckState(tag_module_->getTag(name.toUtf8().toStdString()) ? Qt::Checked : Qt::Unchecked);
        ui_->tag_grid_layout->addWidget(box, i / 3, i % 3, Qt::AlignLeft | Qt::AlignVCenter);
        tag_boxes_.insert(box, name);
        connect(
            box, &QCheckBox::stateChanged, [this, box](int state) { onTagCheckStateChanged(box, state); });
    }
}

void P4VSubmitClientUI::createReviewerCompleter()
{
    // Known users at start-up only; the list is not refreshed.
    QStringList user_names;
    for (const SwarmUserInfo& user : swarm_module_->getAllReviewers())
        user_names << QString::fromStdString(user.User);
    auto* completer = new QCompleter(user_names, this);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setFilterMode(Qt::MatchStartsWith);
    ui_->swarm_user_search_lb_->setCompleter(completer);
}

void P4VSubmitClientUI::connectReviewButtons()
{
    connect(
        ui_->swarm_refresh_btn_, &QAbstractButton::clicked, this, [this](bool) { onSwarmRefreshButton(); });
    connect(swarm_module_, &SwarmModule::updateSwarmInfoCompleted, this,
        &P4VSubmitClientUI::refreshSwarmReviewUI);
    connect(ui_->swarm_reviewer_add_btn_, &QAbstractButton::clicked, this, [this](bool) { addReviewer(); });
    connect(ui_->swarm_review_create_btn_, &QAbstractButton::clicked, this,
        [this](bool) { createSwarmReview(); });
}

void P4VSubmitClientUI::createReviewerTable()
{
    reviewer_model_ = new QStandardItemModel(this);
    reviewer_model_->setHorizontalHeaderLabels({ "user", "fullname" });
    QTableView* table = ui_->swarm_reviewer_table_view_;
    table->verticalHeader()->hide();
    table->setTextElideMode(Qt::ElideMiddle);
    table->setModel(reviewer_model_);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    reviewer_menu_ = new QMenu(table);
    // The menu owns its action, so the action goes with the window.
    auto* remove_action = new QAction("删除", reviewer_menu_);
    reviewer_menu_->addAction(remove_action);
    connect(remove_action, &QAction::triggered, [this](bool) { removeSelectedReviewer(); });
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, reviewer_menu_,
        [this](const QPoint&) { showReviewerMenu(); });
}

void P4VSubmitClientUI::connectToClient()
{
    // Pressed, not clicked: the form's own clear of the result list hangs on
    // clicked, so it runs after these handlers.
    connect(ui_->submit_btn_, &QAbstractButton::pressed, this, [this] { onSubmitButton(); });
    connect(ui_->pre_submit_btn_, &QAbstractButton::pressed, this, [this] { onPreSubmitButton(); });
    connect(this, &P4VSubmitClientUI::submitClicked, logic_client_, &P4VSubmitClient::submit);
    connect(logic_client_, &P4VSubmitClient::processInfoOutput, this,
        [this](QString line) { appendConsoleInfo(std::move(line)); });
    connect(logic_client_, &P4VSubmitClient::errorMessageOutput, this,
        [this](QString line) { appendConsoleError(std::move(line)); });
    connect(
        logic_client_, &P4VSubmitClient::checkResultArrived, this, &P4VSubmitClientUI::displayCheckResult);
    connect(ui_->console_text_browser_, &QTextBrowser::anchorClicked, this,
        [this](const QUrl& url) { openConsoleLink(url); });
}

void P4VSubmitClientUI::loadDescription()
{
    // The editor gets the free text only; loading it runs syncDescription, so
    // the client holds the canonical "<tags> <text>" before the window shows.
    std::string rest;
    parseDescriptionTags(logic_client_->getDescription().toUtf8().toStdString(), &rest);
    ui_->description_text_edit_->setText(QString::fromStdString(rest).trimmed());
}

P4VSubmitClientUI::~P4VSubmitClientUI()
{
    delete ui_;
    ui_ = nullptr;
}

void P4VSubmitClientUI::refreshTagsLabel()
{
    runGuarded(this, [this] {
        ui_->prefix_text_edit_->setText(QString("%1").arg(tag_module_->getCurrentTagsLiterals()));
    });
}

void P4VSubmitClientUI::syncDescription()
{
    runGuarded(this, [this] { handOverDescription(); });
}

void P4VSubmitClientUI::handOverDescription()
{
    // One pass over both placeholders: a text holding "%1" stays as typed.
    logic_client_->setDescription(QString("%1 %2").arg(
        tag_module_->getCurrentTagsLiterals(), ui_->description_text_edit_->toPlainText().trimmed()));
}

void P4VSubmitClientUI::onTagCheckStateChanged(QWidget* box, int state)
{
    runGuarded(this, [this, box, state] {
        const auto it = tag_boxes_.constFind(box);
        if (it == tag_boxes_.cend())
            return;
        // The description takes the new tags at the next edit or press.
        tag_module_->setTag(it.value().toUtf8().toStdString(), state != 0);
        emit tagsChanged();
    });
}

} // namespace velmora
