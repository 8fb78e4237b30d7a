#include "updater/version_comparator.h"

#include <QString>

#include <gtest/gtest.h>

namespace velmora::updater {
namespace {

    struct Ordering {
        const char* older;
        const char* newer;
        int expected; // the sign of compareVersions(older, newer)
    };

    class VersionOrderTest : public ::testing::TestWithParam<Ordering> { };

    TEST_P(VersionOrderTest, ComparesBothWays)
    {
        const Ordering& row = GetParam();
        const auto sign = [](int value) { return (value > 0) - (value < 0); };
        const QString a = QString::fromUtf8(row.older);
        const QString b = QString::fromUtf8(row.newer);
        EXPECT_EQ(sign(compareVersions(a, b)), row.expected) << row.older << " vs " << row.newer;
        EXPECT_EQ(sign(compareVersions(b, a)), -row.expected) << row.newer << " vs " << row.older;
    }

    INSTANTIATE_TEST_SUITE_P(FeedRules, VersionOrderTest,
        ::testing::Values(
            // The feed's own examples.
            Ordering { "1.0", "1.0.0", 0 }, Ordering { "1.0b1", "1.0.1", -1 },
            Ordering { "1.0b1", "1.0", -1 }, Ordering { "1.0b9", "1.0b10", -1 },
            Ordering { "1.0rc", "1.0", -1 }, Ordering { "1.0", "1.0.1", -1 },
            // Numbers by value, not as text, and past 64 bits.
            Ordering { "1.9", "1.10", -1 }, Ordering { "01.2", "1.02", 0 },
            Ordering { "18446744073709551615", "18446744073709551616", -1 },
            // Text literally; separators equal one another; a number beats a separator.
            Ordering { "1.0a", "1.0b", -1 }, Ordering { "1-0", "1_0", 0 }, Ordering { "1..0", "1.0", -1 },
            // Padding reaches past text, and only the leading run is padded.
            Ordering { "1.0b1", "1.0.0.1", -1 }, Ordering { "1", "1.0.0.0", 0 },
            Ordering { "1.0", "1.0-1", -1 }, Ordering { "", "1", -1 }, Ordering { "", "", 0 },
            Ordering { "v1.0", "1.0", -1 },
            // Digits of other scripts are numbers too.
            Ordering { "\xEF\xBC\x91.\xEF\xBC\x92", "1.2", 0 }));

} // namespace
} // namespace velmora::updater
