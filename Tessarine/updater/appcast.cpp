#include "updater/appcast.h"

#include "updater/version_comparator.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace velmora::updater {
namespace {

    constexpr QLatin1String kSparkleNamespace("http://www.andymatuschak.org/xml-namespaces/sparkle");

    bool isRss(const QXmlStreamReader& reader, QLatin1String name)
    {
        return reader.namespaceUri().isEmpty() && reader.name() == name;
    }

    bool isSparkle(const QXmlStreamReader& reader, QLatin1String name)
    {
        return reader.namespaceUri() == kSparkleNamespace && reader.name() == name;
    }

    // "App_1.4.2.zip" gives "1.4.2"; a name without an underscore gives nothing.
    QString versionFromFileName(const QString& url)
    {
        QString name = QUrl(url).fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot > 0)
            name.truncate(dot);
        const qsizetype underscore = name.lastIndexOf(QLatin1Char('_'));
        return underscore < 0 ? QString() : name.mid(underscore + 1);
    }

    // Reads one <item>; nothing when it has no address or version, or is not
    // for this system.
    std::optional<AppcastItem> readItem(QXmlStreamReader& reader, const SystemInfo& system)
    {
        AppcastItem item;
        QString attribute_version, element_version, os, minimum, maximum;
        bool have_enclosure = false;
        while (reader.readNextStartElement()) {
            if (isRss(reader, QLatin1String("enclosure")) && !have_enclosure) {
                have_enclosure = true;
                const QXmlStreamAttributes attributes = reader.attributes();
                item.url = attributes.value(QLatin1String("url")).toString().trimmed();
                attribute_version
                    = attributes.value(kSparkleNamespace, QLatin1String("version")).toString().trimmed();
                os = attributes.value(kSparkleNamespace, QLatin1String("os")).toString().trimmed();
                reader.skipCurrentElement();
            } else if (isSparkle(reader, QLatin1String("version"))) {
                element_version = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (isSparkle(reader, QLatin1String("minimumSystemVersion"))) {
                minimum = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (isSparkle(reader, QLatin1String("maximumSystemVersion"))) {
                maximum = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else {
                reader.skipCurrentElement();
            }
        }
        item.version = !attribute_version.isEmpty() ? attribute_version
            : !element_version.isEmpty()            ? element_version
                                                    : versionFromFileName(item.url);
        const bool other_system = (!os.isEmpty() && os != system.os)
            || (!system.version.isEmpty() && !minimum.isEmpty()
                && compareVersions(system.version, minimum) < 0)
            || (!system.version.isEmpty() && !maximum.isEmpty()
                && compareVersions(system.version, maximum) > 0);
        if (item.url.isEmpty() || item.version.isEmpty() || other_system)
            return std::nullopt;
        return item;
    }

} // namespace

std::optional<AppcastItem> newestAppcastItem(const QByteArray& xml, const SystemInfo& system, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    QXmlStreamReader reader(xml);
    std::optional<AppcastItem> newest;
    bool have_channel = false;
    if (reader.readNextStartElement()) {
        if (!isRss(reader, QLatin1String("rss")))
            return fail(QString("the root element is <%1>, not <rss>").arg(reader.qualifiedName()));
        while (reader.readNextStartElement()) {
            if (!isRss(reader, QLatin1String("channel")) || have_channel) {
                reader.skipCurrentElement();
                continue;
            }
            have_channel = true;
            while (reader.readNextStartElement()) {
                if (!isRss(reader, QLatin1String("item"))) {
                    reader.skipCurrentElement();
                } else if (const auto item = readItem(reader, system)) {
                    // Strictly greater: the first in the document wins a tie.
                    if (!newest || compareVersions(item->version, newest->version) > 0)
                        newest = item;
                }
            }
        }
        // To the end, so that anything broken after </rss> counts too.
        while (!reader.atEnd())
            reader.readNext();
    }
    if (reader.hasError()) {
        return fail(QString("XML error at line %1, column %2: %3")
                        .arg(reader.lineNumber())
                        .arg(reader.columnNumber())
                        .arg(reader.errorString()));
    }
    if (!have_channel)
        return fail(QStringLiteral("no <channel> under <rss>"));
    return newest;
}

} // namespace velmora::updater
