#include <gtest/gtest.h>

#include <tuple>

#include "naming/date_format.h"

namespace pelko {
namespace {

// Cases around the reading of a pattern rather than the specifiers themselves.
TEST(DatePattern, ReadingThePattern) {
    const DateTime evening{2009, 4, 3, 21, 5, 7, 42};
    const std::tuple<const char*, const char*> cases[] = {
        {"h年m", "21年4"},               // a multi-byte character ends the "h" before "m"
        {"h-m", "21-5"},                 // other characters do not
        {"hh:mm tt", "21:05 21:05:07"},  // a nested format keeps the 24-hour clock
        {"h'ampm'", "21ampm"},           // quoted words are no specifiers
        {"h AMPM", "9 午後"},
        {"'unclosed yyyy", "unclosed yyyy"},
        {"\"a'b\"", "a'b"},
        {"ab ap a/", "ab ap a/"},  // an "a" that begins no specifier is copied
        {"bfijk", "bfijk"},
        {"ddddd|dddddd", "2009/04/03|2009年4月3日"},
        {"\xff\x80yy",
         "\xff\x80"
         "09"},  // stray bytes are copied one at a time
    };
    for (const auto& [pattern, expected] : cases)
        EXPECT_EQ(FormatDatePattern(pattern, evening), expected) << pattern;
}

}  // namespace
}  // namespace pelko
