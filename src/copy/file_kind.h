#pragma once

// The kind of a card file by its extension: RAW, JPEG or other (movies). The kind decides the
// destination folder; a file of no kind is not processed.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pelko {

enum class TFileKind { fkNone, fkRaw, fkJpeg, fkOther };

inline constexpr std::array<std::string_view, 13> kRawExtensions = {
    ".pef", ".dng", ".nef", ".crw", ".cr2", ".raf", ".mrw",
    ".orf", ".srf", ".rw2", ".nrw", ".x3f", ".arw"};
inline constexpr std::array<std::string_view, 2> kJpegExtensions = {".jpg", ".jpeg"};
inline constexpr std::array<std::string_view, 4> kOtherExtensions = {".avi", ".mov", ".mp4",
                                                                     ".mpg"};
// Files of RAW developers that sit beside the pictures; never a kind of their own.
inline constexpr std::array<std::string_view, 3> kSidecarExtensions = {".spi", ".spd", ".xmp"};

// The extensions of each kind: the lists above, plus what the settings or the command line add
// (cameras of today write ".cr3", ".heic", ".mts"…). The lists above always win: an extension
// of theirs added to another kind keeps its kind.
class FileKindTable {
  public:
    // Kind of a file by its extension (with the dot, in any letter case).
    TFileKind KindOf(std::string_view extension) const;

    // Adds the comma-separated extensions of `list` (".cr3,.srw"; blanks around items and empty
    // items ignored, a missing leading dot added, letters folded) to the kind. An item that
    // cannot be a file's extension (holds a "." or "/" past its first dot, a control character,
    // or names a sidecar) is not added, and the items refused are returned.
    std::vector<std::string> Add(TFileKind kind, std::string_view list);

    // The extensions added to a kind, in the order added.
    const std::vector<std::string>& Added(TFileKind kind) const;

  private:
    std::vector<std::string> raw_, jpeg_, other_;
};

// Kind of a file by its extension with the lists above only, tested RAW, JPEG, Other.
TFileKind FileKind(std::string_view extension);

}  // namespace pelko
