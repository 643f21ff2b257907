#include "naming/model_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_util.h"
#include "exif/exif_block_builder.h"
#include "naming/camera_model.h"
#include "support/ini_file.h"

namespace pelko {
namespace {

// A K20D picture against the default alias table: the check, an empty alias stored, and aliases
// typed by a user that must not reach beyond their own key.
TEST(ModelCheck, ReportsAndStoresAliases) {
    test::TempDir dir;
    ASSERT_TRUE(WriteModelAliasFile(dir.str()));
    test::ExifBlockBuilder exif(false);
    exif.Ascii(0, 0x0110, "PENTAX K20D");
    const std::string file = dir / "card/IMGP0123.JPG";
    test::WriteFile(file, exif.Jpeg());
    NamingSettings settings;
    settings.folder_mode = kFolderModeYear;
    settings.file_name_mode = kFileNameModeUserFormat;
    settings.user_format = "%C_%N";
    const ModelCheck check = CheckModel(file, settings, {}, dir.str());
    EXPECT_EQ(check.sample, "K20D_0123.JPG");
    EXPECT_EQ(check.model, "PENTAX K20D");
    EXPECT_EQ(check.alias, "K20D");
    const std::string message = ModelCheckMessage(check);
    EXPECT_TRUE(message.starts_with("■転送後ファイル名のサンプル\r\n　　[　K20D_0123.JPG　]\r\n" +
                                    std::string(60, '-')));
    EXPECT_NE(message.find("■別名登録済\r\n　　[　K20D　]\r\n\r\nモデル名の名称を変更しますか？"),
              std::string::npos);
    // Nothing is made beside the pictures.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "card"), {}), 1);

    // An empty alias makes %C insert nothing, at once.
    EXPECT_EQ(StoreModelAlias(dir.str(), check.model, "  "), AliasStoreOutcome::kStored);
    EXPECT_EQ(GetModelName(file, {dir.str()}), "");
    EXPECT_EQ(CheckModel(file, settings, {}, dir.str()).sample, "_0123.JPG");

    using O = AliasStoreOutcome;
    const std::tuple<std::string, std::string, O> cases[] = {
        {"PENTAX K20D", "K=20[D]", O::kStored},  // read back as typed
        {"PENTAX K20D", "a\r\n[Camera2]\r\nx=y", O::kControl},
        {"PENTAX K20D", std::string(5000, 'a'), O::kTooLong},
        {"[Sec]", "x", O::kBadModel},
        {"a=b", "x", O::kBadModel},
    };
    for (const auto& [model, alias, outcome] : cases) {
        EXPECT_EQ(StoreModelAlias(dir.str(), model, alias), outcome) << alias;
    }
    EXPECT_EQ(GetModelName(file, {dir.str()}), "K=20[D]");
    EXPECT_EQ(IniFile(dir / "ChangeModelName.txt").ReadSections(),
              std::vector<std::string>{"Camera"});
    EXPECT_EQ(StoreModelAlias(dir / "none", "M", "x"), O::kNoTable);
}

}  // namespace
}  // namespace pelko
