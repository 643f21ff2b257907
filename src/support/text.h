#pragma once

// Text layer: all text is UTF-8 in memory. Files from the Windows program may be Shift-JIS
// (code page 932); positions and counts in formats use the legacy code page's widths.

#include <cstddef>
#include <string>
#include <string_view>

namespace pelko {

// Appends the UTF-8 encoding of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Decodes Shift-JIS (CP932) to UTF-8; bytes that do not decode become U+FFFD.
std::string ShiftJisToUtf8(std::string_view bytes);

// The text as UTF-8: unchanged when it is valid UTF-8, otherwise decoded from Shift-JIS.
std::string DecodeLegacyText(std::string_view bytes);

// Text fit to stand in a name: control characters (C0, DEL and C1) and bidirectional controls
// (U+202A..U+202E, U+2066..U+2069) dropped, and every byte that is not part of well-formed UTF-8
// replaced by U+FFFD.
std::string CleanNameText(std::string_view text);

// Characters (UTF-8 sequences; a stray byte counts as one).
std::size_t CharCount(std::string_view text);
// True when the text holds a C0 control character or DEL.
bool HasControlChar(std::string_view text);

// Byte length of the character that starts at pos: 1 to 4 for a well-formed UTF-8 sequence,
// 1 for a stray byte (so a walk over malformed text always moves on), 0 at or past the end.
std::size_t CharLengthAt(std::string_view text, std::size_t pos);

// The code point that starts at pos, or U+FFFD for a stray byte.
char32_t CodePointAt(std::string_view text, std::size_t pos);

// Width of a character in the legacy code page: 1 for ASCII and half-width katakana
// (U+FF61..U+FF9F), 2 for every other character.
int LegacyCharWidth(char32_t cp);

// Legacy width of a whole text.
std::size_t LegacyWidth(std::string_view text);

// The characters whose legacy positions lie inside [start, start + count), counted from 0;
// a character cut by either end of the range is left out.
std::string LegacySubstr(std::string_view text, std::size_t start, std::size_t count);

// The first characters of text that fit in `width` legacy units (a cut character is left out).
std::string LegacyLeft(std::string_view text, std::size_t width);

// One byte with an ASCII letter folded to lower case.
inline char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters folded to lower case; every other byte unchanged.
std::string AsciiLower(std::string_view text);

// Equality with ASCII letters folded.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Byte offset of needle in hay starting at a character boundary at or after `from`, comparing
// ASCII letters without case and other characters exactly; npos when absent. An empty needle is
// never found.
std::size_t FindIgnoreAsciiCase(std::string_view hay, std::string_view needle,
                                std::size_t from = 0);

// Text with leading and trailing bytes <= 32 removed (the legacy Trim).
std::string_view TrimControl(std::string_view text);
std::string_view TrimControlRight(std::string_view text);

}  // namespace pelko
