#pragma once

// The client against real stand-ins: the stand-in p4 depot, and the tag,
// review and check services on the loopback addresses of the test build.
#include "build_config.h"
#include "check_server.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"
#include "wait_until.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace velmora::testing {

using Commands = std::vector<std::vector<std::string>>;

class ClientFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        tags_.replyWithTags({ { "feature", "New feature" }, { "fix", "Bug fix" } });
        const QUrl tag_url(build_config::kTagServiceUrl), swarm_url(build_config::kSwarmUrl);
        tags_.start(tag_url.port(), tag_url.host().toStdString());
        reviews_.start(swarm_url.port(), swarm_url.host().toStdString());
        check_.start(build_config::kCheckServerPort, build_config::kCheckServerHost);
    }

    P4VInputInfo input(const QString& change_id, const QList<QString>& files = {}) const
    {
        return P4VInputInfo { change_id, QString::fromStdString(depot_.port()),
            QString::fromStdString(depot_.client()), QString::fromStdString(depot_.user()), files };
    }

    // Records what the window would see, on the emitting thread under a lock the thread
    // sanitizer sees: progress lines, "ERROR:<line>", "RESULT:pass" or "RESULT:fail <groups>".
    void startClient(const QString& change_id, const QList<QString>& files = {})
    {
        client_ = std::make_unique<P4VSubmitClient>(input(change_id, files), false);
        P4VSubmitClient* client = client_.get();
        const auto add = [this](const QString& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_ << line;
        };
        const auto direct = Qt::DirectConnection;
        QObject::connect(client, &P4VSubmitClient::processInfoOutput, &context_, add, direct);
        QObject::connect(
            client, &P4VSubmitClient::errorMessageOutput, &context_,
            [add](const QString& line) { add("ERROR:" + line); }, direct);
        QObject::connect(
            client, &P4VSubmitClient::checkResultArrived, &context_,
            [add](const CheckResult& r) {
                add(r.Passed ? "RESULT:pass" : QString("RESULT:fail %1").arg(r.ErrorGroups.size()));
            },
            direct);
        // The window's queued signal, connected before the worker starts so that the thread
        // sanitizer sees the slot object made before the worker reads it.
        for (const bool pre_check : { false, true })
            QObject::connect(&triggers_[pre_check], &QObject::objectNameChanged, client,
                [client, pre_check] { client->submit(pre_check); });
        client_->initialize();
    }

    QStringList lines()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    // Change 100 with its files in the given state, started; journal cleared.
    void startIn(int files_state)
    {
        const std::vector<StandInFile> opened { depot_.file("src/opened.c", 2) };
        depot_.writeLocalFile(opened[0], "first\n");
        depot_.addPendingChange("[feature] add button",
            files_state == FilesState::ShelvedOnly ? std::vector<StandInFile> {} : opened,
            files_state == FilesState::OpenedOnly ? std::vector<StandInFile> {}
                                                  : std::vector { depot_.file("src/shelved.c", 5) });
        startClient("100");
        depot_.clearJournal();
    }

    // Asks the worker for a run, unclaimed.
    void submitClicked(bool is_pre_check)
    {
        triggers_[is_pre_check].setObjectName(QString::number(++clicks_));
    }

    // As the window starts a run: claim it, then a queued call on the worker.
    bool start(bool is_pre_check)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.clear();
        }
        if (!client_->claimRun(is_pre_check))
            return false;
        submitClicked(is_pre_check);
        return true;
    }

    bool finished() const
    {
        const int state = client_->getSubmitState();
        return state != SubmitState::Submitting && state != SubmitState::PreChecking;
    }

    // Runs to a final state and returns the run's lines.
    QStringList run(bool is_pre_check)
    {
        EXPECT_TRUE(start(is_pre_check)) << "refused in state " << client_->getSubmitState();
        EXPECT_TRUE(waitUntil([this] { return finished(); })) << "stuck in " << client_->getSubmitState();
        return lines();
    }

    // The p4 commands that move, shelve, revert, submit or sync files.
    Commands fileCommands() const
    {
        Commands commands;
        for (const auto& command : depot_.commands())
            if (QStringList({ "reopen", "shelve", "revert", "submit", "sync" })
                    .contains(command.front().c_str()))
                commands.push_back(command);
        return commands;
    }

    static std::string frames(const std::vector<std::string>& messages)
    {
        std::string stream;
        for (const std::string& message : messages)
            stream += standin::CheckServer::frame(message);
        return stream;
    }

    void replyWith(const std::vector<std::string>& messages, std::function<void()> on_request = {})
    {
        standin::CheckReplyScript script;
        script.pieces = { frames(messages) };
        script.on_request = std::move(on_request);
        check_.setScript(script);
    }

    StandInDepot depot_;
    standin::TagServer tags_;
    standin::ReviewServer reviews_ { build_config::kSwarmUser, build_config::kSwarmToken };
    standin::CheckServer check_;
    std::unique_ptr<P4VSubmitClient> client_;

private:
    QObject context_;
    QObject triggers_[2];
    int clicks_ = 0;
    std::mutex mutex_;
    QStringList lines_;
};

} // namespace velmora::testing
