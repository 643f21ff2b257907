#include <gtest/gtest.h>

#include <tuple>

#include "naming/date_format.h"

namespace pelko {
namespace {

TEST(DatePattern, Specifiers) {
    const DateTime morning{2009, 4, 3, 9, 5, 7, 42};        // a Friday
    const DateTime evening{2009, 12, 27, 21, 45, 10, 500};  // a Sunday
    const DateTime night{2009, 4, 3, 21, 5, 7, 42};
    const std::tuple<const char*, DateTime, const char*> cases[] = {
        {"aaa aaaa d dd ddd dddd dddddd e ee g gg", morning,
         "金 金曜日 3 03 金 金曜日 2009年4月3日 21 21 平 平成"},
        {"e ee g gg", {1989, 1, 7, 0, 0, 0, 0}, "64 64 昭 昭和"},
        {"ggee", {1989, 1, 8, 0, 0, 0, 0}, "平成01"},
        {"gge", {2019, 5, 1, 0, 0, 0, 0}, "令和1"},
        {"gge", {1850, 1, 1, 0, 0, 0, 0}, "1850"},
        {"m mm mmm mmmm hh nn m h:m hh:mm h'時'm", morning, "4 04 4 4月 09 05 4 9:5 09:05 9時5"},
        {"y yy yyy yyyy YyYy n nn s ss z zzz", morning, "09 09 2009 2009 2009 5 05 7 07 42 042"},
        {"t tt c hh(aaa)", evening, "21:45 21:45:10 2009/12/27 21:45:10 21(日)"},
        {"h ampm hh AM/PM h A/P", evening, "9 午後 09 PM 9 P"},
        {"h h ampm", evening, "21 9 午後"},  // an "h" looks for am/pm only up to the next "h"
        {"h a/p", {2009, 1, 1, 0, 0, 0, 0}, "12 a"},
        {"'yyyy'\"mm\"yy 年yyyy月 b-x q", morning, "yyyymm09 年2009月 b-x q"},
        {"", morning, "2009/04/03 9:05:07"},
        // Reading the pattern rather than the specifiers themselves.
        {"h年m", night, "21年4"},               // a multi-byte character ends the "h" before "m"
        {"h-m", night, "21-5"},                 // other characters do not
        {"hh:mm tt", night, "21:05 21:05:07"},  // a nested format keeps the 24-hour clock
        {"h'ampm'", night, "21ampm"},           // quoted words are no specifiers
        {"'unclosed yyyy", night, "unclosed yyyy"},
        {"\"a'b\"", night, "a'b"},
        {"ab ap a/ bfijk", night, "ab ap a/ bfijk"},  // an "a" that begins no specifier is copied
        {"ddddd|dddddd", night, "2009/04/03|2009年4月3日"},
        {"\xff\x80yy", night, "\377\20009"},  // stray bytes are copied one at a time
    };
    for (const auto& [pattern, date, expected] : cases)
        EXPECT_EQ(FormatDatePattern(pattern, date), expected) << pattern;
}

}  // namespace
}  // namespace pelko
