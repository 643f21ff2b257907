#include "support/text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace pelko {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one well-formed sequence at pos; returns its length, or 0 when malformed.
std::size_t DecodeAt(std::string_view s, std::size_t pos, char32_t* cp) {
    if (pos >= s.size()) return 0;
    auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        *cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t value;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, value = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, value = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, value = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - pos < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) return 0;
        value = (value << 6) | (b & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return len;
}

// Converts with iconv, replacing what cannot be converted, so that no input is ever lost whole.
std::string Convert(const char* to, const char* from, std::string_view in, bool from_sjis) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 4);
    std::array<char, 1024> buffer{};
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    while (src_left > 0) {
        char* dst = buffer.data();
        std::size_t dst_left = buffer.size();
        std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
        out.append(buffer.data(), buffer.size() - dst_left);
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: skip the offending unit and put a replacement in its place.
        std::size_t skip = 1;
        if (!from_sjis) {
            skip = CharLengthAt(std::string_view(src, src_left), 0);
            if (skip == 0) skip = 1;
            out += '?';
        } else {
            auto b = static_cast<unsigned char>(*src);
            bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
            if (lead && src_left >= 2) skip = 2;
            AppendUtf8(out, kReplacement);
        }
        src += skip;
        src_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    char32_t cp;
    while (pos < text.size()) {
        std::size_t len = DecodeAt(text, pos, &cp);
        if (len == 0) return false;
        pos += len;
    }
    return true;
}

std::string ShiftJisToUtf8(std::string_view bytes) {
    return Convert("UTF-8", "CP932", bytes, true);
}

std::string DecodeLegacyText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return ShiftJisToUtf8(bytes);
}

std::string CleanNameText(std::string_view text) {
    // C0, DEL and the C1 controls (which act on terminals as the C0 escape does), and the
    // bidirectional embeddings, overrides and isolates, which make a name read other than it is.
    const auto dropped = [](char32_t cp) {
        return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) ||
               (cp >= 0x2066 && cp <= 0x2069);
    };
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
    if (plain) return std::string(text);
    std::string out;
    out.reserve(text.size());
    char32_t cp;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = DecodeAt(text, pos, &cp);
        if (len == 0) {
            AppendUtf8(out, kReplacement);
            ++pos;
            continue;
        }
        if (!dropped(cp)) out.append(text.substr(pos, len));
        pos += len;
    }
    return out;
}

std::size_t CharLengthAt(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    char32_t cp;
    std::size_t len = DecodeAt(text, pos, &cp);
    return len == 0 ? 1 : len;
}

char32_t CodePointAt(std::string_view text, std::size_t pos) {
    char32_t cp = kReplacement;
    if (DecodeAt(text, pos, &cp) == 0) return kReplacement;
    return cp;
}

int LegacyCharWidth(char32_t cp) {
    if (cp < 0x80) return 1;
    if (cp >= 0xFF61 && cp <= 0xFF9F) return 1;
    return 2;
}

std::size_t CharCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLengthAt(text, pos))
        ++count;
    return count;
}

bool HasControlChar(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::size_t LegacyWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLengthAt(text, pos)) {
        width += static_cast<std::size_t>(LegacyCharWidth(CodePointAt(text, pos)));
    }
    return width;
}

std::string LegacySubstr(std::string_view text, std::size_t start, std::size_t count) {
    std::string out;
    std::size_t end = count > SIZE_MAX - start ? SIZE_MAX : start + count;
    std::size_t column = 0;
    for (std::size_t pos = 0; pos < text.size() && column < end;) {
        std::size_t len = CharLengthAt(text, pos);
        auto width = static_cast<std::size_t>(LegacyCharWidth(CodePointAt(text, pos)));
        if (column >= start && column + width <= end) out.append(text.substr(pos, len));
        column += width;
        pos += len;
    }
    return out;
}

std::string LegacyLeft(std::string_view text, std::size_t width) {
    return LegacySubstr(text, 0, width);
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

std::size_t FindIgnoreAsciiCase(std::string_view hay, std::string_view needle, std::size_t from) {
    if (needle.empty() || from > hay.size()) return std::string_view::npos;
    // Only start matches on character boundaries, so a multi-byte character is never split.
    std::size_t pos = 0;
    while (pos < from)
        pos += CharLengthAt(hay, pos);
    for (; pos + needle.size() <= hay.size(); pos += CharLengthAt(hay, pos)) {
        if (EqualsIgnoreAsciiCase(hay.substr(pos, needle.size()), needle)) return pos;
    }
    return std::string_view::npos;
}

std::string_view TrimControlRight(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

std::string_view TrimControl(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    return TrimControlRight(text);
}

}  // namespace pelko
