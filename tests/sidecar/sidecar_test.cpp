#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "common/test_util.h"
#include "sidecar/sidecar_list.h"
#include "support/file_ops.h"

namespace pelko {
namespace {

using Cells = std::array<std::string, 4>;

TEST(Sidecar, StemsOfSidecarNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"IMGP0001.PEF.spd", "imgp0001"},
        {"IMGP0001.PEF.5.spd", "imgp0001"},
        {"imgp0001.pef.4.SPI", "imgp0001"},
        {"IMGP0001.xmp", "imgp0001"},
        {"AB.PEF.5.X.4.spd", "ab.pef"},  // ".4." wins over an earlier ".5."
        {"IMGP0001.JPEG.spd", "imgp0001."},
        {"a.spd", ""},
        {"写真.spd", ""},  // four legacy columns and ".spd": nothing left
        {"写真1.PEF.spd", "写真1"},
        {"x.5.spd", ""},
    };
    for (const auto& [name, stem] : cases)
        EXPECT_EQ(SidecarStem(name), stem) << name;
}

// Generated trees below s (sidecars) and p (pictures): each case lists files and the rows
// expected, in search order ("<s>" and "<p>" stand for the roots).
TEST(Sidecar, CheckListsWhatIsNotBesideItsPicture) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        bool use_jpeg, delete_xmp;
        std::vector<Cells> rows;
    };
    const std::string spd = "s/X/SILKYPIX_DS/IMGP0001.PEF.spd";
    const Case cases[] = {
        {"picture in X: nothing",
         {"p/X/SILKYPIX_DS/IMGP0001.PEF.spd", "p/X/IMGP0001.PEF"},
         false,
         false,
         {}},
        {"picture in Y: move",
         {spd, "p/Y/IMGP0001.PEF"},
         false,
         false,
         {{"<s>/X/SILKYPIX_DS/IMGP0001.PEF.spd", "<p>/Y/IMGP0001.PEF", "→移動", ""}}},
        {".5. and .4. stems, any case",
         {"s/X/SILKYPIX_DS/IMGP0001.PEF.5.spd", "s/X/SILKYPIX_DS/imgp0001.pef.4.spi",
          "p/Y/ImGp0001.pEf"},
         false,
         false,
         {{"<s>/X/SILKYPIX_DS/IMGP0001.PEF.5.spd", "<p>/Y/ImGp0001.pEf", "→移動", ""},
          {"<s>/X/SILKYPIX_DS/imgp0001.pef.4.spi", "<p>/Y/ImGp0001.pEf", "→移動", ""}}},
        {"xmp without picture",
         {"s/A/IMGP0009.xmp", "p/IMGP0001.PEF"},
         false,
         false,
         {{"<s>/A/IMGP0009.xmp", "対応画像無し", "×削除", ""}}},
        {"delete-xmp: one row, also beside its picture",
         {"p/A/IMGP0001.xmp", "p/A/IMGP0001.PEF", "p/A/IMGP0002.xmp"},
         false,
         true,
         {{"<p>/A/IMGP0001.xmp", "オプション設定により削除", "×削除", ""},
          {"<p>/A/IMGP0002.xmp", "オプション設定により削除", "×削除", ""}}},
        {"JPEG only with the option, off",
         {"s/A/IMGP0001.xmp", "p/B/IMGP0001.JPG"},
         false,
         false,
         {{"<s>/A/IMGP0001.xmp", "対応画像無し", "×削除", ""}}},
        {"JPEG only with the option, on",
         {"s/A/IMGP0001.xmp", "p/B/IMGP0001.JPG"},
         true,
         false,
         {{"<s>/A/IMGP0001.xmp", "<p>/B/IMGP0001.JPG", "→移動", ""}}},
        {"same stem twice: the first found wins, even when the other is beside it",
         {"p/IMGP0001.PEF", "p/B/IMGP0001.NEF", "p/B/IMGP0001.xmp"},
         false,
         false,
         {{"<p>/B/IMGP0001.xmp", "<p>/IMGP0001.PEF", "→移動", ""}}},
        {"folders named like sidecars or pictures are neither",
         {"s/A/IMGP0001.xmp/x.txt", "p/IMGP0002.PEF/y.txt", "s/IMGP0002.xmp", "p/Q/IMGP0002.PEF"},
         false,
         false,
         {{"<s>/IMGP0002.xmp", "<p>/Q/IMGP0002.PEF", "→移動", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TempDir dir;
        std::filesystem::create_directories(dir / "s");
        std::filesystem::create_directories(dir / "p");
        for (const std::string& file : c.files)
            test::WriteFile(dir / file, file);
        SidecarCheckOptions options{
            dir / "s", dir / "p", c.use_jpeg, c.delete_xmp, {{".pef", ".nef"}, {".jpg"}},
            nullptr,   {}};
        if (c.files[0].starts_with("p/")) options.sidecar_root = dir / "p";
        const SidecarCheckResult result = CheckSidecars(options);
        ASSERT_EQ(result.status, TSidecarCheck::scListed);
        std::vector<Cells> rows;
        for (const SidecarRow& row : result.rows) {
            Cells cells = SidecarCells(row);
            for (std::string& cell : cells) {
                for (const char* root : {"s", "p"}) {
                    if (cell.starts_with(dir / root)) {
                        cell = "<" + std::string(root) + ">" + cell.substr((dir / root).size());
                    }
                }
            }
            rows.push_back(cells);
        }
        // The order of one folder's files is the file system's: compare as sets.
        std::sort(rows.begin(), rows.end());
        std::vector<Cells> expected = c.rows;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(rows, expected);
    }
}

TEST(Sidecar, MissingPictureRootListsNothing) {
    const test::TempDir dir;
    test::WriteFile(dir / "s/IMGP0001.xmp", "x");
    const SidecarCheckResult result =
        CheckSidecars({dir / "s", dir / "gone", false, false, {{".pef"}, {}}, nullptr, {}});
    EXPECT_EQ(result.status, TSidecarCheck::scPictureRootMissing);
    EXPECT_TRUE(result.rows.empty());
}

// The index finds the picture a search of the list from its start finds, on lists with many
// shared stems.
TEST(Sidecar, IndexFindsTheFirstPictureOfTheLinearSearch) {
    std::mt19937 random(7);
    std::vector<std::string> pictures;
    std::vector<std::string> sidecars;
    for (int i = 0; i < 2000; ++i) {
        const std::string stem = "IMG" + std::to_string(random() % 300);
        const std::string folder = "/f" + std::to_string(random() % 4);
        pictures.push_back(folder + "/" + stem + (i % 2 ? ".PEF" : ".nef"));
        sidecars.push_back(folder + "/SILKYPIX_DS/" + stem + ".PEF.spd");
        sidecars.push_back(folder + "/" + stem + ".xmp");
    }
    const std::vector<SidecarRow> rows = ListUnmatched(sidecars, pictures, false);
    std::size_t row = 0;
    for (const std::string& sidecar : sidecars) {
        const std::string stem = SidecarStem(NameOf(sidecar));
        const bool xmp = sidecar.ends_with(".xmp");
        const std::string folder = xmp ? FolderOf(sidecar) : FolderOf(FolderOf(sidecar));
        const auto found = std::find_if(pictures.begin(), pictures.end(), [&](const auto& p) {
            return PictureStem(NameOf(p)) == stem;
        });
        if (found != pictures.end() && FolderOf(*found) == folder) continue;
        ASSERT_LT(row, rows.size());
        EXPECT_EQ(rows[row].sidecar, sidecar);
        EXPECT_EQ(rows[row++].picture, found == pictures.end() ? "" : *found);
    }
    EXPECT_EQ(row, rows.size());
}

// Each row on its own: moves into the picture's folder or its SILKYPIX_DS (created), a file
// already there with the same bytes lets the sidecar go, one with other bytes stops the move
// and keeps both, deletion, and a failure that does not stop the rows after it.
TEST(Sidecar, CarryOutMovesDeletesAndNeverReplaces) {
    const test::TempDir dir;
    const auto row = [&](const std::string& sidecar, const std::string& picture) {
        test::WriteFile(dir / sidecar, "edits of " + sidecar);
        return SidecarRow{
            dir / sidecar, picture.empty() ? "" : dir / picture,
            picture.empty() ? TSidecarReason::srNoPicture : TSidecarReason::srElsewhere};
    };
    std::vector<SidecarRow> rows = {
        row("X/SILKYPIX_DS/A.PEF.spd", "Y/A.PEF"),
        row("X/A.xmp", "Y/A.PEF"),
        row("X/SILKYPIX_DS/B.PEF.spd", "Y/B.PEF"),
        row("X/SILKYPIX_DS/C.PEF.spd", "Y/C.PEF"),
        row("X/gone.xmp", ""),
        row("X/D.xmp", ""),
    };
    test::WriteFile(dir / "Y/SILKYPIX_DS/B.PEF.spd", "edits of X/SILKYPIX_DS/B.PEF.spd");
    test::WriteFile(dir / "Y/SILKYPIX_DS/C.PEF.spd", "newer edits");
    ::unlink((dir / "X/gone.xmp").c_str());
    std::atomic<bool> stop{false};
    EXPECT_EQ(CarryOutSidecarRows(rows, &stop), rows.size());
    const std::vector<std::string> outcomes = {"移動OK",     "移動OK",     "移動OK",
                                               "移動に失敗", "削除に失敗", "削除OK"};
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(SidecarCells(rows[i])[3], outcomes[i]) << i;
    EXPECT_EQ(test::ReadFile(dir / "Y/SILKYPIX_DS/A.PEF.spd"), "edits of X/SILKYPIX_DS/A.PEF.spd");
    EXPECT_EQ(test::ReadFile(dir / "Y/A.xmp"), "edits of X/A.xmp");
    EXPECT_EQ(test::ReadFile(dir / "Y/SILKYPIX_DS/C.PEF.spd"), "newer edits");
    EXPECT_EQ(test::ReadFile(dir / "X/SILKYPIX_DS/C.PEF.spd"), "edits of X/SILKYPIX_DS/C.PEF.spd");
    for (const char* gone :
         {"X/SILKYPIX_DS/A.PEF.spd", "X/A.xmp", "X/SILKYPIX_DS/B.PEF.spd", "X/D.xmp"})
        EXPECT_FALSE(std::filesystem::exists(dir / gone)) << gone;

    // The same file reached through a linked folder is not a copy of itself.
    std::filesystem::create_directory_symlink(dir / "Y", dir / "L");
    SidecarRow same = row("Y/E.xmp", "L/E.PEF");
    EXPECT_EQ(CarryOutSidecarRow(same), TSidecarOutcome::soMoveFailed);
    EXPECT_EQ(test::ReadFile(dir / "Y/E.xmp"), "edits of Y/E.xmp");

    stop = true;
    std::vector<SidecarRow> stopped = {row("X/F.xmp", "")};
    EXPECT_EQ(CarryOutSidecarRows(stopped, &stop), 0u);
    EXPECT_TRUE(std::filesystem::exists(dir / "X/F.xmp"));
}

}  // namespace
}  // namespace pelko
