#include "updater/update_check.h"

#include "build_config.h"
#include "http/http_client.h"
#include "updater/version_comparator.h"

#include <QSysInfo>
#include <QUrl>

namespace velmora::updater {
namespace {

UpdateCheckOutcome failure(UpdateCheckOutcome outcome, UpdateCheckOutcome::Status status, const QString& error)
{
    outcome.status = status;
    outcome.error = error;
    return outcome;
}

} // namespace

UpdateCheckSettings UpdateCheckSettings::forThisMachine()
{
    UpdateCheckSettings settings;
    settings.running_version = QString::fromUtf8(build_config::kApplicationVersion);
    settings.system.os = QStringLiteral("linux");
    const QString product_version = QSysInfo::productVersion();
    // Without a known release the system limits cannot be judged: skip them
    // rather than drop every item that has one.
    if (product_version != QLatin1String("unknown"))
        settings.system.system_version = product_version;
    return settings;
}

bool UpdateCheckOutcome::failed() const
{
    return status != Status::UpdateAvailable && status != Status::UpToDate;
}

QString UpdateCheckOutcome::describe() const
{
    switch (status) {
    case Status::UpdateAvailable:
        return QString("[Update]A newer version %1 is available: %2 (running %3).")
            .arg(newest->version, newest->url, running_version);
    case Status::UpToDate:
        if (newest)
            return QString("[Update]The running version %1 is current (newest in the feed: %2).")
                .arg(running_version, newest->version);
        return QString("[Update]The running version %1 is current (the feed offers no version for this system).")
            .arg(running_version);
    case Status::InvalidFeedUrl:
        return QString("[Update]No update check: %1").arg(error);
    case Status::DownloadFailed:
        return QString("[Update]The update feed %1 could not be downloaded: %2").arg(feed_url, error);
    case Status::MalformedFeed:
        return QString("[Update]The update feed %1 is malformed: %2").arg(feed_url, error);
    }
    return QString();
}

UpdateCheckOutcome runUpdateCheck(const QString& feed_url, const UpdateCheckSettings& settings)
{
    UpdateCheckOutcome outcome;
    outcome.feed_url = feed_url;
    outcome.running_version = settings.running_version;
    using Status = UpdateCheckOutcome::Status;

    if (feed_url.isEmpty())
        return failure(outcome, Status::InvalidFeedUrl, QStringLiteral("no feed address is set"));
    const QUrl url(feed_url, QUrl::StrictMode);
    // The transfer layer would also read local files or other protocols.
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return failure(outcome, Status::InvalidFeedUrl, QString("\"%1\" is no http(s) address").arg(feed_url));

    http::Request request;
    request.url = url.toEncoded().toStdString();
    request.headers = {
        { "Accept", "application/rss+xml, application/xml;q=0.9, */*;q=0.1" },
        { "User-Agent", "Tessarine/" + settings.running_version.toStdString() },
    };
    request.connect_timeout = settings.connect_timeout;
    request.total_timeout = settings.total_timeout;
    const http::Response response = http::get(request);
    if (response.status_code == 0)
        return failure(outcome, Status::DownloadFailed, QString::fromStdString(response.error));
    if (response.status_code < 200 || response.status_code > 299)
        return failure(outcome, Status::DownloadFailed, QString("HTTP status %1").arg(response.status_code));

    const AppcastParseResult feed = parseAppcast(QByteArray::fromStdString(response.text));
    if (!feed.ok)
        return failure(outcome, Status::MalformedFeed, feed.error);

    outcome.newest = chooseNewestItem(feed.items, settings.system);
    outcome.status = outcome.newest && compareVersions(settings.running_version, outcome.newest->version) < 0
        ? Status::UpdateAvailable
        : Status::UpToDate;
    return outcome;
}

} // namespace velmora::updater
