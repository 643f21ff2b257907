#pragma once

// Why files stayed on the card (or, in a rename run, kept their names), counted from the final
// rows of a run, and said in English for the command-line tool and in Japanese for the window.

#include <map>
#include <string>

#include "copy/result_row.h"

namespace pelko {

struct LeftOnCard {
    // Files of no kind, by lower-case extension ("" for none).
    std::map<std::string, int> no_kind;
    int name_taken = 0;
    int older = 0;
    int copy_failed = 0;    // or, in a rename run, the rename failed
    int delete_failed = 0;  // copied, but the deletion failed
    int link = 0;           // links, which are never taken off the card

    // Counts a final row; a row whose file left the card (or was renamed) counts nowhere.
    void Count(const TResultRow& row);
    int Total() const;
};

// "5 files left on the card: 2 of no kind (.cr3 1, .heic 1), 1 name taken, …" or, renaming,
// "… files not renamed: …"; empty when nothing was left but by choice.
std::string LeftOnCardText(const LeftOnCard& left, bool rename);
// "対象外のファイル 3 件はメディアに残しました（.thm 2、.wav 1）", or, renaming,
// "名前を変更しなかったファイル …"; empty likewise.
std::string LeftOnCardTextJa(const LeftOnCard& left, bool rename);

}  // namespace pelko
