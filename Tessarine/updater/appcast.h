#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velmora::updater {

// The item of an appcast that an update would be: its version and download.
struct AppcastItem {
    QString version;
    QString url;
};

// The running system, for the items' limits.
struct SystemInfo {
    QString os; // items for another os are dropped
    QString version; // empty: the system-version limits are not applied
};

// Reads an RSS 2.0 appcast (items under /rss/channel, the update namespace
// under any prefix) and picks the item with the greatest version among those
// that carry an address and apply to the system; the first in the document
// on a tie. Without one it returns nothing; for a document that is no
// appcast it also writes the reason to `error` unless that is null. Never
// throws.
std::optional<AppcastItem> newestAppcastItem(const QByteArray& xml, const SystemInfo& system, QString* error);

} // namespace velmora::updater
