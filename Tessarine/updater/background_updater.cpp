#include "updater/background_updater.h"

#include "logger/logger.h"
#include "updater/result_mailbox.h"

#include <QCoreApplication>

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace velmora::updater {
namespace {

// An exception must not end the process from a worker thread.
UpdateCheckOutcome runGuarded(const QString& feed_url, const UpdateCheckSettings& settings)
{
    QString error;
    try {
        return runUpdateCheck(feed_url, settings);
    } catch (const std::exception& exception) {
        error = QString::fromUtf8(exception.what());
    } catch (...) {
        error = QStringLiteral("unexpected failure");
    }
    UpdateCheckOutcome outcome;
    outcome.feed_url = feed_url;
    outcome.running_version = settings.running_version;
    outcome.status = UpdateCheckOutcome::Status::DownloadFailed;
    outcome.error = error;
    return outcome;
}

} // namespace

BackgroundUpdater::BackgroundUpdater(UpdateCheckSettings settings, QObject* parent)
    : QObject(parent)
    , settings_(std::move(settings))
    , checking_(std::make_shared<std::atomic<bool>>(false))
{
}

BackgroundUpdater::~BackgroundUpdater()
{
    if (mailbox_)
        mailbox_->close();
}

void BackgroundUpdater::setFeedUrl(const QString& url)
{
    feed_url_ = url;
}

bool BackgroundUpdater::checkInBackground()
{
    if (!QCoreApplication::instance()) {
        Logger::logWarning("[Update]No update check: there is no application to report to.");
        return false;
    }
    if (checking_->exchange(true))
        return false;
    if (!mailbox_)
        mailbox_ = std::make_shared<ResultMailbox>(this);

    try {
        // Detached on purpose: exit must not wait for a slow feed, and the
        // worker owns everything it touches.
        std::thread([feed_url = feed_url_, settings = settings_, mailbox = mailbox_, checking = checking_, self = this] {
            const UpdateCheckOutcome outcome = runGuarded(feed_url, settings);
            checking->store(false);
            // `self` is only dereferenced on its own thread, and only while it
            // lives: the mailbox closes in its destructor, and Qt drops calls
            // queued for a deleted receiver.
            mailbox->post([self, outcome] { self->report(outcome); });
        }).detach();
    } catch (const std::system_error& error) {
        checking_->store(false);
        Logger::logWarning(QString("[Update]No update check: cannot start a thread (%1).").arg(QString::fromUtf8(error.what())));
        return false;
    }
    return true;
}

void BackgroundUpdater::report(const UpdateCheckOutcome& outcome)
{
    if (outcome.failed())
        Logger::logWarning(outcome.describe());
    else
        Logger::logInfo(outcome.describe());
    emit checkFinished(outcome);
}

} // namespace velmora::updater
