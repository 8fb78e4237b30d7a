#pragma once

#include "updater/update_check.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

namespace velmora::updater {

class ResultMailbox;

// The update framework's shared updater as it works here: it keeps the feed
// address and checks it on a worker thread. The worker holds only copies and
// shared state, never this object; its outcome returns through the event loop
// of this object's thread, where it is logged (INFO, failures WARN) and
// emitted. A check still running at exit is abandoned, not waited for.
class BackgroundUpdater : public QObject {
    Q_OBJECT

public:
    explicit BackgroundUpdater(UpdateCheckSettings settings, QObject* parent = nullptr);
    ~BackgroundUpdater() override;

    void setFeedUrl(const QString& url); // empty: none
    QString feedUrl() const { return feed_url_; }

    // Starts a check and returns at once. Returns false, and starts nothing,
    // while a check runs, or without a QCoreApplication to report to.
    bool checkInBackground();
    bool isChecking() const { return checking_->load(); }

signals:
    void checkFinished(const velmora::updater::UpdateCheckOutcome& outcome);

private:
    void report(const UpdateCheckOutcome& outcome);

    UpdateCheckSettings settings_;
    QString feed_url_;
    std::shared_ptr<ResultMailbox> mailbox_;
    std::shared_ptr<std::atomic<bool>> checking_;
};

} // namespace velmora::updater
