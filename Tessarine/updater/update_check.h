#pragma once

#include "updater/appcast.h"

#include <QMetaType>
#include <QString>

#include <chrono>
#include <optional>

namespace velmora::updater {

// What one check compares the feed with, and how long it may take.
struct UpdateCheckSettings {
    QString running_version;
    SystemCriteria system;
    // A feed is a small file: a host that does not answer quickly is down,
    // and a stalled transfer must not keep a worker busy for long.
    std::chrono::milliseconds connect_timeout { std::chrono::seconds(5) };
    std::chrono::milliseconds total_timeout { std::chrono::seconds(30) };

    // This program's own version on this system.
    static UpdateCheckSettings forThisMachine();
};

struct UpdateCheckOutcome {
    enum class Status { UpdateAvailable, UpToDate, InvalidFeedUrl, DownloadFailed, MalformedFeed };

    Status status = Status::InvalidFeedUrl;
    QString feed_url;
    QString running_version;
    std::optional<AppcastItem> newest; // the newest item that applies, if the feed has one
    QString error;                     // what went wrong, for the three failures

    bool failed() const;
    // The log line: whether a newer version exists and where, that the running
    // version is current, or why the check failed.
    QString describe() const;
};

// Downloads the feed, picks its newest applicable item and compares it with
// the running version. Blocking, safe on any thread, never throws for bad
// input or a failed transfer.
UpdateCheckOutcome runUpdateCheck(const QString& feed_url, const UpdateCheckSettings& settings);

} // namespace velmora::updater

Q_DECLARE_METATYPE(velmora::updater::UpdateCheckOutcome)
