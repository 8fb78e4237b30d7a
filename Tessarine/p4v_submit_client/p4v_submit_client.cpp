#include "p4v_submit_client/p4v_submit_client.h"

#include "korvath/repository.h"
#include "logger/logger.h"
#include "modules/description_tags.h"
#include "modules/swarm_module.h"
#include "modules/tag_module.h"

#include <QThread>

#include <stdexcept>
#include <string>

namespace velmora {

namespace {

    std::string number(int value) { return std::to_string(value); }

    P4VSubmitClient::WindowFactory& windowFactory()
    {
        static P4VSubmitClient::WindowFactory factory;
        return factory;
    }

} // namespace

void P4VSubmitClient::setWindowFactory(WindowFactory factory) { windowFactory() = std::move(factory); }

P4VSubmitClient::P4VSubmitClient(const P4VInputInfo& info, bool show_ui)
    : QObject(nullptr)
    , show_ui_(show_ui)
    , user_name_(info.user_name)
    , workspace_(info.workspace)
    , server_addr_(info.server_addr)
{
    repository_ = new Repository(server_addr_.toUtf8().constData(), user_name_.toUtf8().constData(), "",
        workspace_.toUtf8().constData());
    try {
        repository_->Connect();
        user_token_ = QString::fromStdString(repository_->GetToken());
        stream_path_ = QString::fromStdString(repository_->GetStream());
        if (info.change_id.isEmpty())
            settleFromFiles(info);
        else
            settleFromChangeId(info.change_id);
    } catch (...) {
        delete repository_;
        repository_ = nullptr;
        throw;
    }
}

void P4VSubmitClient::settleFromFiles(const P4VInputInfo& info)
{
    std::vector<LocalPath> paths;
    for (const QString& file : info.files)
        paths.emplace_back(file.toUtf8().toStdString());
    Changelist created = repository_->CreateChangelist();
    const int id = created.GetChangeId();
    try {
        repository_->ReopenFiles({ "-c", number(id) }, paths);
    } catch (const P4FilesNotOpenedError& e) {
        // Take the new change away again and name what is not opened.
        deleteCreatedChange(id);
        QStringList lines;
        for (const std::string& line : e.lines())
            lines << QString::fromStdString(line);
        const QString message
            = QString("在工作区%1中未找到Opened文件:\n%2").arg(workspace_, lines.join('\n'));
        emit errorMessageOutput(message);
        throw std::runtime_error(message.toStdString());
    } catch (...) {
        deleteCreatedChange(id);
        throw;
    }
    changelist_ = repository_->GetChangelist(id);
    files_state_ = FilesState::OpenedOnly;
    has_shelved_ = false;
    shelved_files_.clear();
}

void P4VSubmitClient::deleteCreatedChange(int change_id) const
{
    try {
        repository_->DeleteChangelist(change_id);
    } catch (const std::exception& e) {
        // The failure that led here is what the user must see; this one goes to the log.
        Logger::logError(QString("The change %1 created for the file list could not be deleted: %2")
                             .arg(change_id)
                             .arg(QString::fromUtf8(e.what())));
    }
}

void P4VSubmitClient::settleFromChangeId(const QString& change_id)
{
    const std::vector<FileSpec> opened
        = repository_->GetOpenedFiles({ "-c", change_id.toUtf8().toStdString() });
    if (change_id.compare("default", Qt::CaseInsensitive) == 0) {
        if (opened.empty()) {
            const QString message = QString("在%1中未找到Opened文件").arg(change_id);
            emit errorMessageOutput(message);
            // Nothing is settled, so nothing could be submitted: end start-up
            // with the message instead of opening a window that cannot work.
            throw std::runtime_error(message.toStdString());
        }
        Changelist created = repository_->CreateChangelist();
        const int id = created.GetChangeId();
        std::vector<FileSpec> moved;
        for (const FileSpec& file : opened)
            moved.emplace_back(file.GetDepotPath(), file.GetRevision());
        repository_->ReopenFiles({ "-c", number(id) }, moved);
        changelist_ = repository_->GetChangelist(id);
        files_state_ = FilesState::OpenedOnly;
        has_shelved_ = false;
        shelved_files_.clear();
        return;
    }

    const int id = change_id.toInt(nullptr, 10);
    std::vector<FileSpec> shelved = repository_->GetChangelist(id, true);
    if (opened.empty() && shelved.empty()) {
        const QString message = QString("在%1中未找到Opened文件或Shelved文件").arg(change_id);
        emit errorMessageOutput(message);
        throw std::runtime_error(message.toStdString());
    }
    changelist_ = repository_->GetChangelist(id);
    if (shelved.empty()) {
        has_shelved_ = false;
        shelved_files_.clear();
        files_state_ = FilesState::OpenedOnly;
    } else {
        has_shelved_ = true;
        shelved_files_ = std::move(shelved);
        files_state_ = opened.empty() ? FilesState::ShelvedOnly : FilesState::OpenedAndShelved;
    }
}

P4VSubmitClient::~P4VSubmitClient()
{
    // The worker must be idle before what it uses goes away.
    if (worker_thread_) {
        worker_thread_->quit();
        worker_thread_->wait();
        delete worker_thread_;
        worker_thread_ = nullptr;
    }
    delete tag_module_;
    tag_module_ = nullptr;
    delete swarm_module_;
    swarm_module_ = nullptr;
    delete repository_;
    repository_ = nullptr;
}

void P4VSubmitClient::initialize()
{
    QString description = QString::fromStdString(changelist().GetDescription());
    // A change the client created, at this start or an earlier one, holds the Perforce layer's
    // stand-in text until the user writes a description: the editor starts empty, so
    // validation asks for one.
    if (description.trimmed() == QString::fromUtf8(kNewChangeDescription))
        description.clear();
    setDescription(description);

    worker_thread_ = new QThread();
    moveToThread(worker_thread_);
    worker_thread_->start(QThread::InheritPriority);

    tag_module_ = new TagModule();
    tag_module_->initialize(getDescription().toStdString());

    swarm_module_ = new SwarmModule();
    swarm_module_->initialize(changeId());

    if (show_ui_) {
        // Without it the program would run on with no window at all.
        if (!windowFactory())
            throw std::logic_error("P4VSubmitClient: no window factory set");
        ui_ = windowFactory()(this);
    }
}

void P4VSubmitClient::shelveLocked(bool replace)
{
    const int id = changelist_.GetChangeId();
    // What the shelf is made of, read right before it is made; only a shelf of the client's
    // own is ever compared with the workspace again.
    std::optional<WorkspaceSnapshot> snapshot;
    if (files_state_ == FilesState::OpenedOnly)
        snapshot = WorkspaceSnapshot::take(*repository_, id);
    if (replace)
        shelved_files_ = repository_->ShelveFiles({ "-r", "", "-c", number(id) }, {});
    else
        shelved_files_ = repository_->ShelveFiles({ "-c", number(id) }, {});
    has_shelved_ = true;
    shelf_snapshot_ = std::move(snapshot);
}

bool P4VSubmitClient::shelveUnlessShelved()
{
    std::lock_guard<std::mutex> lock(shelf_mutex_);
    if (has_shelved_)
        return false;
    shelveLocked(false);
    return true;
}

bool P4VSubmitClient::shelveForRun()
{
    std::lock_guard<std::mutex> lock(shelf_mutex_);
    if (!has_shelved_) {
        shelveLocked(false);
        return true;
    }
    // A shelf the user made before start-up is checked as it stands.
    if (files_state_ != FilesState::OpenedOnly || changedSinceShelve().isEmpty())
        return false;
    shelveLocked(true);
    return true;
}

QStringList P4VSubmitClient::changedSinceShelve()
{
    const WorkspaceSnapshot now = WorkspaceSnapshot::take(*repository_, changelist_.GetChangeId());
    return now.changedSince(shelf_snapshot_.value_or(WorkspaceSnapshot()));
}

void P4VSubmitClient::dropOwnShelf()
{
    std::lock_guard<std::mutex> lock(shelf_mutex_);
    repository_->ShelveFiles({ "-d", "", "-c", number(changelist_.GetChangeId()) }, {});
    has_shelved_ = false;
    shelved_files_.clear();
    shelf_snapshot_.reset();
}

void P4VSubmitClient::shelveFiles()
{
    if (shelveUnlessShelved())
        emit processInfoOutput(QString("Shelve Changelist [%2] Completed.").arg(changeId()));
}

bool P4VSubmitClient::claimRun(bool is_pre_check)
{
    const int running = is_pre_check ? SubmitState::PreChecking : SubmitState::Submitting;
    for (int state : { SubmitState::Idle, SubmitState::PreCheckPassed, SubmitState::SubmitCheckFailed,
             SubmitState::PreCheckFailed }) {
        int expected = state;
        if (submit_state_.compare_exchange_strong(expected, running))
            return true;
    }
    return false;
}

QString P4VSubmitClient::getDescription() const
{
    std::lock_guard<std::mutex> lock(description_mutex_);
    return description_;
}

void P4VSubmitClient::setDescription(const QString& description)
{
    std::lock_guard<std::mutex> lock(description_mutex_);
    description_ = description;
}

bool P4VSubmitClient::validate(QString* error)
{
    std::string free_text;
    parseDescriptionTags(getDescription().toStdString(), &free_text);
    if (QString::fromStdString(free_text).trimmed().isEmpty()) {
        if (error)
            *error = "描述信息不能为空.";
        return false;
    }
    if (tag_module_ && !tag_module_->isValid(error))
        return false;
    if (swarm_module_)
        return swarm_module_->isValid(error);
    return true;
}

int P4VSubmitClient::getSubmitState() const { return submit_state_; }

TagModule* P4VSubmitClient::getTagModule()
{
    Q_ASSERT_X(tag_module_ != nullptr, "p4v_submit_client", "tag_module_ != nullptr");
    return tag_module_;
}

SwarmModule* P4VSubmitClient::getSwarmModule()
{
    Q_ASSERT_X(swarm_module_ != nullptr, "p4v_submit_client", "swarm_module_ != nullptr");
    return swarm_module_;
}

QString P4VSubmitClient::getUserToken() const { return user_token_; }

QString P4VSubmitClient::getUserName() const { return user_name_; }

Changelist P4VSubmitClient::changelist() const
{
    std::lock_guard<std::mutex> lock(shelf_mutex_);
    return changelist_;
}

void P4VSubmitClient::setChangelist(Changelist changelist)
{
    std::lock_guard<std::mutex> lock(shelf_mutex_);
    changelist_ = std::move(changelist);
}

int P4VSubmitClient::changeId() const { return changelist().GetChangeId(); }

QString P4VSubmitClient::nextStep(const QString& text) { return QString("[%1]").arg(++step_index_) + text; }

void P4VSubmitClient::recordErrorInfoAndEmit(const std::exception& e) const
{
    const QString wrapped = QString("<font color='#ff0000'>%1</font>").arg(QString::fromUtf8(e.what()));
    Logger::logError(e.what());
    emit errorMessageOutput(wrapped);
}

} // namespace velmora
