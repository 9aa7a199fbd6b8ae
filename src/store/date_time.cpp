#include "date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace velmora::store {
namespace {

// Day number of a proleptic Gregorian date, counted from 1970-01-01 (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

// 1899-12-30 as a day number from 1970-01-01.
constexpr std::int64_t kZeroDay = -25569;

}  // namespace

TDateTime TDateTime::FromDays(double days) {
    return FromMilliseconds(static_cast<std::int64_t>(std::llround(days * kMsPerDay)));
}

TDateTime TDateTime::Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        now.time_since_epoch() - std::chrono::seconds(seconds))
                        .count();
    std::tm local{};
    localtime_r(&seconds, &local);
    return FromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, std::min(local.tm_sec, 59), static_cast<int>(ms)});
}

TDateTime TDateTime::FromCivil(const TCivilTime& c) {
    const std::int64_t day =
        DaysFromCivil(c.Year, static_cast<unsigned>(c.Month), static_cast<unsigned>(c.Day)) -
        kZeroDay;
    const std::int64_t ms =
        ((static_cast<std::int64_t>(c.Hour) * 60 + c.Minute) * 60 + c.Second) * 1000 +
        c.Millisecond;
    return FromMilliseconds(day * kMsPerDay + ms);
}

TCivilTime TDateTime::ToCivil() const {
    std::int64_t day = m_ms / kMsPerDay;
    std::int64_t ms = m_ms % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    TCivilTime c;
    CivilFromDays(day + kZeroDay, c.Year, c.Month, c.Day);
    c.Millisecond = static_cast<int>(ms % 1000);
    c.Second = static_cast<int>(ms / 1000 % 60);
    c.Minute = static_cast<int>(ms / 60000 % 60);
    c.Hour = static_cast<int>(ms / 3600000);
    return c;
}

std::string TimeOfDayText(TDateTime moment) {
    const TCivilTime c = moment.ToCivil();
    const auto two = [](int n) {
        return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
    };
    return two(c.Hour) + ":" + two(c.Minute) + ":" + two(c.Second);
}

}  // namespace velmora::store
