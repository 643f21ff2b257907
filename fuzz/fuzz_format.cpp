// Arbitrary formats and names through the user format evaluator: no crash, no hang, and the
// result always ends with the extension given.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "naming/user_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Layout: a date byte block, then name and format separated by the first zero byte.
    std::string_view input(reinterpret_cast<const char*>(data), size);
    pelko::DateTime date{2009, 4, 10, 12, 45, 10, 0};
    if (input.size() >= 4) {
        date.year = 1800 + static_cast<unsigned char>(input[0]) * 2;
        date.month = 1 + static_cast<unsigned char>(input[1]) % 12;
        date.day = 1 + static_cast<unsigned char>(input[2]) % 28;
        date.hour = static_cast<unsigned char>(input[3]) % 24;
        input.remove_prefix(4);
    }
    const std::size_t split = input.find('\0');
    const std::string_view name =
        split == std::string_view::npos ? std::string_view() : input.substr(0, split);
    const std::string_view format =
        split == std::string_view::npos ? input : input.substr(split + 1);
    const std::size_t dot = name.rfind('.');
    const std::string_view ext =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    const pelko::ModelNameLookup model = [](const std::string&) {
        return std::string("K-5 <a|b>");
    };
    const std::string result = pelko::EvaluateUserFormat(name, ext, format, date, "/card", model);
    if (!std::string_view(result).ends_with(ext)) std::abort();
    pelko::EvaluateTrimCode(name, format);
    pelko::EvaluateReplaceCode(name, format);
    return 0;
}
