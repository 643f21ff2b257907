#include "naming/date_format.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

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

void AppendPattern(std::string& out, std::string_view pattern, const DateTime& dt, int level);

// What a specifier writes with: the output, the date, and the state of the pattern being read.
struct PatternWriter {
    std::string& out;
    const DateTime& dt;
    std::string_view pattern;
    std::size_t pos;  // just after the specifier
    int level;
    bool twelve_hour;  // set by an am/pm specifier, read by the hours

    void Number(int value, int digits) { AppendNumber(out, value, digits); }
    void Nested(std::string_view format) { AppendPattern(out, format, dt, level + 1); }
};

// A specifier written as a run of one letter (either case); write gets the run's length.
struct RunSpecifier {
    char letter;  // upper case
    void (*write)(PatternWriter& w, std::size_t count);
};

// The figures of a number specifier: one for a single letter, two for a run.
int Figures(std::size_t count) {
    return count >= 2 ? 2 : 1;
}

constexpr RunSpecifier kRunSpecifiers[] = {
    {'Y',
     [](PatternWriter& w, std::size_t count) {
         // One or two letters give two figures, three or more four.
         if (count <= 2) {
             w.Number(((w.dt.year % 100) + 100) % 100, 2);
         } else {
             w.Number(w.dt.year, 4);
         }
     }},
    {'G',
     [](PatternWriter& w, std::size_t count) {
         const std::string_view name = JapaneseEraOf(w.dt).name;
         w.out.append(count == 1 ? name.substr(0, CharLengthAt(name, 0)) : name);
     }},
    {'E', [](PatternWriter& w,
             std::size_t count) { w.Number(JapaneseEraOf(w.dt).year, Figures(count)); }},
    {'M',
     [](PatternWriter& w, std::size_t count) {
         if (count <= 2) {
             w.Number(w.dt.month, static_cast<int>(count));
         } else {
             w.out.append((count == 3 ? kShortMonthNames : kLongMonthNames)[MonthIndex(w.dt)]);
         }
     }},
    {'D',
     [](PatternWriter& w, std::size_t count) {
         if (count <= 2) {
             w.Number(w.dt.day, static_cast<int>(count));
         } else if (count <= 4) {
             w.out.append((count == 3 ? kShortDayNames : kLongDayNames)[DayIndex(w.dt)]);
         } else {
             w.Nested(count == 5 ? kShortDateFormat : kLongDateFormat);
         }
     }},
    {'H',
     [](PatternWriter& w, std::size_t count) {
         if (TwelveHourAhead(w.pattern, w.pos)) w.twelve_hour = true;
         int hour = w.dt.hour;
         if (w.twelve_hour) {
             if (hour == 0) {
                 hour = 12;
             } else if (hour > 12) {
                 hour -= 12;
             }
         }
         w.Number(hour, Figures(count));
     }},
    {'N', [](PatternWriter& w, std::size_t count) { w.Number(w.dt.minute, Figures(count)); }},
    {'S', [](PatternWriter& w, std::size_t count) { w.Number(w.dt.second, Figures(count)); }},
    {'Z',
     [](PatternWriter& w, std::size_t count) {
         w.Number(w.dt.millisecond, count >= 3 ? 3 : static_cast<int>(count));
     }},
    {'T', [](PatternWriter& w,
             std::size_t count) { w.Nested(count == 1 ? kShortTimeFormat : kLongTimeFormat); }},
    {'C',
     [](PatternWriter& w, std::size_t) {
         w.Nested(kShortDateFormat);
         w.out.push_back(' ');
         w.Nested(kLongTimeFormat);
     }},
};

// Specifiers that begin with "a" (any case); where one begins like another, the longer is first.
// write gets the word as written.
struct WordSpecifier {
    std::string_view word;
    void (*write)(PatternWriter& w, std::string_view written);
};

constexpr WordSpecifier kWordSpecifiers[] = {
    {"am/pm",
     [](PatternWriter& w, std::string_view written) {
         // In the case written: its first two letters or its last two.
         w.out.append(written.substr(w.dt.hour >= 12 ? 3 : 0, 2));
         w.twelve_hour = true;
     }},
    {"a/p",
     [](PatternWriter& w, std::string_view written) {
         w.out.push_back(written[w.dt.hour >= 12 ? 2 : 0]);
         w.twelve_hour = true;
     }},
    {"ampm",
     [](PatternWriter& w, std::string_view) {
         w.out.append(w.dt.hour < 12 ? kTimeAmString : kTimePmString);
         w.twelve_hour = true;
     }},
    {"aaaa",
     [](PatternWriter& w, std::string_view) { w.out.append(kLongDayNames[DayIndex(w.dt)]); }},
    {"aaa",
     [](PatternWriter& w, std::string_view) { w.out.append(kShortDayNames[DayIndex(w.dt)]); }},
};

// Characters that stand for a separator of the system.
struct SeparatorSpecifier {
    char written;
    char output;
};
constexpr SeparatorSpecifier kSeparators[] = {{'/', kDateSeparator}, {':', kTimeSeparator}};

void AppendPattern(std::string& out, std::string_view pattern, const DateTime& dt, int level) {
    if (level > kMaxNesting) return;
    PatternWriter w{out, dt, pattern, 0, level, false};
    char last_letter = ' ';
    std::size_t& pos = w.pos;
    while (pos < pattern.size()) {
        const char starter = pattern[pos];
        if (static_cast<unsigned char>(starter) >= 0x80) {
            // A multi-byte character is copied whole and never part of a specifier.
            const std::size_t len = CharLengthAt(pattern, pos);
            out.append(pattern.substr(pos, len));
            pos += len;
            last_letter = ' ';
            continue;
        }
        if (starter == '\'' || starter == '"') {
            // Quoted text is copied as it is, without its quotes; an unclosed quote runs to the
            // end.
            const std::size_t start = ++pos;
            while (pos < pattern.size() && pattern[pos] != starter) {
                pos += CharLengthAt(pattern, pos);
            }
            out.append(pattern.substr(start, pos - start));
            if (pos < pattern.size()) ++pos;
            continue;
        }
        if (!IsAsciiLetter(starter)) {
            const auto separator =
                std::find_if(std::begin(kSeparators), std::end(kSeparators),
                             [&](const SeparatorSpecifier& s) { return s.written == starter; });
            out.push_back(separator != std::end(kSeparators) ? separator->output : starter);
            ++pos;
            continue;
        }
        char letter = Upper(starter);
        if (letter == 'M' && last_letter == 'H') letter = 'N';  // "h:mm" means minutes
        last_letter = letter;
        if (letter == 'A') {
            const auto word = std::find_if(
                std::begin(kWordSpecifiers), std::end(kWordSpecifiers),
                [&](const WordSpecifier& s) { return StartsWithIgnoreCase(pattern, pos, s.word); });
            if (word == std::end(kWordSpecifiers)) {
                out.push_back(starter);
                ++pos;
            } else {
                const std::string_view written = pattern.substr(pos, word->word.size());
                pos += written.size();
                word->write(w, written);
            }
            continue;
        }
        const auto run = std::find_if(std::begin(kRunSpecifiers), std::end(kRunSpecifiers),
                                      [&](const RunSpecifier& s) { return s.letter == letter; });
        if (run == std::end(kRunSpecifiers)) {
            out.push_back(starter);  // a letter that is no specifier is copied
            ++pos;
            continue;
        }
        const std::size_t count = RunLength(pattern, pos);
        pos += count;
        run->write(w, count);
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
