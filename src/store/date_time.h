// TDateTime: a local moment with millisecond resolution, counted from the zero moment
// 30 December 1899 00:00. The count is what the table engine keeps and what the file format
// stores (shifted by a constant), so conversions to days are exact at millisecond steps.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace velmora::store {

struct TCivilTime {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

class TDateTime {
public:
    static constexpr std::int64_t kMsPerDay = 86'400'000;

    constexpr TDateTime() = default;
    static constexpr TDateTime FromMilliseconds(std::int64_t ms) {
        TDateTime t;
        t.m_ms = ms;
        return t;
    }
    // Days since the zero moment with the time of day as fraction, rounded to milliseconds.
    static TDateTime FromDays(double days);
    // The current local time of this machine.
    static TDateTime Now();
    // REQUIRES: a valid proleptic Gregorian date and time of day.
    static TDateTime FromCivil(const TCivilTime& civil);

    constexpr std::int64_t Milliseconds() const { return m_ms; }
    double Days() const { return static_cast<double>(m_ms) / kMsPerDay; }
    TCivilTime ToCivil() const;

    friend constexpr auto operator<=>(TDateTime, TDateTime) = default;

private:
    std::int64_t m_ms = 0;
};

// The time of day as "hh:mm:ss" (24 hours), as an ontology's CreatedDay holds it.
std::string TimeOfDayText(TDateTime moment);

}  // namespace velmora::store
