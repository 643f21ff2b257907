#include "naming/naming_samples.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

TEST(NamingSamples, EachModeShowsItsSampleOrDescription) {
    const DateTime now{2009, 4, 10, 16, 24, 49, 0};
    const ModelNameLookup model = [](const std::string& file) {
        return file == "IMGP0123.JPG" ? std::string("K20D") : std::string("?");
    };
    struct Row {
        int folder_mode;
        const char* user_folder;
        int name_mode;
        const char* user_format;
        std::string folder, file;
    };
    const std::string folder_sample(kFolderSamplePrefix), file_sample(kFileSamplePrefix);
    const Row rows[] = {
        // The window's tests hold a user folder and format, and mode 1's description.
        {0, "", 1, "%T(22,4)", "指定フォルダへコピーします", file_sample + "TrimError.JPG"},
        {5, "", 1, "%C_%N", "指定フォルダへ年-月-日のフォルダを作成してコピーします",
         file_sample + "K20D_0123.JPG"},
        // Text outside the codes is no part of the name, and "/" cannot be in one.
        {2, "../%Dyyyy/x", 2, "", folder_sample + "2009x", "20090410-162449-0123.JPG"},
    };
    for (const Row& row : rows) {
        NamingSettings settings;
        settings.folder_mode = row.folder_mode;
        settings.user_folder = row.user_folder;
        settings.file_name_mode = row.name_mode;
        settings.user_format = row.user_format;
        const NamingSamples samples = MakeNamingSamples(settings, now, model);
        EXPECT_EQ(samples.folder, row.folder) << row.user_folder;
        EXPECT_EQ(samples.file, row.file) << row.user_format;
    }
}

}  // namespace
}  // namespace pelko
