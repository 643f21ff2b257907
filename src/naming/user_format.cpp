#include "naming/user_format.h"

#include <charconv>
#include <cstddef>
#include <string_view>
#include <vector>

#include "naming/camera_model.h"
#include "naming/date_format.h"
#include "support/string_utils.h"
#include "support/text.h"

namespace pelko {

namespace {

constexpr std::string_view kTrimError = "TrimError";
constexpr std::string_view kReplaceError = "ReplaceError";

// The nine characters a file name cannot hold are all ASCII, so in UTF-8 they never occur inside
// another character and removing their bytes removes whole characters only.
bool IsInvalidFileNameByte(char c) {
    for (std::string_view invalid : InvalidFileNameChars) {
        if (invalid.front() == c) return true;
    }
    return false;
}

// A decimal integer (optional leading spaces and sign), or `fallback` when the text is not one.
long long IntegerOr(std::string_view text, long long fallback) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return fallback;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return fallback;
    return value;
}

bool IsBlank(char c) {
    return c >= 1 && c <= ' ';
}

// Splits a comma-separated list: items may be double-quoted (a doubled quote stands for one, and
// a quoted item may hold commas and spaces); outside quotes spaces and control characters end an
// item and are skipped; a comma at the very end adds an empty item.
std::vector<std::string> SplitCommaText(std::string_view text) {
    std::vector<std::string> items;
    std::size_t p = 0;
    const std::size_t n = text.size();
    auto skip_blanks = [&] {
        while (p < n && IsBlank(text[p]))
            ++p;
    };
    skip_blanks();
    while (p < n && text[p] != '\0') {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item.push_back('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.push_back(text[p++]);
            }
        } else {
            const std::size_t start = p;
            while (p<n&& static_cast<unsigned char>(text[p])> ' ' && text[p] != ',')
                ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        skip_blanks();
        if (p < n && text[p] == ',') {
            if (p + 1 == n) items.emplace_back();
            do {
                ++p;
            } while (p < n && IsBlank(text[p]));
        }
    }
    return items;
}

}  // namespace

std::string_view NameBase(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string NamePrefix(std::string_view name) {
    return LegacySubstr(name, 0, 4);
}

std::string NameNumber(std::string_view name) {
    return LegacySubstr(name, 4, 4);
}

std::string EvaluateTrimCode(std::string_view s, std::string_view arg) {
    const std::size_t open = arg.find('(');
    // Without a range the code gives the name with one more extension removed, and nothing
    // else of its argument.
    if (open == std::string_view::npos) return std::string(NameBase(s));
    std::string_view rest = arg.substr(open + 1);
    std::string_view start_text;
    const std::size_t comma = rest.find(',');
    if (comma != std::string_view::npos) {
        start_text = rest.substr(0, comma);
        rest.remove_prefix(comma + 1);
    }
    std::string_view count_text;
    std::string_view tail = rest;
    const std::size_t close = rest.find(')');
    if (close != std::string_view::npos) {
        count_text = rest.substr(0, close);
        tail = rest.substr(close + 1);
    }
    long long start = IntegerOr(start_text, 1);
    const long long count = IntegerOr(count_text, 1);
    if (start < 1) start = 1;
    std::string result;
    const auto width = static_cast<long long>(LegacyWidth(s));
    if (count > 0 && start <= width) {
        result = LegacySubstr(s, static_cast<std::size_t>(start - 1),
                              static_cast<std::size_t>(count < width ? count : width));
    }
    result.append(tail);
    if (result.empty()) result = kTrimError;
    return result;
}

std::string EvaluateReplaceCode(std::string_view s, std::string_view arg) {
    std::string quoted(arg);
    for (char& c : quoted) {
        if (c == '\'') c = '"';
    }
    const std::size_t open = quoted.find('(');
    const std::size_t first_close = quoted.find(')');
    if (open == std::string::npos || first_close == std::string::npos) return std::string();
    const std::size_t inner_close = quoted.find(')', open + 1);
    std::string_view inner;
    if (inner_close != std::string::npos) {
        inner = std::string_view(quoted).substr(open + 1, inner_close - open - 1);
    }
    const std::vector<std::string> items = SplitCommaText(inner);
    if (items.size() != 2) return std::string(kReplaceError);
    std::string result = ReplaceText(s, items[0], items[1], /*ignore_case=*/true);
    result.append(std::string_view(quoted).substr(first_close + 1));
    return result;
}

std::string EvaluateUserFormat(std::string_view name, std::string_view ext, std::string_view format,
                               const DateTime& date_time, std::string_view current_source_folder,
                               const ModelNameLookup& model_name) {
    std::string result;
    result.reserve(format.size() + name.size() + ext.size() + 16);
    const std::string_view base = NameBase(name);
    const std::size_t length = format.size();
    for (std::size_t i = 0; i < length; ++i) {
        if (format[i] != '%') continue;
        if (i + 1 == length) break;
        const char code = format[i + 1];
        std::string_view arg = format.substr(i + 2);
        arg = arg.substr(0, arg.find('%'));
        switch (code) {
            case 'W':
                result.append(arg);
                break;
            case 'P':
                result.append(NamePrefix(name));
                result.append(arg);
                break;
            case 'N':
                result.append(NameNumber(name));
                result.append(arg);
                break;
            case 'F':
                result.append(base);
                result.append(arg);
                break;
            case 'C': {
                std::string file;
                if (!current_source_folder.empty()) {
                    file.assign(current_source_folder);
                    if (file.back() != '/') file.push_back('/');
                }
                file.append(name);
                result.append(model_name ? model_name(file) : GetModelName(file, {}));
                result.append(arg);
                break;
            }
            case 'D':
                AppendDatePattern(result, arg, date_time);
                break;
            case 'T':
                result.append(EvaluateTrimCode(base, arg));
                break;
            case 'R':
                result.append(EvaluateReplaceCode(base, arg));
                break;
            default:
                break;
        }
    }
    std::size_t kept = 0;
    for (const char c : result) {
        if (!IsInvalidFileNameByte(c)) result[kept++] = c;
    }
    result.resize(kept);
    // Card data (models, names) may hold control bytes and broken text; a name holds neither.
    result = CleanNameText(result);
    // Trimmed in place: this runs once per file of a run.
    const std::string_view trimmed = TrimControl(result);
    const auto lead = static_cast<std::size_t>(trimmed.data() - result.data());
    const std::size_t size = trimmed.size();
    result.resize(lead + size);
    result.erase(0, lead);
    result.append(ext);
    return result;
}

}  // namespace pelko
