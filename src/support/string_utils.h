#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pelko {

// The nine characters a file name may not hold, in their fixed order; removed from generated
// names and model texts.
inline constexpr std::array<std::string_view, 9> InvalidFileNameChars = {"\\", "/", ":", "*", "?",
                                                                         "\"", "<", ">", "|"};

// Every occurrence of old_pattern replaced by new_pattern, left to right, non-overlapping;
// ASCII letters compared without case when ignore_case. Whole characters only.
std::string ReplaceText(std::string_view s, std::string_view old_pattern,
                        std::string_view new_pattern, bool ignore_case);

// ReplaceText for each pattern in order, each on the result of the one before.
template <typename Patterns>
std::string ReplaceEach(std::string_view s, const Patterns& patterns, bool ignore_case,
                        std::string_view new_pattern) {
    std::string out(s);
    for (const auto& p : patterns)
        out = ReplaceText(out, p, new_pattern, ignore_case);
    return out;
}

}  // namespace pelko
