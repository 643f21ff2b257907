#pragma once

// Calendar date and time in local time, whole seconds plus milliseconds, as the program keeps
// file times and capture dates.

#include <compare>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace pelko {

struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    auto operator<=>(const DateTime&) const = default;

    // Local calendar fields of a POSIX time.
    static DateTime FromTimeT(std::time_t t);
    // POSIX time of the local calendar fields (milliseconds dropped).
    std::time_t ToTimeT() const;

    // 0 = Sunday ... 6 = Saturday.
    int DayOfWeek() const;
    // "yyyy/mm/dd hh:nn:ss", the program's fixed date-time text.
    std::string ToText() const;
    // "yyyy/mm/dd".
    std::string DateText() const;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// True when the fields form a real calendar date and time.
bool IsValidDateTime(const DateTime& dt);

// Parses "yyyy/mm/dd hh:nn:ss" or "yyyy/mm/dd" (also with "-" or ":" between date fields);
// nothing for anything else or an impossible date.
std::optional<DateTime> ParseDateTimeText(std::string_view text);

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int year, int month, int day);
// Civil date of a day count since 1970-01-01.
void CivilFromDays(std::int64_t days, int* year, int* month, int* day);

// The same local time `days` days later (or earlier when negative).
DateTime AddDays(const DateTime& dt, int days);

}  // namespace pelko
