#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "common/test_util.h"
#include "sidecar/sidecar_list.h"
#include "support/file_ops.h"

namespace pelko {
namespace {

TEST(Sidecar, StemsOfSidecarNames) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"IMGP0001.PEF.spd", "imgp0001"}, {"IMGP0001.PEF.5.spd", "imgp0001"},
        {"imgp0001.pef.4.SPI", "imgp0001"}, {"IMGP0001.xmp", "imgp0001"},
        {"AB.PEF.5.X.4.spd", "ab.pef"},  // ".4." wins over an earlier ".5."
        {"IMGP0001.JPEG.spd", "imgp0001."}, {"a.spd", ""}, {"x.5.spd", ""},
        {"写真.spd", ""},  // four legacy columns and ".spd": nothing left
        {"写真1.PEF.spd", "写真1"},
    };
    // clang-format on
    for (const auto& [name, stem] : cases)
        EXPECT_EQ(SidecarStem(name), stem) << name;
}

// Generated trees below s (sidecars) and p (pictures): the files of each case and the rows
// expected as "sidecar|picture or note|action", the roots written "<s>" and "<p>". A case whose
// first file lies below p searches p for sidecars too.
TEST(Sidecar, CheckListsWhatIsNotBesideItsPicture) {
    struct Case {
        const char* name;
        bool use_jpeg, delete_xmp;
        std::vector<std::string> files, rows;
    };
    // clang-format off
    const Case cases[] = {
        {"picture in X: nothing", false, false,
         {"p/X/SILKYPIX_DS/IMGP0001.PEF.spd", "p/X/IMGP0001.PEF"}, {}},
        {"picture in Y: move", false, false, {"s/X/SILKYPIX_DS/IMGP0001.PEF.spd", "p/Y/IMGP0001.PEF"},
         {"<s>/X/SILKYPIX_DS/IMGP0001.PEF.spd|<p>/Y/IMGP0001.PEF|→移動"}},
        {".5. and .4. stems, any case", false, false,
         {"s/X/SILKYPIX_DS/IMGP0001.PEF.5.spd", "s/X/SILKYPIX_DS/imgp0001.pef.4.spi", "p/Y/ImGp0001.pEf"},
         {"<s>/X/SILKYPIX_DS/IMGP0001.PEF.5.spd|<p>/Y/ImGp0001.pEf|→移動",
          "<s>/X/SILKYPIX_DS/imgp0001.pef.4.spi|<p>/Y/ImGp0001.pEf|→移動"}},
        {"xmp without picture", false, false, {"s/A/IMGP0009.xmp", "p/IMGP0001.PEF"},
         {"<s>/A/IMGP0009.xmp|対応画像無し|×削除"}},
        {"delete-xmp: one row, also beside its picture", false, true,
         {"p/A/IMGP0001.xmp", "p/A/IMGP0001.PEF", "p/A/IMGP0002.xmp"},
         {"<p>/A/IMGP0001.xmp|オプション設定により削除|×削除",
          "<p>/A/IMGP0002.xmp|オプション設定により削除|×削除"}},
        {"xmp named after the whole picture name", false, false,
         {"p/A/IMGP0003.PEF.xmp", "p/A/IMGP0003.PEF", "p/A/IMGP0004.JPG.xmp"},
         {"<p>/A/IMGP0004.JPG.xmp|対応画像無し|×削除"}},
        {"JPEG without the option", false, false, {"s/A/IMGP0001.xmp", "p/B/IMGP0001.JPG"},
         {"<s>/A/IMGP0001.xmp|対応画像無し|×削除"}},
        {"JPEG with the option", true, false, {"s/A/IMGP0001.xmp", "p/B/IMGP0001.JPG"},
         {"<s>/A/IMGP0001.xmp|<p>/B/IMGP0001.JPG|→移動"}},
        {"same stem twice: the first found wins, even beside the other", false, false,
         {"p/IMGP0001.PEF", "p/B/IMGP0001.NEF", "p/B/IMGP0001.xmp"},
         {"<p>/B/IMGP0001.xmp|<p>/IMGP0001.PEF|→移動"}},
        {"folders named like sidecars or pictures are neither", false, false,
         {"s/A/IMGP0001.xmp/x.txt", "p/IMGP0002.PEF/y.txt", "s/IMGP0002.xmp", "p/Q/IMGP0002.PEF"},
         {"<s>/IMGP0002.xmp|<p>/Q/IMGP0002.PEF|→移動"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TempDir dir;
        std::filesystem::create_directories(dir / "s");
        std::filesystem::create_directories(dir / "p");
        for (const std::string& file : c.files)
            test::WriteFile(dir / file, file);
        const std::string sidecars = dir / (c.files[0].starts_with("p/") ? "p" : "s");
        const SidecarCheckResult result = CheckSidecars(
            {sidecars, dir / "p", c.use_jpeg, c.delete_xmp, {{".pef", ".nef"}, {".jpg"}}, {}, {}});
        ASSERT_EQ(result.status, TSidecarCheck::scListed);
        std::vector<std::string> rows;
        for (const SidecarRow& row : result.rows) {
            const auto cells = SidecarCells(row);
            std::string text = cells[0] + "|" + cells[1] + "|" + cells[2] + cells[3];
            for (const char* root : {"s", "p"}) {
                for (std::size_t at; (at = text.find(dir / root)) != std::string::npos;)
                    text.replace(at, (dir / root).size(), "<" + std::string(root) + ">");
            }
            rows.push_back(text);
        }
        // The order of one folder's files is the file system's: compare as sets.
        std::vector<std::string> expected = c.rows;
        std::sort(rows.begin(), rows.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(rows, expected);
    }
}

TEST(Sidecar, MissingPictureRootListsNothing) {
    const test::TempDir dir;
    test::WriteFile(dir / "s/IMGP0001.xmp", "x");
    const SidecarCheckResult result =
        CheckSidecars({dir / "s", dir / "gone", false, false, {{".pef"}, {}}, {}, {}});
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
