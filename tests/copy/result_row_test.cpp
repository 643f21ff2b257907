#include "copy/result_row.h"

#include "copy/left_on_card.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

// Rows as the engine reports them: their grid cells, and whether they fail the run or may still
// change. A file of no kind leaves its grid row blank, though the row still names the file.
TEST(ResultRowTest, GridCellsFailureAndFinality) {
    using C = TCopyOutcome;
    using D = TDeleteOutcome;
    using K = TFileKind;
    struct Row {
        K kind;
        C copy;
        D removal;
        std::string dest, dest_cell, copy_cell, delete_cell;
        bool failed, final;
    };
    const Row rows[] = {
        {K::fkJpeg, C::coCopied, D::doDeleted, "/d/A", "/d/A", "OK", "OK", false, true},
        {K::fkJpeg, C::coWorking, D::doNone, "/d/A", "/d/A", "処理中", "", false, false},
        {K::fkJpeg, C::coCopied, D::doFailed, "/d/A", "/d/A", "OK", "失敗", true, true},
        {K::fkRaw, C::coFailed, D::doNotAsked, "/d/A", "/d/A", "失敗", "----", true, true},
        {K::fkOther, C::coOlder, D::doNotAsked, "", "最終取得日時以前のファイル", "----", "----",
         false, true},
        {K::fkOther, C::coNameTaken, D::doSkipped, "/d/A", "/d/A", "同名のファイル有り", "スキップ",
         false, true},
        {K::fkNone, C::coNone, D::doNone, "", "", "", "", false, true}};
    for (const Row& r : rows) {
        const TResultRow row{"/c/A", r.dest, r.kind, r.copy, r.removal};
        SCOPED_TRACE(CopyOutcomeKey(row.copy));
        const std::array<std::string, 4> cells = {r.kind == K::fkNone ? "" : "/c/A", r.dest_cell,
                                                  r.copy_cell, r.delete_cell};
        EXPECT_EQ(GridCells(row), cells);
        EXPECT_EQ(row.Failed(), r.failed);
        EXPECT_EQ(row.Final(), r.final);
    }
}

// The summary of what stayed on the card, from the final rows, in the tool's English and the
// window's Japanese.
TEST(LeftOnCardTest, CountsFromTheRowsInBothWordings) {
    using C = TCopyOutcome;
    using D = TDeleteOutcome;
    auto row = [](const char* name, TFileKind kind, C copy, D removal) {
        return TResultRow{std::string("/c/") + name, "/d/x", kind, copy, removal};
    };
    // The first three are "some".
    const TResultRow rows[] = {
        row("A.THM", TFileKind::fkNone, C::coNone, D::doNone),
        row("B.thm", TFileKind::fkNone, C::coNone, D::doNone),
        row("C.WAV", TFileKind::fkNone, C::coNone, D::doNone),
        row("D", TFileKind::fkNone, C::coNone, D::doNone),
        row("E.JPG", TFileKind::fkJpeg, C::coNameTaken, D::doSkipped),
        row("F.JPG", TFileKind::fkJpeg, C::coOlder, D::doNotAsked),
        row("G.JPG", TFileKind::fkJpeg, C::coFailed, D::doNotAsked),
        row("H.JPG", TFileKind::fkJpeg, C::coCopied, D::doFailed),
        row("I.JPG", TFileKind::fkJpeg, C::coCopied, D::doDeleted)};  // gone: not counted
    LeftOnCard some, all;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        if (i < 3) some.Count(rows[i]);
        all.Count(rows[i]);
    }
    // Counts, rename run, English, Japanese.
    const std::tuple<LeftOnCard, bool, std::string, std::string> cases[] = {
        {LeftOnCard{}, false, "", ""},
        {some, false, "3 files left on the card: 3 of no kind (.thm 2, .wav 1)",
         "対象外のファイル 3 件はメディアに残しました（.thm 2、.wav 1）"},
        {all, false,
         "8 files left on the card: 4 of no kind ((none) 1, .thm 2, .wav 1), 1 name taken, "
         "1 older than the cut-off, 1 copy failed, 1 deletion failed",
         "対象外のファイル 4 件、同名のファイル有り 1 件、最終取得日時以前のファイル 1 件、"
         "コピー失敗 1 件、削除失敗 1 件はメディアに残しました（拡張子なし 1、.thm 2、.wav 1）"},
        {some, true, "3 files not renamed: 3 of no kind (.thm 2, .wav 1)",
         "名前を変更しなかったファイル 3 件：対象外 3 件（.thm 2、.wav 1）"},
    };
    for (const auto& [left, rename, english, japanese] : cases) {
        EXPECT_EQ(LeftOnCardText(left, rename), english);
        EXPECT_EQ(LeftOnCardTextJa(left, rename), japanese);
    }
}

}  // namespace
}  // namespace pelko
