#include "updater/appcast.h"

#include "updater/version_comparator.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace velmora::updater {
namespace {

bool isRssElement(const QXmlStreamReader& reader, QLatin1String name)
{
    return reader.namespaceUri().isEmpty() && reader.name() == name;
}

bool isSparkleElement(const QXmlStreamReader& reader, QLatin1String name)
{
    return reader.namespaceUri() == QLatin1String(kSparkleNamespace) && reader.name() == name;
}

QString readText(QXmlStreamReader& reader)
{
    return reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
}

AppcastItem readItem(QXmlStreamReader& reader)
{
    AppcastItem item;
    bool have_enclosure = false;
    QString enclosure_version;
    QString element_version;
    QString enclosure_os;
    QString element_os;
    while (reader.readNextStartElement()) {
        if (isRssElement(reader, QLatin1String("title"))) {
            item.title = readText(reader);
        } else if (isRssElement(reader, QLatin1String("enclosure")) && !have_enclosure) {
            have_enclosure = true;
            const QXmlStreamAttributes attributes = reader.attributes();
            const QString ns = QLatin1String(kSparkleNamespace);
            item.url = attributes.value(QLatin1String("url")).toString().trimmed();
            enclosure_version = attributes.value(ns, QLatin1String("version")).toString().trimmed();
            enclosure_os = attributes.value(ns, QLatin1String("os")).toString().trimmed();
            const QString short_version = attributes.value(ns, QLatin1String("shortVersionString")).toString().trimmed();
            if (!short_version.isEmpty())
                item.short_version = short_version;
            reader.skipCurrentElement();
        } else if (isSparkleElement(reader, QLatin1String("version"))) {
            element_version = readText(reader);
        } else if (isSparkleElement(reader, QLatin1String("shortVersionString"))) {
            const QString short_version = readText(reader);
            if (item.short_version.isEmpty())
                item.short_version = short_version;
        } else if (isSparkleElement(reader, QLatin1String("os"))) {
            element_os = readText(reader);
        } else if (isSparkleElement(reader, QLatin1String("minimumSystemVersion"))) {
            item.minimum_system_version = readText(reader);
        } else if (isSparkleElement(reader, QLatin1String("maximumSystemVersion"))) {
            item.maximum_system_version = readText(reader);
        } else {
            reader.skipCurrentElement();
        }
    }
    item.os = !enclosure_os.isEmpty() ? enclosure_os : element_os;
    if (!enclosure_version.isEmpty())
        item.version = enclosure_version;
    else if (!element_version.isEmpty())
        item.version = element_version;
    else
        item.version = versionFromFileName(item.url);
    return item;
}

void readChannel(QXmlStreamReader& reader, std::vector<AppcastItem>& items)
{
    while (reader.readNextStartElement()) {
        if (isRssElement(reader, QLatin1String("item")))
            items.push_back(readItem(reader));
        else
            reader.skipCurrentElement();
    }
}

bool applies(const AppcastItem& item, const SystemCriteria& system)
{
    if (item.url.isEmpty() || item.version.isEmpty())
        return false;
    if (!item.os.isEmpty() && item.os != system.os)
        return false;
    if (system.system_version.isEmpty())
        return true;
    if (!item.minimum_system_version.isEmpty() && compareVersions(system.system_version, item.minimum_system_version) < 0)
        return false;
    if (!item.maximum_system_version.isEmpty() && compareVersions(system.system_version, item.maximum_system_version) > 0)
        return false;
    return true;
}

} // namespace

AppcastParseResult parseAppcast(const QByteArray& xml)
{
    AppcastParseResult result;
    QXmlStreamReader reader(xml);
    bool have_channel = false;
    if (reader.readNextStartElement()) {
        if (!isRssElement(reader, QLatin1String("rss"))) {
            result.error = QString("the root element is <%1>, not <rss>").arg(reader.qualifiedName().toString());
            return result;
        }
        while (reader.readNextStartElement()) {
            if (isRssElement(reader, QLatin1String("channel")) && !have_channel) {
                have_channel = true;
                readChannel(reader, result.items);
            } else {
                reader.skipCurrentElement();
            }
        }
        // Reads to the end, so that anything broken after </rss> counts too.
        while (!reader.atEnd())
            reader.readNext();
    }
    if (reader.hasError()) {
        result.error = QString("XML error at line %1, column %2: %3")
                           .arg(reader.lineNumber())
                           .arg(reader.columnNumber())
                           .arg(reader.errorString());
        result.items.clear();
        return result;
    }
    if (!have_channel) {
        result.error = QStringLiteral("no <channel> under <rss>");
        return result;
    }
    result.ok = true;
    return result;
}

QString versionFromFileName(const QString& url)
{
    QString name = QUrl(url).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    const qsizetype underscore = name.lastIndexOf(QLatin1Char('_'));
    return underscore < 0 ? QString() : name.mid(underscore + 1);
}

std::optional<AppcastItem> chooseNewestItem(const std::vector<AppcastItem>& items, const SystemCriteria& system)
{
    const AppcastItem* newest = nullptr;
    for (const AppcastItem& item : items) {
        if (!applies(item, system))
            continue;
        if (!newest || compareVersions(item.version, newest->version) > 0)
            newest = &item;
    }
    if (!newest)
        return std::nullopt;
    return *newest;
}

} // namespace velmora::updater
