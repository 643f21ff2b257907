#pragma once

// One row of the result grid as values: what happened to the copy and to the card file. The grid
// texts are made from these at the edges (window, command-line tool), never compared back.

#include <array>
#include <string>
#include <string_view>

#include "copy/file_kind.h"

namespace pelko {

// Column 2, "コピー処理".
enum class TCopyOutcome {
    coNone,       // no kind: the row stays blank
    coWorking,    // "処理中": copying, or waiting for its batch to be made durable
    coCopied,     // "OK" (copied, or renamed in place)
    coNameTaken,  // "同名のファイル有り"
    coOlder,   // "----" beside "最終取得日時以前のファイル" in the destination column
    coFailed,  // "失敗"
};

// Column 3, "メディアから削除".
enum class TDeleteOutcome {
    doNone,      // blank: no kind, or the copy is still working
    doNotAsked,  // "----": no deletion was tried (not asked for, or the copy failed)
    doDeleted,   // "OK"
    doSkipped,   // "スキップ": the name was taken, so the card file stays
    doFailed,    // "失敗": the deletion was tried after a good copy and the card file stays
};

struct TResultRow {
    std::string source;  // the card file
    std::string dest;    // where it went; empty for an older file
    TFileKind kind = TFileKind::fkNone;
    TCopyOutcome copy = TCopyOutcome::coNone;
    TDeleteOutcome removal = TDeleteOutcome::doNone;
    // A symbolic link on the card: never followed, copied or deleted; its row stays blank.
    bool link = false;

    // Counts against the exit status and the window's failure colour.
    bool Failed() const {
        return copy == TCopyOutcome::coFailed || removal == TDeleteOutcome::doFailed;
    }
    // Nothing more will change in this row.
    bool Final() const { return copy != TCopyOutcome::coWorking; }
};

// The grid texts of each outcome.
std::string_view CopyOutcomeText(TCopyOutcome outcome);
std::string_view DeleteOutcomeText(TDeleteOutcome outcome);
// Stable English keys for scripts ("copied", "name-taken", …).
std::string_view CopyOutcomeKey(TCopyOutcome outcome);
std::string_view DeleteOutcomeKey(TDeleteOutcome outcome);
std::string_view FileKindKey(TFileKind kind);

// The four grid cells: file name, destination, copy, delete; all blank for a file of no kind.
std::array<std::string, 4> GridCells(const TResultRow& row);

}  // namespace pelko
