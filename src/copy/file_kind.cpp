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

TFileKind DescribedKind(std::string_view lower_ext) {
    if (Holds(kRawExtensions, lower_ext)) return TFileKind::fkRaw;
    if (Holds(kJpegExtensions, lower_ext)) return TFileKind::fkJpeg;
    if (Holds(kOtherExtensions, lower_ext)) return TFileKind::fkOther;
    return TFileKind::fkNone;
}

// An item of an extension list as an extension a file name can end in, or empty when it cannot.
std::string ExtensionItem(std::string_view item) {
    std::string ext = AsciiLower(TrimControl(item));
    if (ext.empty()) return ext;
    if (ext.front() != '.') ext.insert(ext.begin(), '.');
    if (ext.size() == 1 || Holds(kSidecarExtensions, ext)) return {};
    for (std::size_t i = 1; i < ext.size(); ++i) {
        const auto c = static_cast<unsigned char>(ext[i]);
        if (c < 0x20 || c == 0x7F || c == '.' || c == '/') return {};
    }
    return IsValidUtf8(ext) ? ext : std::string();
}

}  // namespace

TFileKind FileKind(std::string_view extension) {
    return DescribedKind(AsciiLower(extension));
}

TFileKind FileKindTable::KindOf(std::string_view extension) const {
    const std::string ext = AsciiLower(extension);
    if (const TFileKind kind = DescribedKind(ext); kind != TFileKind::fkNone) return kind;
    if (Holds(raw_, ext)) return TFileKind::fkRaw;
    if (Holds(jpeg_, ext)) return TFileKind::fkJpeg;
    if (Holds(other_, ext)) return TFileKind::fkOther;
    return TFileKind::fkNone;
}

std::vector<std::string> FileKindTable::Add(TFileKind kind, std::string_view list) {
    std::vector<std::string>* target = kind == TFileKind::fkRaw     ? &raw_
                                       : kind == TFileKind::fkJpeg  ? &jpeg_
                                       : kind == TFileKind::fkOther ? &other_
                                                                    : nullptr;
    std::vector<std::string> refused;
    while (target != nullptr) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const std::string ext = ExtensionItem(item);
        if (!ext.empty()) {
            if (!Holds(*target, ext)) target->push_back(ext);
        } else if (!TrimControl(item).empty()) {
            refused.emplace_back(TrimControl(item));
        }
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return refused;
}

const std::vector<std::string>& FileKindTable::Added(TFileKind kind) const {
    static const std::vector<std::string> none;
    switch (kind) {
        case TFileKind::fkRaw:
            return raw_;
        case TFileKind::fkJpeg:
            return jpeg_;
        case TFileKind::fkOther:
            return other_;
        case TFileKind::fkNone:
            break;
    }
    return none;
}

}  // namespace pelko
