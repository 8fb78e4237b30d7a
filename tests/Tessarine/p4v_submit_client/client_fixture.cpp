#include "client_fixture.h"

#include <set>

namespace velmora::testing {

SignalRecorder::SignalRecorder(P4VSubmitClient* client)
{
    connect(
        client, &P4VSubmitClient::processInfoOutput, this,
        [this](const QString& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_ << line;
        },
        Qt::DirectConnection);
    connect(
        client, &P4VSubmitClient::errorMessageOutput, this,
        [this](const QString& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_ << "ERROR:" + line;
        },
        Qt::DirectConnection);
    connect(
        client, &P4VSubmitClient::checkResultArrived, this,
        [this](const CheckResult& result) {
            std::lock_guard<std::mutex> lock(mutex_);
            results_ << result;
        },
        Qt::DirectConnection);
}

QStringList SignalRecorder::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

QList<CheckResult> SignalRecorder::results() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return results_;
}

void SignalRecorder::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
    results_.clear();
}

RunTrigger::RunTrigger(P4VSubmitClient* client)
    : client_(client)
{
    connect(this, &RunTrigger::submitClicked, client, &P4VSubmitClient::submit);
}

bool RunTrigger::start(bool is_pre_check)
{
    if (!client_->claimRun(is_pre_check))
        return false;
    emit submitClicked(is_pre_check);
    return true;
}

bool waitFor(const std::function<bool()>& condition, int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    QCoreApplication::processEvents();
    return true;
}

bool isFinalState(int state)
{
    return state != SubmitState::Submitting && state != SubmitState::PreChecking
        && state != SubmitState::Idle;
}

void ClientFixture::SetUp()
{
    tags_.replyWithTags({ { "feature", "New feature" }, { "fix", "Bug fix" } });
    tags_.start(
        QUrl(build_config::kTagServiceUrl).port(), QUrl(build_config::kTagServiceUrl).host().toStdString());
    reviews_.setUsers({ { "tester", "Test Er", "" }, { "alice", "Alice", "" } });
    reviews_.start(QUrl(build_config::kSwarmUrl).port(), QUrl(build_config::kSwarmUrl).host().toStdString());
    check_.start(build_config::kCheckServerPort, build_config::kCheckServerHost);
}

void ClientFixture::TearDown()
{
    trigger_.reset();
    recorder_.reset();
    client_.reset();
    check_.stop();
}

P4VInputInfo ClientFixture::input(const QString& change_id, const QList<QString>& files) const
{
    return P4VInputInfo { change_id, QString::fromStdString(depot_.port()),
        QString::fromStdString(depot_.client()), QString::fromStdString(depot_.user()), files };
}

P4VSubmitClient& ClientFixture::startClient(const QString& change_id, const QList<QString>& files)
{
    client_ = std::make_unique<P4VSubmitClient>(input(change_id, files), false);
    recorder_ = std::make_unique<SignalRecorder>(client_.get());
    trigger_ = std::make_unique<RunTrigger>(client_.get());
    client_->initialize();
    return *client_;
}

QStringList ClientFixture::run(bool is_pre_check)
{
    recorder_->clear();
    EXPECT_TRUE(trigger_->start(is_pre_check)) << "run refused in state " << client_->getSubmitState();
    EXPECT_TRUE(waitFor([this] { return isFinalState(client_->getSubmitState()); }))
        << "stuck in state " << client_->getSubmitState();
    return recorder_->lines();
}

std::vector<std::vector<std::string>> ClientFixture::fileCommands() const
{
    static const std::set<std::string> wanted { "reopen", "shelve", "revert", "submit", "sync" };
    std::vector<std::vector<std::string>> commands;
    for (const auto& command : depot_.commands())
        if (!command.empty() && wanted.count(command[0]))
            commands.push_back(command);
    return commands;
}

std::string ClientFixture::frames(const std::vector<std::string>& messages)
{
    std::string stream;
    for (const std::string& message : messages)
        stream += standin::CheckServer::frame(message);
    return stream;
}

void ClientFixture::replyWith(const std::vector<std::string>& messages, std::vector<size_t> piece_sizes)
{
    standin::CheckReplyScript script;
    script.pieces = standin::CheckServer::split(frames(messages), piece_sizes);
    check_.setScript(script);
}

} // namespace velmora::testing
