#include "copy/delete_old_files.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "common/test_util.h"

namespace pelko {
namespace {

namespace fs = std::filesystem;
using test::SetMTime;
using test::TempDir;
using test::WriteFile;

TEST(DeleteOldFiles, CandidateRule) {
    struct Case {
        const char* path;
        bool candidate;
    };
    const Case cases[] = {
        {"/x/IMGP0001.JPG", true},          {"/x/IMGP0001.pef", true},
        {"/x/IMGP0001.DNG", true},          {"/x/IMGP0001.XMP", true},
        {"/x/IMGP0001.JPEG", false},        {"/x/IMGP0001.MOV", false},
        {"/x/SILKYPIX_DS/a.spi", false},    {"/x/コンデジ/DSCN0001.JPG", false},
        {"/x/旧コンデジ写真/a.jpg", false}, {"/x/noext", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDeleteCandidate(c.path), c.candidate) << c.path;
}

class DeleteOldFilesTest : public ::testing::Test {
  protected:
    std::string File(const std::string& relative, int month, int day) {
        const std::string path = tmp / relative;
        WriteFile(path, "x");
        SetMTime(path, 2010, month, day, 23, 59, 59);
        return path;
    }
    TempDir tmp;
    const DateTime today{2010, 5, 20, 8, 30, 0, 0};
};

TEST_F(DeleteOldFilesTest, DeletesFilesDatedBeforeTheLimitDay) {
    const std::string gone = File("auto/a/IMGP0001.JPG", 5, 5);
    const std::string kept = File("auto/a/IMGP0002.JPG", 5, 6);
    const std::string xmp = File("auto/IMGP0003.XMP", 4, 1);
    const std::string jpeg = File("auto/IMGP0004.JPEG", 4, 1);
    const std::string compact = File("auto/コンデジ/DSCN0001.JPG", 4, 1);
    const std::string dslr = File("jpg/DSLR/2010-05-01/IMGP0005.JPG", 4, 30);
    const std::string compact_dest = File("jpg/コンデジ/CIMG0001.JPG", 4, 30);
    const std::string outside = File("jpg/IMGP0006.JPG", 4, 30);

    EXPECT_EQ(DeleteOldFiles(tmp / "auto", 14, tmp / "jpg", today), 3);
    for (const auto& p : {gone, xmp, dslr})
        EXPECT_FALSE(fs::exists(p)) << p;
    for (const auto& p : {kept, jpeg, compact, compact_dest, outside}) {
        EXPECT_TRUE(fs::exists(p)) << p;
    }
    EXPECT_TRUE(fs::is_directory(tmp / "jpg/DSLR/2010-05-01"));  // folders stay
}

TEST_F(DeleteOldFilesTest, ZeroDaysTakesEverythingBeforeToday) {
    const std::string yesterday = File("auto/a.jpg", 5, 19);
    const std::string now = tmp / "auto/b.jpg";
    WriteFile(now, "x");
    SetMTime(now, 2010, 5, 20, 0, 0, 0);
    EXPECT_EQ(DeleteOldFiles(tmp / "auto", 0, "", today), 1);
    EXPECT_FALSE(fs::exists(yesterday));
    EXPECT_TRUE(fs::exists(now));
}

TEST_F(DeleteOldFilesTest, MissingFolderTurnsTheWholeCleanUpOff) {
    const std::string dslr = File("jpg/DSLR/IMGP0001.JPG", 1, 1);
    EXPECT_EQ(DeleteOldFiles("", 14, tmp / "jpg", today), 0);
    EXPECT_EQ(DeleteOldFiles(tmp / "missing", 14, tmp / "jpg", today), 0);
    EXPECT_TRUE(fs::exists(dslr));
}

}  // namespace
}  // namespace pelko
