#pragma once

// Texts of the tool's output rows. A row is one line of tab-separated fields whatever a file
// name holds: each field is escaped, and JSON values carry names that are not UTF-8 readably.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelko::cli {

// Tab, newline, carriage return and backslash as "\t", "\n", "\r" and "\\"; every other control
// character (C1 ones as their two bytes) and each byte that is not part of well-formed UTF-8 as
// "\xNN" (upper-case hex).
std::string EscapeRowField(std::string_view text);
// The fields escaped and joined by tabs, without a line end.
std::string RowLine(const std::vector<std::string>& fields);
// A text for a JSON string: itself when it is well-formed UTF-8 (JSON escapes the rest);
// otherwise backslashes doubled and the stray bytes as "\xNN", as in rows.
std::string JsonText(std::string_view text);
// For a text that is not well-formed UTF-8, its exact bytes as lower-case hex: JsonText alone
// cannot tell the byte 0xFF from the four characters "\xFF" of a well-formed name.
std::optional<std::string> JsonExactBytes(std::string_view text);

}  // namespace pelko::cli
