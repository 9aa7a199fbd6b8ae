#include "date_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "test_seed.h"

namespace velmora::store {
namespace {

// The file format stores a moment as milliseconds since 0001-01-01 plus one day.
constexpr std::int64_t kFileOffsetMs = 59'926'521'600'000;
constexpr std::int64_t kMsPerDay = TDateTime::kMsPerDay;

bool SameCivil(const TCivilTime& a, const TCivilTime& b) {
    return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour &&
           a.Minute == b.Minute && a.Second == b.Second && a.Millisecond == b.Millisecond;
}

std::string Show(const TCivilTime& c) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.Year, c.Month, c.Day,
                  c.Hour, c.Minute, c.Second, c.Millisecond);
    return text;
}

struct TCase {
    TCivilTime Civil;
    std::int64_t Ms;
};

// Known moments, across leap rules and on both sides of the zero moment.
const TCase kCases[] = {
    {{1899, 12, 30, 0, 0, 0, 0}, 0},
    {{1899, 12, 29, 23, 59, 59, 999}, -1},
    {{1899, 12, 29, 18, 0, 0, 0}, -6 * 3'600'000},  // counted straight back, no "day + fraction"
    {{1900, 1, 1, 0, 0, 0, 0}, 2 * kMsPerDay},
    {{1900, 2, 28, 0, 0, 0, 0}, 60 * kMsPerDay},
    {{1900, 3, 1, 0, 0, 0, 0}, 61 * kMsPerDay},  // 1900 has no 29 February
    {{2000, 1, 1, 0, 0, 0, 0}, 36526 * kMsPerDay},
    {{2000, 3, 1, 12, 30, 15, 250}, 36586 * kMsPerDay + 45'015'250},  // 2000 does
    {{1600, 2, 29, 0, 0, 0, 0}, -109512 * kMsPerDay},
    {{1, 1, 1, 0, 0, 0, 0}, kMsPerDay - kFileOffsetMs},
    {{9999, 12, 31, 23, 59, 59, 999}, 2958466 * kMsPerDay - 1},
};

TEST(DateTimeTest, KnownMomentsConvertBothWays) {
    for (const TCase& c : kCases) {
        SCOPED_TRACE(Show(c.Civil));
        EXPECT_EQ(TDateTime::FromCivil(c.Civil).Milliseconds(), c.Ms);
        const TCivilTime back = TDateTime::FromMilliseconds(c.Ms).ToCivil();
        EXPECT_TRUE(SameCivil(back, c.Civil)) << Show(back);
    }
}

TEST(DateTimeTest, YearTwoThousandMatchesTheFileFormat) {
    const TDateTime moment = TDateTime::FromCivil({2000, 1, 1, 0, 0, 0, 0});
    EXPECT_EQ(moment.Days(), 36526.0);
    EXPECT_EQ(moment.Milliseconds() + kFileOffsetMs, 63'082'368'000'000);
}

// Random moments from year 1 to 9999 survive ToCivil and FromCivil unchanged, and their civil
// form is valid; negative counts take a separate path for the day and the time of day.
TEST(DateTimeTest, RandomMomentsRoundTrip) {
    const unsigned seed = test_support::TestSeed();
    SCOPED_TRACE(test_support::SeedNote(seed));
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<std::int64_t> anyMoment(kMsPerDay - kFileOffsetMs,
                                                          2958466 * kMsPerDay - 1);
    for (int i = 0; i < 20000; ++i) {
        const std::int64_t ms = i < 2000 ? static_cast<std::int64_t>(i) - 1000 : anyMoment(random);
        const TCivilTime civil = TDateTime::FromMilliseconds(ms).ToCivil();
        ASSERT_TRUE(civil.Month >= 1 && civil.Month <= 12 && civil.Day >= 1 && civil.Day <= 31 &&
                    civil.Hour >= 0 && civil.Hour < 24 && civil.Minute >= 0 && civil.Minute < 60 &&
                    civil.Second >= 0 && civil.Second < 60 && civil.Millisecond >= 0 &&
                    civil.Millisecond < 1000)
            << ms << " -> " << Show(civil);
        ASSERT_EQ(TDateTime::FromCivil(civil).Milliseconds(), ms) << Show(civil);
    }
}

}  // namespace
}  // namespace velmora::store
