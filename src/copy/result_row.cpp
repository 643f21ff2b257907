#include "copy/result_row.h"

#include <cstddef>
#include <iterator>

namespace pelko {

namespace {

constexpr std::string_view kOlderFileText = "最終取得日時以前のファイル";

// Grid text and script key of each value, in the order of the enumeration.
struct OutcomeWords {
    std::string_view text;
    std::string_view key;
};

// clang-format off
constexpr OutcomeWords kCopyWords[] = {
    {"", "none"},
    {"処理中", "working"},
    {"OK", "copied"},
    {"同名のファイル有り", "name-taken"},
    {"----", "older"},
    {"失敗", "failed"},
};
constexpr OutcomeWords kDeleteWords[] = {
    {"", "none"},
    {"----", "not-asked"},
    {"OK", "deleted"},
    {"スキップ", "skipped"},
    {"失敗", "failed"},
};
constexpr std::string_view kKindKeys[] = {"none", "raw", "jpeg", "other"};
// clang-format on

static_assert(std::size(kCopyWords) == static_cast<std::size_t>(TCopyOutcome::coFailed) + 1);
static_assert(std::size(kDeleteWords) == static_cast<std::size_t>(TDeleteOutcome::doFailed) + 1);
static_assert(std::size(kKindKeys) == static_cast<std::size_t>(TFileKind::fkOther) + 1);

template <typename Table, typename Enum>
const auto& Entry(const Table& table, Enum value) {
    const auto index = static_cast<std::size_t>(value);
    return table[index < std::size(table) ? index : 0];
}

}  // namespace

std::string_view CopyOutcomeText(TCopyOutcome outcome) {
    return Entry(kCopyWords, outcome).text;
}

std::string_view DeleteOutcomeText(TDeleteOutcome outcome) {
    return Entry(kDeleteWords, outcome).text;
}

std::string_view CopyOutcomeKey(TCopyOutcome outcome) {
    return Entry(kCopyWords, outcome).key;
}

std::string_view DeleteOutcomeKey(TDeleteOutcome outcome) {
    return Entry(kDeleteWords, outcome).key;
}

std::string_view FileKindKey(TFileKind kind) {
    return Entry(kKindKeys, kind);
}

std::array<std::string, 4> GridCells(const TResultRow& row) {
    // A file of no kind is not processed: its row stays blank.
    if (row.kind == TFileKind::fkNone) return {};
    const std::string dest =
        row.copy == TCopyOutcome::coOlder ? std::string(kOlderFileText) : row.dest;
    return {row.source, dest, std::string(CopyOutcomeText(row.copy)),
            std::string(DeleteOutcomeText(row.removal))};
}

}  // namespace pelko
