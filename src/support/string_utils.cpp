#include "support/string_utils.h"

#include "support/text.h"

namespace pelko {

std::string ReplaceText(std::string_view s, std::string_view old_pattern,
                        std::string_view new_pattern, bool ignore_case) {
    if (old_pattern.empty()) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t hit =
            ignore_case ? FindIgnoreAsciiCase(s, old_pattern, pos) : s.find(old_pattern, pos);
        // A plain find may land inside a multi-byte character only when the text is not valid
        // UTF-8; the case-insensitive one never does.
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(new_pattern);
        pos = hit + old_pattern.size();
    }
    out.append(s.substr(pos < s.size() ? pos : s.size()));
    return out;
}

}  // namespace pelko
