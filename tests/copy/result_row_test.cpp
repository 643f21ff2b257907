#include "copy/result_row.h"

#include "copy/left_on_card.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

// Rows as the engine reports them: their grid cells, and whether they fail the run or may still
// change.
TEST(ResultRowTest, GridCellsFailureAndFinality) {
    using C = TCopyOutcome;
    using D = TDeleteOutcome;
    using Cells = std::array<std::string, 4>;
    const std::tuple<TResultRow, Cells, bool, bool> rows[] = {
        {{"/c/A.JPG", "/d/A.JPG", TFileKind::fkJpeg, C::coCopied, D::doDeleted},
         {"/c/A.JPG", "/d/A.JPG", "OK", "OK"},
         false,
         true},
        {{"/c/A.JPG", "/d/A.JPG", TFileKind::fkJpeg, C::coWorking, D::doNone},
         {"/c/A.JPG", "/d/A.JPG", "処理中", ""},
         false,
         false},
        {{"/c/A.JPG", "/d/A.JPG", TFileKind::fkJpeg, C::coCopied, D::doFailed},
         {"/c/A.JPG", "/d/A.JPG", "OK", "失敗"},
         true,
         true},
        {{"/c/A.PEF", "/d/A.PEF", TFileKind::fkRaw, C::coFailed, D::doNotAsked},
         {"/c/A.PEF", "/d/A.PEF", "失敗", "----"},
         true,
         true},
        {{"/c/A.MOV", "", TFileKind::fkOther, C::coOlder, D::doNotAsked},
         {"/c/A.MOV", "最終取得日時以前のファイル", "----", "----"},
         false,
         true},
        {{"/c/A.MOV", "/d/A.MOV", TFileKind::fkOther, C::coNameTaken, D::doSkipped},
         {"/c/A.MOV", "/d/A.MOV", "同名のファイル有り", "スキップ"},
         false,
         true},
        // A file of no kind: the grid row stays blank, the row still names the file.
        {{"/c/A.THM", "", TFileKind::fkNone, C::coNone, D::doNone}, {}, false, true}};
    for (const auto& [row, cells, failed, final] : rows) {
        SCOPED_TRACE(row.source + " " + std::string(CopyOutcomeKey(row.copy)));
        EXPECT_EQ(GridCells(row), cells);
        EXPECT_EQ(row.Failed(), failed);
        EXPECT_EQ(row.Final(), final);
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
    const TResultRow no_kind[] = {row("A.THM", TFileKind::fkNone, C::coNone, D::doNone),
                                  row("B.thm", TFileKind::fkNone, C::coNone, D::doNone),
                                  row("C.WAV", TFileKind::fkNone, C::coNone, D::doNone)};
    const TResultRow others[] = {
        row("D", TFileKind::fkNone, C::coNone, D::doNone),
        row("E.JPG", TFileKind::fkJpeg, C::coNameTaken, D::doSkipped),
        row("F.JPG", TFileKind::fkJpeg, C::coOlder, D::doNotAsked),
        row("G.JPG", TFileKind::fkJpeg, C::coFailed, D::doNotAsked),
        row("H.JPG", TFileKind::fkJpeg, C::coCopied, D::doFailed),
        row("I.JPG", TFileKind::fkJpeg, C::coCopied, D::doDeleted)};  // gone: not counted
    LeftOnCard some, all;
    for (const TResultRow& r : no_kind) {
        some.Count(r);
        all.Count(r);
    }
    for (const TResultRow& r : others)
        all.Count(r);
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
