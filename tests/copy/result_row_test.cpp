#include "copy/result_row.h"

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

}  // namespace
}  // namespace pelko
