#include "updater/feed_updater.h"

#include "build_config.h"
#include "logger/logger.h"
#include "updater/appcast.h"
#include "updater/version_comparator.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSysInfo>

#include <exception>

namespace velmora::updater {
namespace {

    // A feed is a small file: a server that sends nothing for this long is down.
    constexpr int kTransferTimeoutMs = 30000;

    SystemInfo thisSystem()
    {
        const QString version = QSysInfo::productVersion();
        // Without a known release the limits cannot be judged: skip them rather
        // than drop every item that has one.
        return { QStringLiteral("linux"), version == QLatin1String("unknown") ? QString() : version };
    }

    void report(QNetworkReply* reply, const QString& feed)
    {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 0 && (status < 200 || status > 299)) {
            Logger::logWarning(QString("[Update]The update feed %1 could not be downloaded: HTTP status %2")
                                   .arg(feed)
                                   .arg(status));
            return;
        }
        if (reply->error() != QNetworkReply::NoError) {
            // The request is never aborted but by its transfer timeout.
            const QString reason = reply->error() == QNetworkReply::OperationCanceledError
                ? QString("no answer within %1 s").arg(kTransferTimeoutMs / 1000)
                : reply->errorString();
            Logger::logWarning(
                QString("[Update]The update feed %1 could not be downloaded: %2").arg(feed, reason));
            return;
        }
        QString error;
        const std::optional<AppcastItem> newest = newestAppcastItem(reply->readAll(), thisSystem(), &error);
        const QString running = QString::fromUtf8(build_config::kApplicationVersion);
        if (!error.isEmpty())
            Logger::logWarning(QString("[Update]The update feed %1 is malformed: %2").arg(feed, error));
        else if (newest && compareVersions(running, newest->version) < 0)
            Logger::logInfo(QString("[Update]A newer version %1 is available: %2 (running %3).")
                                .arg(newest->version, newest->url, running));
        else if (newest)
            Logger::logInfo(QString("[Update]The running version %1 is current (newest in the feed: %2).")
                                .arg(running, newest->version));
        else
            Logger::logInfo(QString(
                "[Update]The running version %1 is current (the feed offers no version for this system).")
                                .arg(running));
    }

} // namespace

FeedUpdater* FeedUpdater::sharedUpdater()
{
    static FeedUpdater updater;
    return &updater;
}

void FeedUpdater::setFeedURL(const QUrl& url)
{
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    feed_url_ = url.isValid() && web ? url : QUrl();
}

void FeedUpdater::checkForUpdatesInBackground() const
{
    if (feed_url_.isEmpty()) {
        Logger::logWarning("[Update]No update check: no feed address is set");
        return;
    }
    // Owned by the application, so that a check still running at exit goes
    // with it; a finished one frees it at once.
    auto* network = new QNetworkAccessManager(QCoreApplication::instance());
    QNetworkRequest request(feed_url_);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = network->get(request);
    QObject::connect(reply, &QNetworkReply::finished, network, [network, reply, feed = feed_url_.toString()] {
        network->deleteLater();
        try {
            report(reply, feed);
        } catch (const std::exception& exception) {
            Logger::logError(QString("[Update]The update check failed: %1").arg(exception.what()));
        } catch (...) {
            Logger::logError("[Update]The update check failed: unexpected failure");
        }
    });
}

} // namespace velmora::updater
