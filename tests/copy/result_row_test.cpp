#include "copy/result_row.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

using Cells = std::array<std::string, 4>;

TEST(ResultRowTest, CopyOutcomesGiveGridTextsAndKeys) {
    const std::tuple<TCopyOutcome, std::string_view, std::string_view> rows[] = {
        {TCopyOutcome::coNone, "", "none"},
        {TCopyOutcome::coWorking, "処理中", "working"},
        {TCopyOutcome::coCopied, "OK", "copied"},
        {TCopyOutcome::coNameTaken, "同名のファイル有り", "name-taken"},
        {TCopyOutcome::coOlder, "----", "older"},
        {TCopyOutcome::coFailed, "失敗", "failed"}};
    for (const auto& [outcome, text, key] : rows) {
        EXPECT_EQ(CopyOutcomeText(outcome), text) << key;
        EXPECT_EQ(CopyOutcomeKey(outcome), key);
    }
}

TEST(ResultRowTest, DeleteOutcomesGiveGridTextsAndKeys) {
    const std::tuple<TDeleteOutcome, std::string_view, std::string_view> rows[] = {
        {TDeleteOutcome::doNone, "", "none"},
        {TDeleteOutcome::doNotAsked, "----", "not-asked"},
        {TDeleteOutcome::doDeleted, "OK", "deleted"},
        {TDeleteOutcome::doSkipped, "スキップ", "skipped"},
        {TDeleteOutcome::doFailed, "失敗", "failed"}};
    for (const auto& [outcome, text, key] : rows) {
        EXPECT_EQ(DeleteOutcomeText(outcome), text) << key;
        EXPECT_EQ(DeleteOutcomeKey(outcome), key);
    }
    EXPECT_EQ(FileKindKey(TFileKind::fkRaw), "raw");
    EXPECT_EQ(FileKindKey(TFileKind::fkNone), "none");
}

// Rows as the engine reports them: their grid cells, and whether they fail the run or may still
// change.
TEST(ResultRowTest, GridCellsFailureAndFinality) {
    using C = TCopyOutcome;
    using D = TDeleteOutcome;
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
        EXPECT_EQ(GridCells(row), cells) << row.source << " " << CopyOutcomeKey(row.copy);
        EXPECT_EQ(row.Failed(), failed) << row.source << " " << CopyOutcomeKey(row.copy);
        EXPECT_EQ(row.Final(), final) << row.source << " " << CopyOutcomeKey(row.copy);
    }
}

}  // namespace
}  // namespace pelko
