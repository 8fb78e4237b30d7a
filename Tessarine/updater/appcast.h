#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace velmora::updater {

inline constexpr const char* kSparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";

// One <item> of an appcast, as far as choosing an update needs it.
struct AppcastItem {
    QString title;
    QString version;              // resolved: enclosure attribute, element, or file name
    QString short_version;        // for display only
    QString url;                  // the enclosure's address
    QString os;                   // empty: any system
    QString minimum_system_version;
    QString maximum_system_version;
};

struct AppcastParseResult {
    bool ok = false;
    QString error;                // why the feed is malformed, when !ok
    std::vector<AppcastItem> items; // in document order
};

// Reads an RSS 2.0 appcast (items under /rss/channel); the update namespace may
// carry any prefix. Never throws: a malformed document gives ok == false.
AppcastParseResult parseAppcast(const QByteArray& xml);

// The version a file name gives: after the extension is cut off, the part
// after its last underscore ("App_1.4.2.zip" gives "1.4.2"); empty without one.
QString versionFromFileName(const QString& url);

// What the running system is, for the items' system limits.
struct SystemCriteria {
    QString os;             // items for another os are dropped
    QString system_version; // empty: the system-version limits are not applied
};

// The greatest version among the items that apply to the system and carry an
// address and a version; the first in document order on a tie.
std::optional<AppcastItem> chooseNewestItem(const std::vector<AppcastItem>& items, const SystemCriteria& system);

} // namespace velmora::updater
