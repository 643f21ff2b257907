#pragma once

// Date patterns of the %D code, written with built-in Japanese locale data so that the result
// never depends on the user's own locale.

#include <string>
#include <string_view>

#include "support/date_time.h"

namespace pelko {

// Appends date_time written by `pattern` to out. An empty pattern writes as "c" does.
void AppendDatePattern(std::string& out, std::string_view pattern, const DateTime& date_time);

// date_time written by `pattern`.
std::string FormatDatePattern(std::string_view pattern, const DateTime& date_time);

// The Japanese era of a date: its full name ("平成") and the year within it. Dates before the
// first era of the table give an empty name and the calendar year.
struct JapaneseEra {
    std::string_view name;
    int year = 0;
};
JapaneseEra JapaneseEraOf(const DateTime& date_time);

}  // namespace pelko
