#include "copy/delete_old_files.h"

#include <gtest/gtest.h>

#include "copy/card_tree.h"

namespace pelko::test {
namespace {

const DateTime kToday{2010, 5, 20, 8, 30, 0, 0};

TEST(DeleteOldFiles, DeletesOldCandidatesBeforeTheLimitDay) {
    TempDir tmp;
    // 14 days before the 20th, the 5th is the last day to go.
    const std::string last_day = DatedFile(tmp / "auto/a/IMGP0001.JPG", "x", {2010, 5, 5, 23, 59});
    const std::string next_day = DatedFile(tmp / "auto/a/IMGP0002.JPG", "x", {2010, 5, 6});
    // Older files, and whether they go: compact-camera folders and other files of the JPEG
    // destination than its DSLR folder stay.
    const std::pair<std::string, bool> old_files[] = {{"auto/IMGP0003.XMP", true},
                                                      {"auto/IMGP0004.pef", true},
                                                      {"auto/IMGP0005.DNG", true},
                                                      {"auto/IMGP0006.JPEG", false},
                                                      {"auto/IMGP0007.MOV", false},
                                                      {"auto/SILKYPIX_DS/a.spi", false},
                                                      {"auto/noext", false},
                                                      {"auto/コンデジ/DSCN0001.JPG", false},
                                                      {"auto/旧コンデジ写真/a.jpg", false},
                                                      {"jpg/DSLR/2010-05-01/IMGP0008.JPG", true},
                                                      {"jpg/コンデジ/CIMG0001.JPG", false},
                                                      {"jpg/IMGP0009.JPG", false}};
    for (const auto& [path, gone] : old_files)
        DatedFile(tmp / path, "x", {2010, 4, 30});
    EXPECT_EQ(DeleteOldFiles(tmp / "auto", 14, tmp / "jpg", kToday), 5);
    EXPECT_FALSE(fs::exists(last_day));
    EXPECT_TRUE(fs::exists(next_day));
    for (const auto& [path, gone] : old_files)
        EXPECT_NE(fs::exists(tmp / path), gone) << path;
    EXPECT_TRUE(fs::is_directory(tmp / "jpg/DSLR/2010-05-01"));  // folders stay
}

TEST(DeleteOldFiles, ZeroDaysTakesEverythingBeforeTodayAndNoFolderTurnsItOff) {
    TempDir tmp;
    const std::string yesterday = DatedFile(tmp / "a/DSLR/a.jpg", "x", {2010, 5, 19, 23, 59, 59});
    const std::string today = DatedFile(tmp / "a/DSLR/b.jpg", "x", {2010, 5, 20});
    EXPECT_EQ(DeleteOldFiles("", 0, tmp / "a", kToday), 0);  // the DSLR folder included
    EXPECT_EQ(DeleteOldFiles(tmp / "missing", 0, tmp / "a", kToday), 0);
    EXPECT_TRUE(fs::exists(yesterday));
    EXPECT_EQ(DeleteOldFiles(tmp / "a", 0, "", kToday), 1);
    EXPECT_FALSE(fs::exists(yesterday));
    EXPECT_TRUE(fs::exists(today));
}

}  // namespace
}  // namespace pelko::test
