#pragma once

// The client against real stand-ins: the stand-in p4 depot, and the tag,
// review and check services on the loopback addresses compiled into the test
// build.
#include "build_config.h"
#include "check_server.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Readable test output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace velmora::testing {

// What the window would see: the client's three signals in emission order.
// Recorded directly on the emitting thread under a lock the thread sanitizer
// can see (Qt's own queues are invisible to it).
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    explicit SignalRecorder(P4VSubmitClient* client);

    QStringList lines() const; // progress lines, and error lines marked "ERROR:"
    QList<CheckResult> results() const;
    void clear();

private:
    mutable std::mutex mutex_;
    QStringList lines_;
    QList<CheckResult> results_;
};

// Starts a run the way the window does: claim it, then the queued signal.
class RunTrigger : public QObject {
    Q_OBJECT
public:
    explicit RunTrigger(P4VSubmitClient* client);
    bool start(bool is_pre_check);
signals:
    void submitClicked(bool is_pre_check);

private:
    P4VSubmitClient* client_;
};

bool waitFor(const std::function<bool()>& condition, int timeout_ms = 20000);
bool isFinalState(int state);

class ClientFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    P4VInputInfo input(const QString& change_id, const QList<QString>& files = {}) const;
    // Constructs and initialises a client with signals recorded.
    P4VSubmitClient& startClient(const QString& change_id, const QList<QString>& files = {});
    // Runs to a final state and returns the lines of the run.
    QStringList run(bool is_pre_check);
    // p4 commands of interest (files moved, shelved, reverted, submitted, synced).
    std::vector<std::vector<std::string>> fileCommands() const;

    static std::string frames(const std::vector<std::string>& messages);
    void replyWith(const std::vector<std::string>& messages, std::vector<size_t> piece_sizes = {});

    StandInDepot depot_;
    standin::TagServer tags_;
    standin::ReviewServer reviews_ { build_config::kSwarmUser, build_config::kSwarmToken };
    standin::CheckServer check_;
    std::unique_ptr<P4VSubmitClient> client_;
    std::unique_ptr<SignalRecorder> recorder_;
    std::unique_ptr<RunTrigger> trigger_;
};

} // namespace velmora::testing
