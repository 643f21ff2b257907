#include "naming/destination.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "common/test_util.h"

namespace pelko {
namespace {

namespace fs = std::filesystem;

constexpr DateTime kShot{2009, 4, 10, 12, 45, 10, 0};

class BuildDestinationTest : public ::testing::Test {
  protected:
    // A source file on a temporary card, dated kShot, whose EXIF date is exif_dates_[path].
    std::string Source(const std::string& name, const DateTime& stamp = kShot) {
        const std::string path = dir_ / ("card/" + name);
        test::WriteFile(path, "x");
        test::SetMTime(path, stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute,
                       stamp.second);
        return path;
    }

    DestinationResult Build(const std::string& path) {
        const std::size_t dot = path.rfind('.');
        DestinationRequest request{path, path.substr(dot), Base(), std::nullopt};
        return BuildDestination(context_, request);
    }

    std::string Base() const { return dir_ / "dest"; }

    void SetUp() override {
        context_.state.last_copy_cutoff = "2000/01/01 00:00:00";
        context_.state.newest_file_date = "2000/01/01 00:00:00";
        context_.exif_date_reader = [this](const std::string& file) -> std::optional<std::string> {
            const auto it = exif_dates_.find(file);
            if (it == exif_dates_.end()) return std::nullopt;
            return it->second;
        };
    }

    test::TempDir dir_;
    NamingContext context_;
    std::map<std::string, std::string> exif_dates_;
};

TEST_F(BuildDestinationTest, FolderModes) {
    struct Case {
        int mode;
        std::string text;
        std::string sub_folder;  // below the base folder; empty: the base folder itself
    };
    const Case cases[] = {
        {kFolderModeNone, "旅行", ""},
        {kFolderModeUser, "旅行", "旅行"},
        {kFolderModeUser, "%Dyymmdd", "090410"},
        {kFolderModeUser, "ここへ作成するフォルダ名を入力して下さい",
         "ここへ作成するフォルダ名を入力して下さい"},
        {kFolderModeUser, "  ", ""},
        {kFolderModeUser, "%Wa:b", "ab"},
        {kFolderModeUser, "%Pxx", "%Pxx"},  // neither %D nor %W: taken literally
        {kFolderModeUserFormat, "%Dyymmdd", "090410"},
        {kFolderModeUserFormat, "abc", ""},  // evaluates to nothing
        {kFolderModeYear, "", "2009"},
        {kFolderModeYearMonth, "", "2009-04"},
        {kFolderModeYearMonthDay, "", "2009-04-10"},
        {17, "", ""},  // a stored index out of range acts as "nothing"
    };
    const std::string source = Source("IMGP0123.JPG");
    for (const auto& c : cases) {
        context_.settings.folder_mode = c.mode;
        context_.settings.user_folder = c.text;
        const DestinationResult r = Build(source);
        const std::string folder = c.sub_folder.empty() ? Base() : Base() + "/" + c.sub_folder;
        EXPECT_EQ(r.folder, folder) << c.mode << " " << c.text;
        EXPECT_EQ(r.dest_path, folder + "/IMGP0123.JPG");
        EXPECT_TRUE(r.folder_ready);
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
    }
}

TEST_F(BuildDestinationTest, FileNameModes) {
    struct Case {
        int mode;
        std::string source;
        std::string expected;
        std::string format = "";
    };
    const Case cases[] = {
        {kFileNameModeOriginal, "IMGP0123.JPG", "IMGP0123.JPG"},
        {kFileNameModeUserFormat, "IMGP0123.JPG", "IMGP-Num0123.JPG", "%P-Num%N"},
        {kFileNameModeUserFormat, "IMGP0123.JPG", "IMGP0123.JPG", " \t "},
        {kFileNameModeUserFormat, "IMGP0123.JPG", ".JPG", "abc"},
        {kFileNameModeDateTimeNumber, "IMGP0123.JPG", "20090410-124510-0123.JPG"},
        {kFileNameModeDateTime, "IMGP0123.JPG", "20090410-124510.JPG"},
        {kFileNameModeOriginalDateTime, "IMGP0123.jpg", "IMGP0123-20090410-124510.jpg"},
        {kFileNameModeDateTimeNumberPrefix, "IMGP0123.JPG", "20090410-124510-0123_IMGP.JPG"},
        // Prefix and number are units 1-4 and 5-8 of the whole name, extension included.
        {kFileNameModeDateTimeNumber, "A.JPG", "20090410-124510-G.JPG"},
        {kFileNameModeOriginalDateTime, "A.JPG", "A.JPG-20090410-124510.JPG"},
        {kFileNameModeDateTimeNumberPrefix, "A.JPG", "20090410-124510-G_A.JP.JPG"},
        {kFileNameModeOriginalDateTime, "撮影写真の123.JPG", "撮影写真-20090410-124510.JPG"},
    };
    for (const auto& c : cases) {
        context_.settings.file_name_mode = c.mode;
        context_.settings.user_format = c.format;
        const DestinationResult r = Build(Source(c.source));
        EXPECT_EQ(r.file_name, c.expected) << c.mode << " " << c.source;
        EXPECT_EQ(r.dest_path, Base() + "/" + c.expected);
    }
}

TEST_F(BuildDestinationTest, DateNameTriesTheNumberedNameOnce) {
    context_.settings.file_name_mode = kFileNameModeDateTime;
    EXPECT_EQ(Build(Source("IMGP0123.JPG")).file_name, "20090410-124510.JPG");
    test::WriteFile(Base() + "/20090410-124510.JPG", "first");
    EXPECT_EQ(Build(Source("IMGP0124.JPG")).file_name, "20090410-124510-0124.JPG");
    test::WriteFile(Base() + "/20090410-124510-0124.JPG", "second");
    // The third collision is left to the caller's same-name check.
    EXPECT_EQ(Build(Source("IMGP0124.JPG")).file_name, "20090410-124510-0124.JPG");
}

TEST_F(BuildDestinationTest, SkipsOnlyFilesOlderThanTheCutoff) {
    context_.settings.skip_older = true;
    context_.settings.folder_mode = kFolderModeYear;
    context_.state.last_copy_cutoff = "2009/04/10 12:45:10";
    context_.state.newest_file_date = "2009/04/10 12:45:10";
    context_.state.current_shot_date = "2020/01/01";

    const DestinationResult older = Build(Source("OLD.JPG", {2009, 4, 10, 12, 45, 9, 0}));
    EXPECT_TRUE(older.Skipped());
    EXPECT_EQ(older.dest_path, "");
    EXPECT_FALSE(fs::exists(Base())) << "no folder for a skipped file";
    EXPECT_EQ(context_.state.current_shot_date, "2020/01/01");

    const DestinationResult equal = Build(Source("SAME.JPG"));
    EXPECT_FALSE(equal.Skipped());
    EXPECT_EQ(equal.dest_path, Base() + "/2009/SAME.JPG");
    EXPECT_EQ(context_.state.current_shot_date, "2009/04/10");

    Build(Source("NEW.JPG", {2009, 5, 1, 8, 0, 0, 0}));
    EXPECT_EQ(context_.state.newest_file_date, "2009/05/01 08:00:00");
    Build(Source("MID.JPG", {2009, 4, 20, 8, 0, 0, 0}));
    EXPECT_EQ(context_.state.newest_file_date, "2009/05/01 08:00:00");
    EXPECT_EQ(context_.state.current_shot_date, "2009/04/20");

    context_.settings.skip_older = false;
    EXPECT_FALSE(Build(Source("OLD.JPG", {2001, 1, 1, 0, 0, 0, 0})).Skipped());
}

TEST_F(BuildDestinationTest, ChoosesTheExifDateForJpgOnly) {
    struct Case {
        std::string name;
        std::optional<std::string> exif;  // nothing: no EXIF block
        bool option;
        DateTime expected;
    };
    const DateTime exif{2008, 3, 2, 12, 1, 23, 0};
    const DateTime unreadable{2000, 1, 1, 0, 0, 0, 0};
    const Case cases[] = {
        {"A.JPG", "2008:03:02 12:01:23", true, exif},
        {"B.jpg", "2008:03:02 12:01:23", true, exif},
        {"C.JPEG", "2008:03:02 12:01:23", true, kShot},
        {"D.JPG", "2008:03:02 12:01:23", false, kShot},
        {"E.JPG", std::nullopt, true, kShot},
        {"F.JPG", "", true, unreadable},
        {"G.JPG", "2008:13:02 12:01:23", true, unreadable},
        {"H.JPG", "    :  :     :  :  ", true, unreadable},
        {"I.JPG", "1990:01:01 00:00:29", true, kShot},  // an unset camera clock
        {"J.JPG", "1990:01:01 00:00:30", true, {1990, 1, 1, 0, 0, 30, 0}},
        {"K.PEF", "2008:03:02 12:01:23", true, kShot},
    };
    for (const auto& c : cases) {
        const std::string path = Source(c.name);
        if (c.exif) exif_dates_[path] = *c.exif;
        context_.settings.exif_date = c.option;
        EXPECT_EQ(Build(path).file_date, c.expected) << c.name;
    }
    // A file that cannot be found is dated at the zero date-time.
    EXPECT_EQ(Build(dir_ / "card/MISSING.PEF").file_date, DateTime{});
    // A time stamp the caller read already is used as it is.
    DestinationRequest request{dir_ / "card/MISSING.PEF", ".PEF", Base(), kShot};
    EXPECT_EQ(BuildDestination(context_, request).file_date, kShot);
}

TEST(ExifTextToDateTime, ParsesTheExifFormOrFallsBack) {
    const DateTime fallback{2000, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(ExifTextToDateTime("2009:04:10 12:45:10"), (DateTime{2009, 4, 10, 12, 45, 10, 0}));
    EXPECT_EQ(ExifTextToDateTime("2009:04:10"), (DateTime{2009, 4, 10, 0, 0, 0, 0}));
    EXPECT_EQ(ExifTextToDateTime("2009:02:29 10:00:00"), fallback);
    EXPECT_EQ(ExifTextToDateTime("0000:00:00 00:00:00"), fallback);
    EXPECT_EQ(ExifTextToDateTime("2009-04-10T12:45"), fallback);
    EXPECT_EQ(ExifTextToDateTime("\xff\xfe garbage"), fallback);
}

TEST_F(BuildDestinationTest, DryRunCreatesNoFolder) {
    context_.create_folders = false;
    context_.settings.folder_mode = kFolderModeYearMonthDay;
    const DestinationResult r = Build(Source("IMGP0123.JPG"));
    EXPECT_EQ(r.dest_path, Base() + "/2009-04-10/IMGP0123.JPG");
    EXPECT_FALSE(r.folder_ready);
    EXPECT_FALSE(fs::exists(Base()));
}

TEST_F(BuildDestinationTest, ReadsTheExifDateOfARealPicture) {
    const std::string samples = test::SamplesDir();
    if (samples.empty()) GTEST_SKIP() << "camera sample files are not on this machine";
    context_.exif_date_reader = nullptr;  // the built-in reader
    context_.settings.exif_date = true;
    context_.create_folders = false;
    const DestinationResult r = Build(samples + "/jpeg/exiftool__Pentax_K10D.jpg");
    EXPECT_EQ(r.file_date, (DateTime{2008, 3, 2, 12, 1, 23, 0}));
}

}  // namespace
}  // namespace pelko
