#include "copy/left_on_card.h"

#include <vector>

#include "support/file_ops.h"
#include "support/text.h"

namespace pelko {

void LeftOnCard::Count(const TResultRow& row) {
    if (row.link) {
        ++link;
    } else if (row.kind == TFileKind::fkNone) {
        ++no_kind[AsciiLower(ExtensionOf(row.source))];
    } else if (row.copy == TCopyOutcome::coNameTaken) {
        ++name_taken;
    } else if (row.copy == TCopyOutcome::coOlder) {
        ++older;
    } else if (row.copy == TCopyOutcome::coFailed) {
        ++copy_failed;
    } else if (row.removal == TDeleteOutcome::doFailed) {
        ++delete_failed;
    }
}

namespace {

int NoKind(const LeftOnCard& left) {
    int total = 0;
    for (const auto& [ext, count] : left.no_kind)
        total += count;
    return total;
}

// ".cr3 1, .heic 1" with the separator given; `none` names the files without an extension.
std::string Extensions(const LeftOnCard& left, const std::string& separator,
                       const std::string& none) {
    std::string text;
    for (const auto& [ext, count] : left.no_kind) {
        text += (text.empty() ? "" : separator) + (ext.empty() ? none : ext) + " " +
                std::to_string(count);
    }
    return text;
}

// The counts with their words, in a fixed order; counts of 0 are left out.
std::string Join(const std::vector<std::pair<int, std::string>>& parts,
                 const std::string& separator) {
    std::string text;
    for (const auto& [count, words] : parts) {
        if (count > 0) text += (text.empty() ? "" : separator) + words;
    }
    return text;
}

}  // namespace

int LeftOnCard::Total() const {
    return NoKind(*this) + name_taken + older + copy_failed + delete_failed + link;
}

std::string LeftOnCardText(const LeftOnCard& left, bool rename) {
    const int total = left.Total();
    if (total == 0) return {};
    auto n = [](int count, const std::string& why) { return std::to_string(count) + why; };
    const int no_kind = NoKind(left);
    const std::string reasons =
        Join({{no_kind, n(no_kind, " of no kind (" + Extensions(left, ", ", "(none)") + ")")},
              {left.name_taken, n(left.name_taken, " name taken")},
              {left.older, n(left.older, " older than the cut-off")},
              {left.copy_failed, n(left.copy_failed, rename ? " rename failed" : " copy failed")},
              {left.delete_failed, n(left.delete_failed, " deletion failed")},
              {left.link, n(left.link, left.link == 1 ? " link" : " links")}},
             ", ");
    return std::to_string(total) + (total == 1 ? " file" : " files") +
           (rename ? " not renamed: " : " left on the card: ") + reasons;
}

std::string LeftOnCardTextJa(const LeftOnCard& left, bool rename) {
    if (left.Total() == 0) return {};
    auto n = [](const std::string& what, int count) {
        return what + " " + std::to_string(count) + " 件";
    };
    const int no_kind = NoKind(left);
    const std::string kinds =
        no_kind > 0 ? "（" + Extensions(left, "、", "拡張子なし") + "）" : std::string();
    if (rename) {
        return n("名前を変更しなかったファイル", left.Total()) + "：" +
               Join({{no_kind, n("対象外", no_kind)},
                     {left.name_taken, n("同名のファイル有り", left.name_taken)},
                     {left.older, n("最終取得日時以前", left.older)},
                     {left.copy_failed, n("名前の変更に失敗", left.copy_failed)},
                     {left.link, n("リンク", left.link)}},
                    "、") +
               kinds;
    }
    return Join({{no_kind, n("対象外のファイル", no_kind)},
                 {left.name_taken, n("同名のファイル有り", left.name_taken)},
                 {left.older, n("最終取得日時以前のファイル", left.older)},
                 {left.copy_failed, n("コピー失敗", left.copy_failed)},
                 {left.delete_failed, n("削除失敗", left.delete_failed)},
                 {left.link, n("リンク", left.link)}},
                "、") +
           "はメディアに残しました" + kinds;
}

}  // namespace pelko
