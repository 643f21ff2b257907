#pragma once

// The kind of a card file by its extension: RAW, JPEG or other (movies). The kind decides the
// destination folder; a file of no kind is not processed.

#include <array>
#include <string_view>

namespace pelko {

enum class TFileKind { fkNone, fkRaw, fkJpeg, fkOther };

inline constexpr std::array<std::string_view, 12> kRawExtensions = {
    ".pef", ".dng", ".nef", ".crw", ".cr2", ".raf", ".mrw", ".orf", ".srf", ".rw2", ".nrw", ".x3f"};
inline constexpr std::array<std::string_view, 2> kJpegExtensions = {".jpg", ".jpeg"};
inline constexpr std::array<std::string_view, 4> kOtherExtensions = {".avi", ".mov", ".mp4",
                                                                     ".mpg"};
// Files of RAW developers that sit beside the pictures; never a kind of their own.
inline constexpr std::array<std::string_view, 3> kSidecarExtensions = {".spi", ".spd", ".xmp"};

// Kind of a file by its extension (with the dot, in any letter case), tested RAW, JPEG, Other.
TFileKind FileKind(std::string_view extension);

}  // namespace pelko
