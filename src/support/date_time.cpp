#include "support/date_time.h"

#include <cstdio>

namespace pelko {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDateTime(const DateTime& dt) {
    return dt.year >= 1 && dt.year <= 9999 && dt.month >= 1 && dt.month <= 12 && dt.day >= 1 &&
           dt.day <= DaysInMonth(dt.year, dt.month) && dt.hour >= 0 && dt.hour < 24 &&
           dt.minute >= 0 && dt.minute < 60 && dt.second >= 0 && dt.second < 60 &&
           dt.millisecond >= 0 && dt.millisecond < 1000;
}

std::int64_t DaysFromCivil(int year, int month, int day) {
    // Howard Hinnant's algorithm.
    std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t days, int* year, int* month, int* day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = yoe + era * 400;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(y + (m <= 2 ? 1 : 0));
    *month = static_cast<int>(m);
    *day = static_cast<int>(d);
}

DateTime DateTime::FromTimeT(std::time_t t) {
    std::tm tm{};
    DateTime dt;
    if (localtime_r(&t, &tm) == nullptr) return dt;
    dt.year = tm.tm_year + 1900;
    dt.month = tm.tm_mon + 1;
    dt.day = tm.tm_mday;
    dt.hour = tm.tm_hour;
    dt.minute = tm.tm_min;
    dt.second = tm.tm_sec == 60 ? 59 : tm.tm_sec;
    return dt;
}

std::time_t DateTime::ToTimeT() const {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

int DateTime::DayOfWeek() const {
    std::int64_t days = DaysFromCivil(year, month, day);  // 1970-01-01 was a Thursday
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

std::string DateTime::ToText() const {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return buffer;
}

std::string DateTime::DateText() const {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", year, month, day);
    return buffer;
}

namespace {

bool ReadNumber(std::string_view text, std::size_t* pos, std::size_t digits, int* out) {
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        if (*pos >= text.size() || text[*pos] < '0' || text[*pos] > '9') return false;
        value = value * 10 + (text[*pos] - '0');
        ++*pos;
    }
    *out = value;
    return true;
}

bool ReadSeparator(std::string_view text, std::size_t* pos, std::string_view allowed) {
    if (*pos >= text.size() || allowed.find(text[*pos]) == std::string_view::npos) return false;
    ++*pos;
    return true;
}

}  // namespace

std::optional<DateTime> ParseDateTimeText(std::string_view text) {
    DateTime dt;
    dt.hour = dt.minute = dt.second = 0;
    std::size_t pos = 0;
    if (!ReadNumber(text, &pos, 4, &dt.year) || !ReadSeparator(text, &pos, "/-:") ||
        !ReadNumber(text, &pos, 2, &dt.month) || !ReadSeparator(text, &pos, "/-:") ||
        !ReadNumber(text, &pos, 2, &dt.day)) {
        return std::nullopt;
    }
    if (pos < text.size()) {
        if (!ReadSeparator(text, &pos, " T") || !ReadNumber(text, &pos, 2, &dt.hour) ||
            !ReadSeparator(text, &pos, ":") || !ReadNumber(text, &pos, 2, &dt.minute) ||
            !ReadSeparator(text, &pos, ":") || !ReadNumber(text, &pos, 2, &dt.second) ||
            pos != text.size()) {
            return std::nullopt;
        }
    }
    if (!IsValidDateTime(dt)) return std::nullopt;
    return dt;
}

DateTime AddDays(const DateTime& dt, int days) {
    DateTime out = dt;
    CivilFromDays(DaysFromCivil(dt.year, dt.month, dt.day) + days, &out.year, &out.month, &out.day);
    return out;
}

}  // namespace pelko
