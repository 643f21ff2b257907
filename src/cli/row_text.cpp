#include "cli/row_text.h"

#include "support/text.h"

namespace pelko::cli {

namespace {

// Length of the UTF-8 sequence that a lead byte announces; 0 for a byte that cannot lead one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

void AppendHex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 15]);
}

// Escapes backslashes and stray bytes; with `controls`, control characters too.
std::string Escape(std::string_view text, bool controls) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = SequenceLength(byte);
        if (length > 1) {
            // C2 80..C2 9F encode the C1 controls, which terminals obey as they do ESC.
            const bool c1 = controls && byte == 0xC2 && i + 1 < text.size() &&
                            static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if (c1) {
                AppendHex(out, byte);
                AppendHex(out, static_cast<unsigned char>(text[i + 1]));
                i += 2;
            } else if (i + length <= text.size() && IsValidUtf8(text.substr(i, length))) {
                out.append(text.substr(i, length));
                i += length;
            } else {
                AppendHex(out, byte);
                ++i;
            }
            continue;
        }
        ++i;
        if (length == 0) {
            AppendHex(out, byte);
        } else if (byte == '\\') {
            out += "\\\\";
        } else if (!controls || (byte >= 0x20 && byte != 0x7F)) {
            out.push_back(static_cast<char>(byte));
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else {
            AppendHex(out, byte);
        }
    }
    return out;
}

}  // namespace

std::string EscapeRowField(std::string_view text) {
    return Escape(text, true);
}

std::string RowLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line.push_back('\t');
        line += EscapeRowField(fields[i]);
    }
    return line;
}

std::string JsonText(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    return Escape(text, false);
}

std::optional<std::string> JsonExactBytes(std::string_view text) {
    if (IsValidUtf8(text)) return std::nullopt;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (const char c : text) {
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
    }
    return hex;
}

}  // namespace pelko::cli
