#include "naming/date_format.h"

#include <array>
#include <cstddef>

#include "support/text.h"

namespace pelko {

namespace {

// Japanese locale data (the Windows defaults for Japanese), fixed so names do not depend on the
// machine.
constexpr std::string_view kShortDateFormat = "yyyy/mm/dd";
constexpr std::string_view kLongDateFormat = "yyyy'年'm'月'd'日'";
constexpr std::string_view kShortTimeFormat = "h:nn";
constexpr std::string_view kLongTimeFormat = "h:nn:ss";
constexpr std::string_view kTimeAmString = "午前";
constexpr std::string_view kTimePmString = "午後";
constexpr char kDateSeparator = '/';
constexpr char kTimeSeparator = ':';

// clang-format off
constexpr std::array<std::string_view, 7> kShortDayNames = {
    "日", "月", "火", "水", "木", "金", "土"};
constexpr std::array<std::string_view, 7> kLongDayNames = {
    "日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"};
constexpr std::array<std::string_view, 12> kShortMonthNames = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
constexpr std::array<std::string_view, 12> kLongMonthNames = {
    "1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"};

struct EraStart {
    std::string_view name;
    int year;
    int month;
    int day;
};
// Newest first, so the first era that began on or before a date is its era.
constexpr std::array<EraStart, 5> kEras = {{
    {"令和", 2019, 5, 1},
    {"平成", 1989, 1, 8},
    {"昭和", 1926, 12, 25},
    {"大正", 1912, 7, 30},
    {"明治", 1868, 1, 1},
}};
// clang-format on

// Patterns nest (a "c" writes the short date and long time formats); the fixed formats nest at
// most once, and this bound keeps any nesting finite.
constexpr int kMaxNesting = 2;

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Appends a non-negative number with at least `digits` figures.
void AppendNumber(std::string& out, int value, int digits) {
    char buffer[16];
    int n = 0;
    unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
    do {
        buffer[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 12);
    while (n < digits && n < 12)
        buffer[n++] = '0';
    if (value < 0) buffer[n++] = '-';
    while (n > 0)
        out.push_back(buffer[--n]);
}

bool StartsWithIgnoreCase(std::string_view text, std::size_t pos, std::string_view word) {
    if (pos > text.size() || text.size() - pos < word.size()) return false;
    return EqualsIgnoreAsciiCase(text.substr(pos, word.size()), word);
}

// Length of the run of the letter at pos (either case), at least 1.
std::size_t RunLength(std::string_view pattern, std::size_t pos) {
    const char letter = Upper(pattern[pos]);
    std::size_t end = pos + 1;
    while (end < pattern.size() && Upper(pattern[end]) == letter)
        ++end;
    return end - pos;
}

int DayIndex(const DateTime& dt) {
    const int d = dt.DayOfWeek();
    return d >= 0 && d < 7 ? d : 0;
}

int MonthIndex(const DateTime& dt) {
    return dt.month >= 1 && dt.month <= 12 ? dt.month - 1 : 0;
}

// Whether an "h" at `from` is followed, before the next "h" and outside quotes, by one of the
// am/pm specifiers that switch to the 12-hour clock.
bool TwelveHourAhead(std::string_view pattern, std::size_t from) {
    bool quoted = false;
    for (std::size_t p = from; p < pattern.size();) {
        const char c = pattern[p];
        if (static_cast<unsigned char>(c) >= 0x80) {
            p += CharLengthAt(pattern, p);
            continue;
        }
        if ((c == 'a' || c == 'A') && !quoted) {
            return StartsWithIgnoreCase(pattern, p, "am/pm") ||
                   StartsWithIgnoreCase(pattern, p, "a/p") ||
                   StartsWithIgnoreCase(pattern, p, "ampm");
        }
        if (c == 'h' || c == 'H') return false;
        if (c == '\'' || c == '"') quoted = !quoted;
        ++p;
    }
    return false;
}

void AppendPattern(std::string& out, std::string_view pattern, const DateTime& dt, int level) {
    if (level > kMaxNesting) return;
    char last_token = ' ';
    bool twelve_hour = false;
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const char starter = pattern[pos];
        if (static_cast<unsigned char>(starter) >= 0x80) {
            // A multi-byte character is copied whole and never part of a specifier.
            const std::size_t len = CharLengthAt(pattern, pos);
            out.append(pattern.substr(pos, len));
            pos += len;
            last_token = ' ';
            continue;
        }
        char token = Upper(starter);
        if (IsAsciiLetter(starter)) {
            if (token == 'M' && last_token == 'H') token = 'N';
            last_token = token;
        }
        switch (token) {
            case 'Y': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                if (count <= 2) {
                    AppendNumber(out, ((dt.year % 100) + 100) % 100, 2);
                } else {
                    AppendNumber(out, dt.year, 4);
                }
                break;
            }
            case 'G': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                const std::string_view name = JapaneseEraOf(dt).name;
                out.append(count == 1 ? name.substr(0, CharLengthAt(name, 0)) : name);
                break;
            }
            case 'E': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                AppendNumber(out, JapaneseEraOf(dt).year, count >= 2 ? 2 : 1);
                break;
            }
            case 'M': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                if (count <= 2) {
                    AppendNumber(out, dt.month, static_cast<int>(count));
                } else if (count == 3) {
                    out.append(kShortMonthNames[MonthIndex(dt)]);
                } else {
                    out.append(kLongMonthNames[MonthIndex(dt)]);
                }
                break;
            }
            case 'D': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                switch (count) {
                    case 1:
                    case 2:
                        AppendNumber(out, dt.day, static_cast<int>(count));
                        break;
                    case 3:
                        out.append(kShortDayNames[DayIndex(dt)]);
                        break;
                    case 4:
                        out.append(kLongDayNames[DayIndex(dt)]);
                        break;
                    case 5:
                        AppendPattern(out, kShortDateFormat, dt, level + 1);
                        break;
                    default:
                        AppendPattern(out, kLongDateFormat, dt, level + 1);
                        break;
                }
                break;
            }
            case 'H': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                if (TwelveHourAhead(pattern, pos)) twelve_hour = true;
                int hour = dt.hour;
                if (twelve_hour) {
                    if (hour == 0) {
                        hour = 12;
                    } else if (hour > 12) {
                        hour -= 12;
                    }
                }
                AppendNumber(out, hour, count >= 2 ? 2 : 1);
                break;
            }
            case 'N': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                AppendNumber(out, dt.minute, count >= 2 ? 2 : 1);
                break;
            }
            case 'S': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                AppendNumber(out, dt.second, count >= 2 ? 2 : 1);
                break;
            }
            case 'Z': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                AppendNumber(out, dt.millisecond, count >= 3 ? 3 : static_cast<int>(count));
                break;
            }
            case 'T': {
                const std::size_t count = RunLength(pattern, pos);
                pos += count;
                AppendPattern(out, count == 1 ? kShortTimeFormat : kLongTimeFormat, dt, level + 1);
                break;
            }
            case 'C': {
                pos += RunLength(pattern, pos);
                AppendPattern(out, kShortDateFormat, dt, level + 1);
                out.push_back(' ');
                AppendPattern(out, kLongTimeFormat, dt, level + 1);
                break;
            }
            case 'A': {
                if (StartsWithIgnoreCase(pattern, pos, "am/pm")) {
                    // "AM/PM" in the case written: its first two letters or its last two.
                    out.append(pattern.substr(dt.hour >= 12 ? pos + 3 : pos, 2));
                    pos += 5;
                    twelve_hour = true;
                } else if (StartsWithIgnoreCase(pattern, pos, "a/p")) {
                    out.push_back(pattern[dt.hour >= 12 ? pos + 2 : pos]);
                    pos += 3;
                    twelve_hour = true;
                } else if (StartsWithIgnoreCase(pattern, pos, "ampm")) {
                    out.append(dt.hour < 12 ? kTimeAmString : kTimePmString);
                    pos += 4;
                    twelve_hour = true;
                } else if (StartsWithIgnoreCase(pattern, pos, "aaaa")) {
                    out.append(kLongDayNames[DayIndex(dt)]);
                    pos += 4;
                } else if (StartsWithIgnoreCase(pattern, pos, "aaa")) {
                    out.append(kShortDayNames[DayIndex(dt)]);
                    pos += 3;
                } else {
                    out.push_back(starter);
                    ++pos;
                }
                break;
            }
            case '/':
                out.push_back(kDateSeparator);
                ++pos;
                break;
            case ':':
                out.push_back(kTimeSeparator);
                ++pos;
                break;
            case '\'':
            case '"': {
                // Quoted text is copied as it is, without its quotes; an unclosed quote runs to
                // the end.
                const std::size_t start = ++pos;
                while (pos < pattern.size() && pattern[pos] != starter) {
                    pos += CharLengthAt(pattern, pos);
                }
                out.append(pattern.substr(start, pos - start));
                if (pos < pattern.size()) ++pos;
                break;
            }
            default:
                out.push_back(starter);
                ++pos;
                break;
        }
    }
}

}  // namespace

JapaneseEra JapaneseEraOf(const DateTime& date_time) {
    for (const EraStart& era : kEras) {
        const bool started = date_time.year != era.year
                                 ? date_time.year > era.year
                                 : (date_time.month != era.month ? date_time.month > era.month
                                                                 : date_time.day >= era.day);
        if (started) return {era.name, date_time.year - era.year + 1};
    }
    return {std::string_view(), date_time.year};
}

void AppendDatePattern(std::string& out, std::string_view pattern, const DateTime& date_time) {
    AppendPattern(out, pattern.empty() ? std::string_view("c") : pattern, date_time, 0);
}

std::string FormatDatePattern(std::string_view pattern, const DateTime& date_time) {
    std::string out;
    AppendDatePattern(out, pattern, date_time);
    return out;
}

}  // namespace pelko
