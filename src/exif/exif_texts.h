#pragma once

// Pure conversions of decoded EXIF values: the Japanese descriptions of enumerated tags, the
// orientation mapping, version texts and user comments. None of them reads a file.

#include <cstdint>
#include <string>
#include <string_view>

#include "exif/exif_types.h"

namespace pelko {

// Description of an enumerated tag's value; nullptr when the tag's table has no entry for it.
const char* ExifValueText(std::uint16_t tag, std::uint32_t value);

// The orientation of an Orientation tag value; false for a value above 8.
bool ExifOrientationOf(std::uint32_t value, TExifOrientation* orientation);

// Each byte as two upper-case hexadecimal characters.
std::string ExifHexText(std::string_view bytes);

// A version tag's bytes (30 32 32 30 -> "0220"): zero bytes dropped, the rest as characters.
std::string ExifVersionText(std::string_view bytes);

// The line of an UNDEFINED UserComment: its 8-byte character code ("ASCII", "Unicode" or "JIS",
// case ignored) then the text; an empty line for any other code.
std::string ExifUndefinedComment(std::string_view bytes, bool big_endian);

// An ISO-2022-JP style stream as Shift_JIS bytes.
std::string JisToShiftJis(std::string_view bytes);

// UTF-16 code units in the given byte order as UTF-8; a trailing odd byte is ignored.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian);

// A floating value in the general format: up to 15 significant figures, "." as the decimal
// separator, an exponent as in 1E20 or 1E-7.
std::string FormatGeneralFloat(double value);

}  // namespace pelko
