#include "copy/file_kind.h"

#include <algorithm>
#include <string>

#include "support/text.h"

namespace pelko {

namespace {

template <typename List>
bool Holds(const List& list, std::string_view ext) {
    return std::find(list.begin(), list.end(), ext) != list.end();
}

}  // namespace

TFileKind FileKind(std::string_view extension) {
    const std::string ext = AsciiLower(extension);
    if (Holds(kRawExtensions, ext)) return TFileKind::fkRaw;
    if (Holds(kJpegExtensions, ext)) return TFileKind::fkJpeg;
    if (Holds(kOtherExtensions, ext)) return TFileKind::fkOther;
    return TFileKind::fkNone;
}

}  // namespace pelko
