#include "updater/version_comparator.h"

#include <QString>

#include <cstddef>
#include <vector>

namespace velmora::updater {
namespace {

enum class PartType { Number, Text, Period, OtherSeparator };

PartType typeOf(QChar character)
{
    if (character == QLatin1Char('.'))
        return PartType::Period;
    if (character.isDigit())
        return PartType::Number;
    if (character.isSpace() || character.isPunct())
        return PartType::OtherSeparator;
    return PartType::Text;
}

bool isSeparator(PartType type)
{
    return type == PartType::Period || type == PartType::OtherSeparator;
}

// A part's type is that of its first character: parts are never mixed.
PartType typeOf(const QString& part)
{
    return typeOf(part.front());
}

std::vector<QString> splitVersion(const QString& version)
{
    std::vector<QString> parts;
    if (version.isEmpty())
        return parts;
    qsizetype start = 0;
    PartType previous = typeOf(version.front());
    for (qsizetype i = 1; i < version.size(); ++i) {
        const PartType current = typeOf(version.at(i));
        if (current != previous || isSeparator(previous)) {
            parts.push_back(version.mid(start, i - start));
            start = i;
        }
        previous = current;
    }
    parts.push_back(version.mid(start));
    return parts;
}

std::size_t leadingNumbersAndPeriods(const std::vector<QString>& parts)
{
    std::size_t count = 0;
    while (count < parts.size()
        && (typeOf(parts[count]) == PartType::Number || typeOf(parts[count]) == PartType::Period))
        ++count;
    return count;
}

// "1.1" against "1.0.0" becomes "1.1.0": the shorter leading run borrows the
// longer one's shape, with zeros for its numbers.
void balance(std::vector<QString>& a, std::vector<QString>& b)
{
    const std::size_t count_a = leadingNumbersAndPeriods(a);
    const std::size_t count_b = leadingNumbersAndPeriods(b);
    std::vector<QString>& shorter = count_a < count_b ? a : b;
    const std::vector<QString>& longer = count_a < count_b ? b : a;
    const std::size_t from = count_a < count_b ? count_a : count_b;
    const std::size_t to = count_a < count_b ? count_b : count_a;
    for (std::size_t i = from; i < to; ++i) {
        const bool period = typeOf(longer[i]) == PartType::Period;
        shorter.insert(shorter.begin() + static_cast<std::ptrdiff_t>(i),
            period ? QStringLiteral(".") : QStringLiteral("0"));
    }
}

// Digit runs compare by value with no upper limit: without leading zeros, the
// longer run is the greater number.
int compareNumbers(const QString& a, const QString& b)
{
    auto significant = [](const QString& digits) {
        qsizetype first = 0;
        while (first + 1 < digits.size() && digits.at(first).digitValue() == 0)
            ++first;
        return digits.mid(first);
    };
    const QString x = significant(a);
    const QString y = significant(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    for (qsizetype i = 0; i < x.size(); ++i) {
        const int dx = x.at(i).digitValue();
        const int dy = y.at(i).digitValue();
        if (dx != dy)
            return dx < dy ? -1 : 1;
    }
    return 0;
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int compareVersions(const QString& a, const QString& b)
{
    std::vector<QString> parts_a = splitVersion(a);
    std::vector<QString> parts_b = splitVersion(b);
    balance(parts_a, parts_b);

    const std::size_t common = parts_a.size() < parts_b.size() ? parts_a.size() : parts_b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const PartType type_a = typeOf(parts_a[i]);
        const PartType type_b = typeOf(parts_b[i]);
        if (isSeparator(type_a) && isSeparator(type_b))
            continue;
        if (type_a == type_b) {
            const int result = type_a == PartType::Number ? compareNumbers(parts_a[i], parts_b[i])
                                                          : sign(QString::compare(parts_a[i], parts_b[i]));
            if (result != 0)
                return result;
            continue;
        }
        // A number or a separator beats text; a number beats a separator.
        if (type_b == PartType::Text)
            return 1;
        if (type_a == PartType::Text)
            return -1;
        return type_a == PartType::Number ? 1 : -1;
    }
    if (parts_a.size() == parts_b.size())
        return 0;
    const bool a_longer = parts_a.size() > parts_b.size();
    const QString& next = a_longer ? parts_a[common] : parts_b[common];
    // Text after the common part marks a pre-release, older than the plain
    // version; a number or separator marks a later one.
    const bool longer_is_newer = typeOf(next) != PartType::Text;
    return (a_longer == longer_is_newer) ? 1 : -1;
}

} // namespace velmora::updater
