#pragma once

#include "p4v_submit_client/check_message.h"
#include "p4v_submit_client/p4v_input_info.h"
#include "p4v_submit_client/submit_state.h"
#include "p4v_submit_client/workspace_snapshot.h"

#include "korvath/changelist.h"
#include "korvath/file_spec.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;

namespace velmora {

class Repository;
class SwarmModule;
class TagModule;
class P4VSubmitClientUI;

// Drives one submit. Constructed on the GUI thread, where it opens the
// Perforce connection and settles the changelist; initialize() then moves it
// to its worker thread, where submit(), the check reply's handlers and the
// verdict actions run. The window calls the accessors, validate() and
// shelveFiles() from the GUI thread; what both threads touch is guarded here.
class P4VSubmitClient : public QObject {
    Q_OBJECT
public:
    // Makes the main window over a client. main sets it before initialize(),
    // which keeps Qt Widgets out of this library.
    using WindowFactory = std::function<P4VSubmitClientUI*(P4VSubmitClient*)>;
    static void setWindowFactory(WindowFactory factory);

    P4VSubmitClient(const P4VInputInfo& info, bool show_ui);
    ~P4VSubmitClient() override;

    void initialize();
    void shelveFiles();
    void submit(bool is_pre_check);

    // Claims the right to start a run from the GUI thread: moves an idle or
    // finished state to the running one in a single step, so a second press
    // cannot start a second run before the worker has picked up the first.
    bool claimRun(bool is_pre_check);

    QString getDescription() const;
    void setDescription(const QString& description);
    bool validate(QString* error);
    int getSubmitState() const;
    TagModule* getTagModule();
    SwarmModule* getSwarmModule();
    QString getUserToken() const;
    QString getUserName() const;

    void onSuccessed();
    void onFailed();
    void recordErrorInfoAndEmit(const std::exception& e) const;

signals:
    void errorMessageOutput(QString error_info) const;
    void processInfoOutput(QString process_info) const;
    void checkResultArrived(velmora::CheckResult result);

private:
    void settleFromFiles(const P4VInputInfo& info);
    void settleFromChangeId(const QString& change_id);
    void deleteCreatedChange(int change_id) const;
    // Shelves the changelist unless it has a shelf; true when it shelved now.
    bool shelveUnlessShelved();
    // The run's shelve: as above, and a shelf of the client's own that no longer holds what
    // the workspace holds is shelved again. True when it shelved.
    bool shelveForRun();
    // shelf_mutex_ held: shelves (replacing the shelf when `replace`), recording what was shelved.
    void shelveLocked(bool replace);
    // shelf_mutex_ held: opened files that differ from what the client's shelf was made of.
    QStringList changedSinceShelve();
    void dropOwnShelf();
    void endFailedCheck();
    void refuseChangedFiles(const QStringList& changed);
    Changelist changelist() const;
    void setChangelist(Changelist changelist);
    int changeId() const;
    QString nextStep(const QString& text);

    void onCheckReplyReadyRead(QNetworkReply* reply);
    void handleCheckReply(QNetworkAccessManager* manager, QNetworkReply* reply);
    // Cuts what has arrived; false when the stream turned out corrupt.
    bool cutReplyFrames();
    void handleFrame(const QByteArray& frame);
    void failReply(QNetworkReply* reply, const QString& fault);

    int step_index_ = 0;
    qint64 read_offset_ = 0;
    QByteArray reply_buffer_;
    bool has_shelved_ = false;
    bool show_ui_ = false;
    QString user_name_;
    QString workspace_;
    QString server_addr_;
    QString user_token_;
    QString stream_path_;
    QString description_;
    std::vector<FileSpec> shelved_files_;
    int check_verdict_ = 0;
    int files_state_ = 0;
    Changelist changelist_;
    Repository* repository_ = nullptr;
    P4VSubmitClientUI* ui_ = nullptr;
    QThread* worker_thread_ = nullptr;
    SwarmModule* swarm_module_ = nullptr;
    TagModule* tag_module_ = nullptr;
    std::atomic<int> submit_state_ { SubmitState::Idle };

    // Worker-thread only: a reply is open, or the current one broke the format.
    bool request_in_flight_ = false;
    bool reply_faulted_ = false;

    mutable std::mutex description_mutex_;
    // The workspace as it stood when the client last shelved (opened-only changes).
    std::optional<WorkspaceSnapshot> shelf_snapshot_;
    // Guards changelist_, has_shelved_, shelved_files_ and shelf_snapshot_; held across every
    // p4 call that makes, replaces, deletes or submits the shelf together with the flag, so
    // the GUI thread never acts on a shelf that is about to change.
    mutable std::mutex shelf_mutex_;
};

} // namespace velmora
