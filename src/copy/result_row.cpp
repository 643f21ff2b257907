#include "copy/result_row.h"

namespace pelko {

namespace {

constexpr std::string_view kOlderFileText = "最終取得日時以前のファイル";

}  // namespace

std::string_view CopyOutcomeText(TCopyOutcome outcome) {
    switch (outcome) {
        case TCopyOutcome::coNone:
            return "";
        case TCopyOutcome::coWorking:
            return "処理中";
        case TCopyOutcome::coCopied:
            return "OK";
        case TCopyOutcome::coNameTaken:
            return "同名のファイル有り";
        case TCopyOutcome::coOlder:
            return "----";
        case TCopyOutcome::coFailed:
            return "失敗";
    }
    return "";
}

std::string_view DeleteOutcomeText(TDeleteOutcome outcome) {
    switch (outcome) {
        case TDeleteOutcome::doNone:
            return "";
        case TDeleteOutcome::doNotAsked:
            return "----";
        case TDeleteOutcome::doDeleted:
            return "OK";
        case TDeleteOutcome::doSkipped:
            return "スキップ";
        case TDeleteOutcome::doFailed:
            return "失敗";
    }
    return "";
}

std::string_view CopyOutcomeKey(TCopyOutcome outcome) {
    switch (outcome) {
        case TCopyOutcome::coNone:
            return "none";
        case TCopyOutcome::coWorking:
            return "working";
        case TCopyOutcome::coCopied:
            return "copied";
        case TCopyOutcome::coNameTaken:
            return "name-taken";
        case TCopyOutcome::coOlder:
            return "older";
        case TCopyOutcome::coFailed:
            return "failed";
    }
    return "none";
}

std::string_view DeleteOutcomeKey(TDeleteOutcome outcome) {
    switch (outcome) {
        case TDeleteOutcome::doNone:
            return "none";
        case TDeleteOutcome::doNotAsked:
            return "not-asked";
        case TDeleteOutcome::doDeleted:
            return "deleted";
        case TDeleteOutcome::doSkipped:
            return "skipped";
        case TDeleteOutcome::doFailed:
            return "failed";
    }
    return "none";
}

std::string_view FileKindKey(TFileKind kind) {
    switch (kind) {
        case TFileKind::fkNone:
            return "none";
        case TFileKind::fkRaw:
            return "raw";
        case TFileKind::fkJpeg:
            return "jpeg";
        case TFileKind::fkOther:
            return "other";
    }
    return "none";
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
