#include "updater/version_comparator.h"

#include <QString>
#include <QStringList>

#include <algorithm>

namespace velmora::updater {
namespace {

    enum class Kind { Number, Separator, Text };

    Kind kindOf(QChar character)
    {
        if (character.isDigit())
            return Kind::Number;
        if (character == QLatin1Char('.') || character.isSpace() || character.isPunct())
            return Kind::Separator;
        return Kind::Text;
    }

    Kind kindOf(const QString& part) { return kindOf(part.front()); }

    // Digits of any script are stored as ASCII, so that numbers compare as text.
    QStringList split(const QString& version)
    {
        QStringList parts;
        for (const QChar character : version) {
            const Kind kind = kindOf(character);
            const QChar stored = kind == Kind::Number ? QChar('0' + character.digitValue()) : character;
            if (!parts.isEmpty() && kind != Kind::Separator && kindOf(parts.back()) == kind)
                parts.back() += stored;
            else
                parts.append(QString(stored));
        }
        return parts;
    }

    qsizetype leadingNumbersAndPeriods(const QStringList& parts)
    {
        qsizetype count = 0;
        while (count < parts.size()
            && (kindOf(parts[count]) == Kind::Number || parts[count] == QLatin1String(".")))
            ++count;
        return count;
    }

    // "1.1" against "1.0.0" becomes "1.1.0": the shorter leading run takes the
    // longer one's shape, with zeros for its numbers.
    void pad(QStringList& a, QStringList& b)
    {
        const qsizetype count_a = leadingNumbersAndPeriods(a);
        const qsizetype count_b = leadingNumbersAndPeriods(b);
        QStringList& shorter = count_a < count_b ? a : b;
        const QStringList& longer = count_a < count_b ? b : a;
        for (qsizetype i = std::min(count_a, count_b); i < std::max(count_a, count_b); ++i)
            shorter.insert(i, kindOf(longer[i]) == Kind::Number ? QStringLiteral("0") : QStringLiteral("."));
    }

    // By value with no upper limit: without leading zeros the longer run is the
    // greater number.
    int compareNumbers(QString a, QString b)
    {
        for (QString* digits : { &a, &b }) {
            while (digits->size() > 1 && digits->front() == QLatin1Char('0'))
                digits->remove(0, 1);
        }
        return a.size() != b.size() ? (a.size() < b.size() ? -1 : 1) : QString::compare(a, b);
    }

} // namespace

int compareVersions(const QString& a, const QString& b)
{
    QStringList parts_a = split(a);
    QStringList parts_b = split(b);
    pad(parts_a, parts_b);

    const qsizetype common = std::min(parts_a.size(), parts_b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const Kind kind_a = kindOf(parts_a[i]);
        const Kind kind_b = kindOf(parts_b[i]);
        if (kind_a != kind_b)
            return kind_a < kind_b ? 1 : -1; // a number beats a separator, both beat text
        const int order = kind_a == Kind::Number ? compareNumbers(parts_a[i], parts_b[i])
            : kind_a == Kind::Text               ? QString::compare(parts_a[i], parts_b[i])
                                                 : 0;
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    if (parts_a.size() == parts_b.size())
        return 0;
    const bool a_longer = parts_a.size() > parts_b.size();
    // Text after the common part marks a pre-release, older than the plain
    // version; a number or separator marks a later one.
    const bool longer_is_newer = kindOf((a_longer ? parts_a : parts_b)[common]) != Kind::Text;
    return a_longer == longer_is_newer ? 1 : -1;
}

} // namespace velmora::updater
