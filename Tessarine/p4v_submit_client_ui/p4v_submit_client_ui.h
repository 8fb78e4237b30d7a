#pragma once

#include "p4v_submit_client/check_message.h"

#include <QHash>
#include <QMainWindow>
#include <QString>

class QMenu;
class QSettings;
class QStandardItemModel;
class QUrl;
class Ui_Brelling;

namespace velmora {

class DeferredRowBuilder;
class P4VSubmitClient;
class SwarmModule;
class TagModule;
struct SwarmUserInfo;

// The one main window. Its constructor builds the form, wires the window to
// the client (submits out, progress lines and check results in) and to the two
// service modules (tags, review), fills the editors from the changelist and
// shows the window. Everything here runs on the GUI thread; the client's
// signals arrive queued from its worker thread.
class P4VSubmitClientUI : public QMainWindow {
    Q_OBJECT
public:
    P4VSubmitClientUI(P4VSubmitClient* logic_client, QWidget* parent);
    ~P4VSubmitClientUI() override;

    // Key names of the settings file; declared, not used yet.
    static const QString kSearchUserKey;
    static const QString kAutoSaveSearchKey;

    // Shows the selected tags' literals in the prefix box.
    void refreshTagsLabel();
    // Redraws the review panel from the review module.
    void refreshSwarmReviewUI();

    // The check-result view.
    void generateHeaderWidght(bool failed);
    void generateErrorList(CheckResult check_result);
    void displayErrorsOfSpecifiedType(CheckResult check_result, int group_index);

signals:
    void tagsChanged();
    void updateSwarmInfo();
    void submitClicked(bool is_pre_check);

public slots:
    void displayCheckResult(velmora::CheckResult check_result);

private:
    // The construction's steps, in their order.
    void showFeedbackLink();
    void createTagBoxes();
    void createReviewerCompleter();
    void connectReviewButtons();
    void createReviewerTable();
    void connectToClient();
    void loadDescription();

    // Every edit of the description: hands "<tags> <text>" to the client.
    void syncDescription();
    // A tag check box toggled: selects or clears its tag.
    void onTagCheckStateChanged(QWidget* box, int state);

    // submit_btn_ pressed.
    void onSubmitButton();
    // pre_submit_btn_ pressed.
    void onPreSubmitButton();
    // The client's processInfoOutput.
    void appendConsoleInfo(QString line);
    // The client's errorMessageOutput.
    void appendConsoleError(QString line);
    // A link clicked in the console.
    void openConsoleLink(const QUrl& url);
    // The buttons' common steps: the description handed over, a refusal by
    // submit state, and the run claimed and requested.
    void handOverDescription();
    bool refuseInCurrentState();
    // The waiting text while a run holds the state (the review panel's create too).
    bool refuseWhileRunning();
    void claimRunAndEmit(bool is_pre_check);

    // swarm_out_link_btn_ clicked.
    void openReviewInBrowser();
    // swarm_refresh_btn_ clicked.
    void onSwarmRefreshButton();
    // swarm_reviewer_add_btn_ clicked.
    void addReviewer();
    // swarm_review_create_btn_ clicked.
    void createSwarmReview();
    // The reviewer menu's "删除" triggered.
    void removeSelectedReviewer();
    // Context menu requested on the reviewer table.
    void showReviewerMenu();

    // One row of the reviewer table: user name and full name, centred.
    void appendReviewerRow(const SwarmUserInfo& user);
    // Reviewers may be picked and a review created (or not).
    void setReviewerPicking(bool picking);
    // The panel before any redraw has succeeded: no state, nothing to pick.
    void showReviewUnknown();

    Ui_Brelling* ui_ = nullptr;
    P4VSubmitClient* logic_client_ = nullptr;
    TagModule* tag_module_ = nullptr;
    SwarmModule* swarm_module_ = nullptr;
    QHash<QWidget*, QString> tag_boxes_;
    QSettings* settings_ = nullptr;
    QStandardItemModel* reviewer_model_ = nullptr;
    QMenu* reviewer_menu_ = nullptr;
    // Builds the check-result list's rows as they come into view.
    DeferredRowBuilder* result_rows_ = nullptr;
};

} // namespace velmora
