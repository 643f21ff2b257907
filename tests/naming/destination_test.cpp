#include "naming/destination.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "common/test_util.h"

namespace pelko {
namespace {

namespace fs = std::filesystem;

constexpr DateTime kShot{2009, 4, 10, 12, 45, 10, 0};

class BuildDestinationTest : public ::testing::Test {
  protected:
    // A source file on a temporary card with the modification time `at`.
    std::string Source(const std::string& name, const DateTime& at = kShot) {
        const std::string path = dir_ / ("card/" + name);
        test::WriteFile(path, "x");
        test::SetMTime(path, at.year, at.month, at.day, at.hour, at.minute, at.second);
        return path;
    }

    DestinationResult Build(const std::string& path) {
        const std::string name = path.substr(path.rfind('/') + 1);
        const std::size_t dot = name.rfind('.');
        return BuildDestination(context_,
                                {path, dot == name.npos ? "" : name.substr(dot), base_, {}});
    }

    void SetUp() override {
        context_.state.last_copy_cutoff = context_.state.newest_file_date = "2000/01/01 00:00:00";
        // The EXIF date of a file is exif_dates_[path]; a file not listed has no EXIF block.
        context_.exif_date_reader = [this](const std::string& file) -> std::optional<std::string> {
            return exif_dates_.contains(file) ? std::optional(exif_dates_[file]) : std::nullopt;
        };
    }

    test::TempDir dir_;
    const std::string base_ = dir_ / "dest";
    NamingContext context_;
    std::map<std::string, std::string> exif_dates_;
};

TEST_F(BuildDestinationTest, FolderModes) {
    // Mode, folder text, sub-folder below the base folder (empty: the base folder itself).
    const std::tuple<int, std::string, std::string> cases[] = {
        {kFolderModeNone, "旅行", ""},
        {kFolderModeUser, "%Dyymmdd", "090410"},
        {kFolderModeUser, "  ", ""},
        {kFolderModeUser, "%Wa:b", "ab"},
        {kFolderModeUser, "%Pxx", "%Pxx"},  // neither %D nor %W: taken literally
        {kFolderModeUserFormat, "%Dyymmdd", "090410"},
        {kFolderModeUserFormat, "abc", ""},  // evaluates to nothing
        {kFolderModeYear, "", "2009"},
        {kFolderModeYearMonth, "", "2009-04"},
        {kFolderModeYearMonthDay, "", "2009-04-10"},
        {17, "", ""},  // a stored index out of range acts as "nothing"
        // Nothing leads outside the destination root.
        {kFolderModeUser, "../../esc1", "esc1"},
        {kFolderModeUser, "/etc/cron.d", "etc/cron.d"},
        {kFolderModeUser, "a/./b//../c", "a/b/c"},
        {kFolderModeUser, "..", ""},
        {kFolderModeUserFormat, "%W..", ""},
        {kFolderModeUser, "旅\x01行\x7F/\t", "旅行"},
        {kFolderModeUserFormat, "%C", "K10D\xEF\xBF\xBD"},  // the model with its control bytes
    };
    context_.model_name = [](const std::string&) { return std::string("K1\0330D\n\xFF"); };
    const std::string source = Source("IMGP0123.JPG");
    for (const auto& [mode, text, sub_folder] : cases) {
        context_.settings.folder_mode = mode;
        context_.settings.user_folder = text;
        const DestinationResult r = Build(source);
        const std::string folder = sub_folder.empty() ? base_ : base_ + "/" + sub_folder;
        EXPECT_EQ(r.dest_path, folder + "/IMGP0123.JPG") << mode << " " << text;
        EXPECT_EQ(r.folder, folder);
        EXPECT_TRUE(r.folder_ready && fs::is_directory(folder)) << folder;
    }
    // A dry run works the folder out without creating it.
    context_.create_folders = false;
    context_.settings.folder_mode = kFolderModeYearMonthDay;
    const DestinationResult r = Build(Source("NEXT.JPG", {2010, 1, 2, 3, 4, 5, 0}));
    EXPECT_EQ(r.dest_path, base_ + "/2010-01-02/NEXT.JPG");
    EXPECT_FALSE(r.folder_ready || fs::exists(base_ + "/2010-01-02"));
}

TEST_F(BuildDestinationTest, FileNameModes) {
    // Mode, source name, user format, file name.
    const std::tuple<int, std::string, std::string, std::string> cases[] = {
        {kFileNameModeOriginal, "IMGP0123.JPG", "", "IMGP0123.JPG"},
        {kFileNameModeUserFormat, "IMGP0123.JPG", "%P-Num%N", "IMGP-Num0123.JPG"},
        {kFileNameModeUserFormat, "IMGP0123.JPG", " \t ", "IMGP0123.JPG"},
        {kFileNameModeDateTimeNumber, "IMGP0123.JPG", "", "20090410-124510-0123.JPG"},
        {kFileNameModeDateTime, "IMGP0123.JPG", "", "20090410-124510.JPG"},
        {kFileNameModeOriginalDateTime, "IMGP0123.jpg", "", "IMGP0123-20090410-124510.jpg"},
        {kFileNameModeDateTimeNumberPrefix, "IMGP0123.JPG", "", "20090410-124510-0123_IMGP.JPG"},
        // Prefix and number are units 1-4 and 5-8 of the whole name, extension included.
        {kFileNameModeDateTimeNumber, "A.JPG", "", "20090410-124510-G.JPG"},
        {kFileNameModeOriginalDateTime, "A.JPG", "", "A.JPG-20090410-124510.JPG"},
        {kFileNameModeDateTimeNumberPrefix, "A.JPG", "", "20090410-124510-G_A.JP.JPG"},
        {kFileNameModeOriginalDateTime, "撮影写真の123.JPG", "", "撮影写真-20090410-124510.JPG"},
        // Generated names hold no control characters or broken text; original names stay.
        {kFileNameModeUserFormat, "IMGP0123.JPG", "%C-%N", "K20D\xEF\xBF\xBD-0123.JPG"},
        {kFileNameModeDateTimeNumberPrefix, "I\tM\0330123.JPG", "", "20090410-124510-0123_IM.JPG"},
        {kFileNameModeOriginalDateTime, "IM\xFFP0123.JPG", "",
         "IM\xEF\xBF\xBDP012-20090410-124510.JPG"},
        {kFileNameModeOriginal, "I\tMGP0123.JPG", "", "I\tMGP0123.JPG"},
        // A generated name never leads out of its folder.
        {kFileNameModeUserFormat, "README", "%W..", "README"},
        {kFileNameModeUserFormat, "README", "%W.", "README"},
        {kFileNameModeUserFormat, "README", "%W\x01", "README"},
    };
    context_.model_name = [](const std::string&) { return std::string("K\t20D\x1B\xC2\x9B\xFF"); };
    for (const auto& [mode, source, format, expected] : cases) {
        context_.settings.file_name_mode = mode;
        context_.settings.user_format = format;
        const DestinationResult r = Build(Source(source));
        EXPECT_EQ(r.file_name, expected) << mode << " " << source;
        EXPECT_EQ(r.dest_path, base_ + "/" + expected);
    }
}

TEST_F(BuildDestinationTest, DateNameTriesTheNumberedNameOnce) {
    context_.settings.file_name_mode = kFileNameModeDateTime;
    EXPECT_EQ(Build(Source("IMGP0123.JPG")).file_name, "20090410-124510.JPG");
    test::WriteFile(base_ + "/20090410-124510.JPG", "first");
    EXPECT_EQ(Build(Source("IMGP0124.JPG")).file_name, "20090410-124510-0124.JPG");
    test::WriteFile(base_ + "/20090410-124510-0124.JPG", "second");
    // The third collision is left to the caller's same-name check.
    EXPECT_EQ(Build(Source("IMGP0124.JPG")).file_name, "20090410-124510-0124.JPG");
}

TEST_F(BuildDestinationTest, SkipsOnlyFilesOlderThanTheCutoff) {
    context_.settings.skip_older = true;
    context_.settings.folder_mode = kFolderModeYear;
    context_.state.last_copy_cutoff = context_.state.newest_file_date = "2009/04/10 12:45:10";
    context_.state.current_shot_date = "2020/01/01";

    const DestinationResult older = Build(Source("OLD.JPG", {2009, 4, 10, 12, 45, 9, 0}));
    EXPECT_TRUE(older.Skipped() && older.dest_path.empty());
    EXPECT_FALSE(fs::exists(base_)) << "no folder for a skipped file";
    EXPECT_EQ(context_.state.current_shot_date, "2020/01/01");

    EXPECT_EQ(Build(Source("SAME.JPG")).dest_path, base_ + "/2009/SAME.JPG");  // equal: copied
    EXPECT_EQ(context_.state.current_shot_date, "2009/04/10");
    Build(Source("NEW.JPG", {2009, 5, 1, 8, 0, 0, 0}));
    Build(Source("MID.JPG", {2009, 4, 20, 8, 0, 0, 0}));
    EXPECT_EQ(context_.state.newest_file_date, "2009/05/01 08:00:00");  // only ever raised
    EXPECT_EQ(context_.state.current_shot_date, "2009/04/20");

    context_.settings.skip_older = false;
    EXPECT_FALSE(Build(Source("OLD.JPG", {2001, 1, 1, 0, 0, 0, 0})).Skipped());
}

TEST_F(BuildDestinationTest, ChoosesTheExifDateForJpgOnly) {
    const DateTime exif{2008, 3, 2, 12, 1, 23, 0};
    const DateTime unreadable{2000, 1, 1, 0, 0, 0, 0};
    // Name, EXIF date (nothing: no EXIF block), the EXIF date option, the date chosen.
    const std::tuple<std::string, std::optional<std::string>, bool, DateTime> cases[] = {
        {"A.JPG", "2008:03:02 12:01:23", true, exif},
        {"B.jpg", "2008:03:02 12:01:23", true, exif},
        {"C.JPEG", "2008:03:02 12:01:23", true, kShot},
        {"D.JPG", "2008:03:02 12:01:23", false, kShot},
        {"E.JPG", std::nullopt, true, kShot},
        {"F.JPG", "", true, unreadable},
        {"H.JPG", "    :  :     :  :  ", true, unreadable},
        {"I.JPG", "2009:02:29 10:00:00", true, unreadable},
        {"L.JPG", "2009:04:10", true, {2009, 4, 10, 0, 0, 0, 0}},
        {"M.JPG", "1990:01:01 00:00:29", true, kShot},  // an unset camera clock
        {"N.JPG", "1990:01:01 00:00:30", true, {1990, 1, 1, 0, 0, 30, 0}},
        {"O.PEF", "2008:03:02 12:01:23", true, kShot},
    };
    for (const auto& [name, exif_date, option, expected] : cases) {
        const std::string path = Source(name);
        if (exif_date) exif_dates_[path] = *exif_date;
        context_.settings.exif_date = option;
        EXPECT_EQ(Build(path).file_date, expected) << name;
    }
    // A missing file is dated zero; a time stamp the caller read already is used as it is.
    EXPECT_EQ(Build(dir_ / "card/MISSING.PEF").file_date, DateTime{});
    const DestinationRequest stamped{dir_ / "card/MISSING.PEF", ".PEF", base_, kShot};
    EXPECT_EQ(BuildDestination(context_, stamped).file_date, kShot);
    // The built-in reader, on a real picture.
    context_.exif_date_reader = nullptr;
    if (const std::string samples = test::SamplesDir(); !samples.empty()) {
        EXPECT_EQ(Build(samples + "/jpeg/exiftool__Pentax_K10D.jpg").file_date, exif);
    }
}

}  // namespace
}  // namespace pelko
