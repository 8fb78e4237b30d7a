#include "updater/version_comparator.h"

#include <QString>

#include <gtest/gtest.h>

namespace velmora::updater {
namespace {

struct Ordering {
    const char* older_or_equal;
    const char* newer_or_equal;
    int expected; // compareVersions(first, second)
};

class VersionOrderTest : public ::testing::TestWithParam<Ordering> {};

TEST_P(VersionOrderTest, ComparesBothWays)
{
    const Ordering& row = GetParam();
    const QString a = QString::fromUtf8(row.older_or_equal);
    const QString b = QString::fromUtf8(row.newer_or_equal);
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    EXPECT_EQ(sign(compareVersions(a, b)), row.expected) << row.older_or_equal << " vs " << row.newer_or_equal;
    EXPECT_EQ(sign(compareVersions(b, a)), -row.expected) << row.newer_or_equal << " vs " << row.older_or_equal;
}

INSTANTIATE_TEST_SUITE_P(ReferenceExamples, VersionOrderTest,
    ::testing::Values(
        Ordering { "1.0", "1.0.0", 0 },
        Ordering { "1.0b1", "1.0.1", -1 },
        Ordering { "1.0b1", "1.0", -1 },
        Ordering { "1.0b9", "1.0b10", -1 },
        Ordering { "1.0rc", "1.0", -1 },
        Ordering { "1.0", "1.0.1", -1 }));

INSTANTIATE_TEST_SUITE_P(MoreCases, VersionOrderTest,
    ::testing::Values(
        Ordering { "1.0.0", "1.0.0", 0 },
        Ordering { "", "", 0 },
        Ordering { "", "1", -1 },
        Ordering { "1", "1.0.0.0", 0 },
        Ordering { "1.9", "1.10", -1 },               // numbers, not text
        Ordering { "2", "10", -1 },
        Ordering { "01.2", "1.02", 0 },               // leading zeros
        Ordering { "18446744073709551615", "18446744073709551616", -1 }, // past 64 bits
        Ordering { "1.0a", "1.0b", -1 },              // text literally
        Ordering { "1.0B", "1.0a", -1 },              // upper case sorts first
        Ordering { "1-0", "1_0", 0 },                 // separators are equal
        Ordering { "1.0 1", "1.0_1", 0 },
        Ordering { "1.0b1", "1.0.0.1", -1 },          // padding reaches past text
        Ordering { "1.0.", "1.0.1", -1 },             // padded with a zero
        Ordering { "1..0", "1.0", -1 },               // a number beats a separator
        Ordering { "1.0b2", "1.0b2.1", -1 },
        Ordering { "1.0b2.1", "1.0b3", -1 },
        Ordering { "1420", "1421", -1 },
        Ordering { "1.0.0", "1420", -1 },
        Ordering { "v1.0", "1.0", -1 }));             // text before a number

TEST(VersionComparatorTest, OddInputNeverCrashes)
{
    const QString odd[] = { QString(), ".", "...", "-", "abc", QString::fromUtf8("１.２"), QString(4096, QChar('9')),
        QString::fromUtf8("1.0\xF0\x9F\x98\x80"), QString("1.0").append(QChar(0)) };
    for (const QString& a : odd)
        for (const QString& b : odd)
            EXPECT_EQ(compareVersions(a, b), -compareVersions(b, a)) << a.toStdString() << " / " << b.toStdString();
}

} // namespace
} // namespace velmora::updater
