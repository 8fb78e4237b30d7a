// The check run on the worker thread: preparing the changelist, posting the
// check request, reading the reply's frames and acting on the verdict.
#include "p4v_submit_client/p4v_submit_client.h"

#include "korvath/repository.h"
#include "p4v_submit_client/check_request.h"
#include "p4v_submit_client/frame_reader.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <stdexcept>
#include <string>

namespace velmora {

void P4VSubmitClient::submit(bool is_pre_check)
{
    if (request_in_flight_) {
        // The window claims a run before it asks for one; a second request
        // while a reply is open would mix two replies in one buffer.
        recordErrorInfoAndEmit(std::runtime_error("A check is already running; the new request is ignored."));
        return;
    }
    submit_state_ = is_pre_check ? SubmitState::PreChecking : SubmitState::Submitting;
    step_index_ = 0;
    try {
        const QString description = getDescription();
        // A blank description is none: p4 refuses it, and the failed save would
        // leave the run stuck in its running state.
        if (!description.trimmed().isEmpty()) {
            Changelist edited = changelist();
            edited.SetDescription(description.toUtf8().toStdString());
            setChangelist(edited.Save());
            emit processInfoOutput(nextStep("Update Changelist Description"));
        }
        if (shelveForRun())
            emit processInfoOutput(nextStep(QString("Shelve Changelist %1").arg(changeId())));
        emit processInfoOutput(nextStep("请求服务器检测当前提交..."));

        QNetworkRequest request(checkServerUrl());
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray(kCheckContentType));
        const QByteArray body = buildCheckRequestBody(
            user_name_, changeId(), server_addr_, QString::fromUtf8(repository_->GetStream().c_str()));

        read_offset_ = 0;
        reply_buffer_.clear();
        check_verdict_ = 0;
        reply_faulted_ = false;

        auto* manager = new QNetworkAccessManager();
        QNetworkReply* reply = manager->post(request, body);
        request_in_flight_ = true;
        connect(
            reply, &QIODevice::readyRead, reply, [reply, this] { onCheckReplyReadyRead(reply); },
            Qt::DirectConnection);
        connect(
            reply, &QNetworkReply::finished, reply,
            [manager, reply, this] { handleCheckReply(manager, reply); }, Qt::DirectConnection);
    } catch (const std::exception& e) {
        recordErrorInfoAndEmit(e);
    }
}

void P4VSubmitClient::handleFrame(const QByteArray& frame)
{
    const CheckMessage message = CheckMessage::Deserialize(frame);
    if (message.IdentificationStr == "ServerInfo") {
        emit processInfoOutput(message.Message);
    } else if (message.IdentificationStr == "CheckResultInfo") {
        check_verdict_ = message.Cr.Passed ? 2 : 1;
        emit checkResultArrived(message.Cr);
    }
}

bool P4VSubmitClient::cutReplyFrames()
{
    const FrameCutEnd end = cutFrames(reply_buffer_, read_offset_,
        [this](QByteArrayView frame) { handleFrame(QByteArray::fromRawData(frame.data(), frame.size())); });
    return end != FrameCutEnd::NegativeLength;
}

void P4VSubmitClient::failReply(QNetworkReply* reply, const QString& fault)
{
    reply_faulted_ = true;
    recordErrorInfoAndEmit(std::runtime_error(fault.toStdString()));
    // Abort from the event loop, not from inside the reply's own signal.
    QMetaObject::invokeMethod(
        reply, [reply] { reply->abort(); }, Qt::QueuedConnection);
}

namespace {

    // An error status carries an error page, not frames: its bytes are never cut.
    bool hasErrorStatus(const QNetworkReply* reply)
    {
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400;
    }

} // namespace

void P4VSubmitClient::onCheckReplyReadyRead(QNetworkReply* reply)
{
    try {
        if (reply_faulted_ || hasErrorStatus(reply)) {
            reply->readAll();
            return;
        }
        reply_buffer_.append(reply->readAll());
        if (!cutReplyFrames())
            failReply(reply,
                QString("Check reply is corrupt: negative frame length %1 at byte %2.")
                    .arg(readFrameLength(reply_buffer_.constData() + read_offset_))
                    .arg(read_offset_));
    } catch (const std::exception& e) {
        recordErrorInfoAndEmit(e);
    }
}

void P4VSubmitClient::handleCheckReply(QNetworkAccessManager* manager, QNetworkReply* reply)
{
    try {
        if (reply_faulted_) {
            // The fault has been reported; a broken stream never passes.
            onFailed();
        } else if (reply->error() != QNetworkReply::NoError || hasErrorStatus(reply)) {
            emit processInfoOutput(QString("[HttpError]%1").arg(reply->errorString()));
            onFailed();
        } else {
            reply_buffer_.append(reply->readAll());
            const bool intact = cutReplyFrames();
            const qint64 unread = reply_buffer_.size() - read_offset_;
            if (!intact) {
                recordErrorInfoAndEmit(
                    std::runtime_error(QString("Check reply is corrupt: negative frame length %1 at byte %2.")
                                           .arg(readFrameLength(reply_buffer_.constData() + read_offset_))
                                           .arg(read_offset_)
                                           .toStdString()));
                onFailed();
            } else if (unread >= kFrameLengthSize) {
                recordErrorInfoAndEmit(
                    std::runtime_error(QString("Check reply ended inside a frame: %1 of %2 bytes arrived.")
                                           .arg(unread - kFrameLengthSize)
                                           .arg(readFrameLength(reply_buffer_.constData() + read_offset_))
                                           .toStdString()));
                onFailed();
            } else if (check_verdict_ == 2) {
                onSuccessed();
            } else {
                onFailed();
            }
        }
        reply->deleteLater();
        manager->deleteLater();
        request_in_flight_ = false;
    } catch (const std::exception& e) {
        recordErrorInfoAndEmit(e);
    }
}

void P4VSubmitClient::onSuccessed()
{
    try {
        emit processInfoOutput("[检测结果]:<font color='#38947c'>通过</font>");
        if (submit_state_ == SubmitState::PreChecking) {
            submit_state_ = SubmitState::PreCheckPassed;
            return;
        }
        const Changelist current = changelist();
        const std::string id = std::to_string(current.GetChangeId());
        if (files_state_ == FilesState::OpenedAndShelved) {
            const std::vector<FileSpec> opened = repository_->GetChangelist(current.GetChangeId(), false);
            Changelist moved_to = repository_->CreateChangelist();
            moved_to.SetDescription(current.GetDescription());
            moved_to = moved_to.Save();
            emit processInfoOutput(nextStep(QString("Create Changelist.Move Opened Files From [%1] To [%2]")
                                                .arg(current.GetChangeId())
                                                .arg(moved_to.GetChangeId())));
            repository_->ReopenFiles({ "-c", std::to_string(moved_to.GetChangeId()) }, opened);
        }
        // From the last look at the workspace to the submit, the shelf and its flag change
        // together or not at all.
        std::unique_lock<std::mutex> shelf(shelf_mutex_);
        if (files_state_ == FilesState::OpenedOnly) {
            // The revert would throw away whatever was edited after the checked shelf was made.
            const QStringList changed = changedSinceShelve();
            if (!changed.isEmpty()) {
                shelf.unlock();
                refuseChangedFiles(changed);
                return;
            }
            emit processInfoOutput(nextStep(QString("Revert Changelist %1").arg(current.GetChangeId())));
            repository_->RevertFiles({ "-c", id }, shelved_files_);
        }
        emit processInfoOutput(
            nextStep(QString("Submitting Pending Changelist %1").arg(current.GetChangeId())));
        const SubmitResult result = repository_->SubmitFiles({ "-e", id }, {});
        has_shelved_ = false;
        shelf.unlock();
        emit processInfoOutput(nextStep(
            QString("Sync Changelist <font color='#38947c'>%1</font>").arg(result.submitted_change_id)));
        repository_->SyncFiles({ "-f", "" }, result.files);
        emit processInfoOutput(nextStep("已可以关闭窗口.\n"));
        submit_state_ = SubmitState::Submitted;
    } catch (const std::exception& e) {
        recordErrorInfoAndEmit(e);
        submit_state_ = SubmitState::SubmitError;
    }
}

void P4VSubmitClient::refuseChangedFiles(const QStringList& changed)
{
    recordErrorInfoAndEmit(std::runtime_error(
        QString("Shelve后以下文件已被修改,未还原也未提交: %1").arg(changed.join(", ")).toStdString()));
    // As after a failed check: a new run shelves the workspace as it is now.
    dropOwnShelf();
    endFailedCheck();
}

void P4VSubmitClient::onFailed()
{
    try {
        emit processInfoOutput("[检测结果]:<font color='#dd0000'>失败</font>");
        if (files_state_ == FilesState::OpenedOnly)
            dropOwnShelf();
        endFailedCheck();
    } catch (const std::exception& e) {
        recordErrorInfoAndEmit(e);
        submit_state_ = SubmitState::SubmitError;
    }
}

void P4VSubmitClient::endFailedCheck()
{
    if (submit_state_ == SubmitState::Submitting) {
        emit processInfoOutput(nextStep("修改后可再次提交。已可以关闭窗口.\n"));
        submit_state_ = SubmitState::SubmitCheckFailed;
    } else if (submit_state_ == SubmitState::PreChecking) {
        submit_state_ = SubmitState::PreCheckFailed;
    }
}

} // namespace velmora
