#include "exif/exif_texts.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "support/text.h"

namespace pelko {

namespace {

struct ValueText {
    std::uint32_t value;
    const char* text;
};

const char* Lookup(std::initializer_list<ValueText> table, std::uint32_t value) {
    for (const ValueText& entry : table) {
        if (entry.value == value) return entry.text;
    }
    return nullptr;
}

// clang-format off
constexpr std::initializer_list<ValueText> kCompression = {{1, "非圧縮"}, {6, "JPEG"}};
constexpr std::initializer_list<ValueText> kPhotometric = {{2, "RGB"}, {6, "YCbCr"}};
constexpr std::initializer_list<ValueText> kResolutionUnit = {{2, "inch"}, {3, "cm"}};
constexpr std::initializer_list<ValueText> kExposureProgram = {
    {1, "マニュアル設定"}, {2, "プログラムAE"}, {3, "絞り優先"}, {4, "シャッター速度優先"},
    {5, "低速プログラム"}, {6, "高速プログラム"}, {7, "ポートレートモード"}, {8, "風景モード"}};
constexpr std::initializer_list<ValueText> kMeteringMode = {
    {0, "不明"}, {1, "平均測光"}, {2, "中央重点"}, {3, "スポット"}, {4, "多点スポット"},
    {5, "マルチセグメント"}, {6, "部分測光"}, {255, "その他"}};
constexpr std::initializer_list<ValueText> kLightSource = {
    {0, "不明"}, {1, "昼光"}, {2, "蛍光灯"}, {3, "白熱電球"}, {10, "フラッシュ"},
    {17, "標準ライトA"}, {18, "標準ライトB"}, {19, "標準ライトC"}, {20, "D55"}, {21, "D65"},
    {22, "D75"}, {255, "その他"}};
constexpr std::initializer_list<ValueText> kFlash = {
    {0, "非発光"}, {1, "発光(反射検出機構なし)"}, {5, "発光(反射光未検出)"},
    {7, "発光(反射光検出)"}};
constexpr std::initializer_list<ValueText> kColorSpace = {{1, "sRGB"}, {65535, "Uncalibrated"}};
constexpr std::initializer_list<ValueText> kSensingMethod = {
    {2, "1チップカラーエリアセンサ"}, {3, "2チップカラーエリアセンサ"},
    {4, "3チップカラーエリアセンサ"}, {5, "カラーシークエンシャルエリアセンサ"},
    {7, "トリリニアセンサ"}, {8, "カラーシークエンシャルリニアセンサ"}};
// clang-format on

std::string DropZeroBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        if (c != '\0') out += c;
    }
    return out;
}

}  // namespace

const char* ExifValueText(std::uint16_t tag, std::uint32_t value) {
    switch (tag) {
        case 0x0103:
            return Lookup(kCompression, value);
        case 0x0106:
            return Lookup(kPhotometric, value);
        case 0x0128:
        case 0xA210:
            return Lookup(kResolutionUnit, value);
        case 0x8822:
            return Lookup(kExposureProgram, value);
        case 0x9207:
            return Lookup(kMeteringMode, value);
        case 0x9208:
            return Lookup(kLightSource, value);
        case 0x9209:
            return Lookup(kFlash, value);
        case 0xA001:
            return Lookup(kColorSpace, value);
        case 0xA217:
            return Lookup(kSensingMethod, value);
        default:
            return nullptr;
    }
}

bool ExifOrientationOf(std::uint32_t value, TExifOrientation* orientation) {
    if (value > 8) return false;
    // The tag counts bottom-right as 3 and bottom-left as 4, the other way round from the order
    // of the enumeration.
    if (value == 3)
        value = 4;
    else if (value == 4)
        value = 3;
    *orientation = static_cast<TExifOrientation>(value);
    return true;
}

std::string ExifHexText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out(bytes.size() * 2, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out[2 * i] = kDigits[b >> 4];
        out[2 * i + 1] = kDigits[b & 0x0F];
    }
    return out;
}

std::string ExifVersionText(std::string_view bytes) {
    return DecodeLegacyText(DropZeroBytes(bytes));
}

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t units = bytes.size() / 2;
    auto unit_at = [&](std::size_t i) -> char32_t {
        auto a = static_cast<unsigned char>(bytes[2 * i]);
        auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return big_endian ? (a << 8) | b : (b << 8) | a;
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = unit_at(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            char32_t low = unit_at(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;  // a lone surrogate
        AppendUtf8(out, u);
    }
    return out;
}

std::string JisToShiftJis(std::string_view bytes) {
    enum class State { kSingle, kDouble, kKana };
    State state = State::kSingle;
    std::string out;
    std::size_t pos = 0;
    auto next = [&](unsigned char* c) {
        if (pos >= bytes.size()) return false;
        *c = static_cast<unsigned char>(bytes[pos++]);
        return true;
    };
    unsigned char c;
    while (next(&c)) {
        // Escape sequences, one after the other when several follow.
        while (c == 0x1B || c == 0x0E || c == 0x0F) {
            if (c == 0x0E || c == 0x0F) {
                // Shift out to half-width katakana and back.
                state = c == 0x0E ? State::kKana : State::kSingle;
                if (!next(&c)) return out;
                continue;
            }
            unsigned char c2;
            if (!next(&c2)) return out;
            if (c2 == 0x24) {  // ESC $ B, ESC $ @, ESC $ ( D
                unsigned char c3;
                if (!next(&c3)) return out;
                if (c3 == 0x28 && !next(&c3)) return out;
                state = State::kDouble;
            } else if (c2 == 0x26) {  // ESC & @ ESC $ B
                if (bytes.size() - pos < 4) return out;
                pos += 4;
                state = State::kDouble;
            } else if (c2 == 0x28) {  // ESC ( B, ESC ( J
                unsigned char skipped;
                if (!next(&skipped)) return out;
                state = State::kSingle;
            } else {
                c = c2;
                break;
            }
            if (!next(&c)) return out;
        }
        if (state == State::kDouble) {
            unsigned char d;
            if (!next(&d)) return out;
            auto t = static_cast<unsigned char>(c - 0x21);
            auto s2 = static_cast<unsigned char>((t & 1) ? d + 0x7E : d + 0x1F);
            unsigned char half = t / 2;
            auto s1 = static_cast<unsigned char>(half + (half >= 0x1F ? 0xC1 : 0x81));
            if (s2 >= 0x7F && s2 <= 0x9D) ++s2;
            out += static_cast<char>(s1);
            out += static_cast<char>(s2);
        } else if (state == State::kKana && c >= 0x21 && c <= 0x5F) {
            out += static_cast<char>(c | 0x80);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ExifUndefinedComment(std::string_view bytes, bool big_endian) {
    std::string_view code_bytes = bytes.substr(0, 8);
    std::string_view rest = bytes.size() > 8 ? bytes.substr(8) : std::string_view();
    std::string code = DropZeroBytes(code_bytes);
    if (EqualsIgnoreAsciiCase(code, "ASCII")) return DecodeLegacyText(DropZeroBytes(rest));
    if (EqualsIgnoreAsciiCase(code, "Unicode")) return Utf16ToUtf8(rest, big_endian);
    if (EqualsIgnoreAsciiCase(code, "JIS")) return ShiftJisToUtf8(JisToShiftJis(rest));
    return {};
}

std::string FormatGeneralFloat(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char text[64];
    std::snprintf(text, sizeof text, "%.15G", value);
    std::string out(text);
    // "1E+20" -> "1E20", "1E-07" -> "1E-7".
    std::size_t e = out.find('E');
    if (e == std::string::npos) return out;
    std::string mantissa = out.substr(0, e);
    std::string exponent = out.substr(e + 1);
    bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) exponent.erase(0, 1);
    exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
    return mantissa + "E" + (negative ? "-" : "") + exponent;
}

}  // namespace pelko
