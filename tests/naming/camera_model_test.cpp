#include "naming/camera_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "common/test_util.h"
#include "exif/exif_block_builder.h"
#include "support/ini_file.h"
#include "support/text.h"

namespace pelko {
namespace {

using M = TRawMaker;

TEST(CameraModel, RawReadersFollowTheirMakersRules) {
    using namespace std::string_literals;
    const std::tuple<M, std::string, std::string> cases[] = {
        // The model starts at the first PENTAX, so a maker text before it is taken along.
        {M::rmPentax, "\0\0PENTAX Corporation\0PENTAX K10D\0\0 H \0"s,
         "PENTAX Corporation PENTAX K10D"},
        {M::rmPentax, "\0\0PENTAX K-3 II\0\0\0"s, "PENTAX RAW FILE"},  // no " H "
        {M::rmPentax, "nothing here"s, "PENTAX RAW FILE"},
        {M::rmNikon, "II*\0\0\0\0\0NIKON CORPORATION\0NIKON D70\0\0,\0"s, "NIKON D70"},
        {M::rmNikon, "NIKON CORPORATION\0,NIKON D70"s, "NIKON RAW FILE"},  // "," first
        {M::rmNikon, "NIKON CORPORATION\0NIKON D70"s, "NIKON RAW FILE"},   // no ","
        // The Canon model ends with its string, not with the stretch.
        {M::rmCanon, "II*\0Canon\0Canon EOS 5D\0\0\0002008:01:01 \x01\x02"s, "Canon EOS 5D"},
        {M::rmCanon, "\0\0\0\0\0EOS \xC3\xA9/1D\0"s, "EOS 1D"},  // bytes above 126 and "/" dropped
        {M::rmSony, "\0\0SONY\0DSLR-A100\0 H \0"s, "SONY DSLR-A100"},
        {M::rmSony, "\0\0SONY\0DSLR-A330\0\0"s, "SONY "},  // no " H ": the bare prefix
        {M::rmSony, "\0\0SONY\0ILCE-7M3\0\0"s, "SONY RAW FILE"},
        {M::rmOlympus, "IIRO\0OLYMPUS IMAGING CORP.\0E-3\0\0Version"s, "OLYMPUS E-3"},
        {M::rmOlympus, "IIRO\0OLYMPUS IMAGING CORP.\0E-3"s, "OLYMPUS "},
        {M::rmCanon, ""s, "CANON RAW FILE"},
    };
    for (const auto& [maker, header, model] : cases)
        EXPECT_EQ(RawModelFromHeader(maker, header), model) << header;
}

TEST(CameraModel, RawSamples) {
    const std::string dir = test::SamplesDir();
    if (dir.empty()) GTEST_SKIP() << "camera samples not found (PELKO_SAMPLES_DIR)";
    // Modern files put their strings elsewhere; the readers fall back as the format help warns.
    const std::pair<const char*, const char*> cases[] = {
        {"raw/exiftool__Canon_350D.cr2", "Canon EOS 350D DIGITAL"},
        {"raw/exiftool__Nikon_D70.nef", "NIKON D70"},
        {"raw/imagemeta-bep__jolstravatnet_PENTAX_K-3_II.pef", "PENTAX RAW FILE"},
        {"raw/imagemeta-bep__sample_Sony_A330.arw", "SONY "},
        {"raw/exiftool__Canon_350D.dng", "不明"},
        {"jpeg/mei__Issue_122_Canon_EOS-1D.jpg", "不明"},  // APP1 beyond the search range
    };
    for (const auto& [file, model] : cases)
        EXPECT_EQ(GetModelName(dir + "/" + file, {}), model) << file;
}

class CameraModelAlias : public ::testing::Test {
  protected:
    std::string Model(const std::string& file) { return GetModelName(file, aliases_); }
    std::string Alias(const std::string& model,
                      TMissingAliasTable missing = TMissingAliasTable::matNone) {
        return ApplyModelAlias(model, {home_.str(), missing});
    }
    // A JPEG whose IFD0 holds only Model.
    std::string JpegWithModel(const std::string& model) {
        test::ExifBlockBuilder b(false);
        b.Ascii(0, 0x0110, model);
        const std::string file = home_ / ("m" + std::to_string(++files_) + ".jpg");
        test::WriteFile(file, b.Jpeg());
        return file;
    }
    test::TempDir home_;
    // The model tool finds its application folder as the program does, from the environment.
    test::ScopedEnv env_{"PELKOCOPY_HOME", home_.str()};
    ModelAliasSource aliases_{home_.str()};
    int files_ = 0;
};

TEST_F(CameraModelAlias, DefaultTableEditsCommandAndTheTableInMemory) {
    const std::string k20d = JpegWithModel("PENTAX K20D");
    EXPECT_EQ(Model(k20d), "PENTAX K20D");  // no table yet
    ASSERT_TRUE(WriteModelAliasFile(home_.str()));
    EXPECT_EQ(Model(k20d), "K20D");
    EXPECT_EQ(GetModelName(k20d, {}), "PENTAX K20D");
    std::string out;
    EXPECT_EQ(test::RunCli("model " + k20d + " " + (home_ / "none.pef") + " 2>/dev/null", &out), 1);
    EXPECT_EQ(out, "K20D\nPENTAX RAW FILE\n");
    EXPECT_EQ(test::RunCli("model --no-alias " + k20d, &out), 0);
    EXPECT_EQ(out, "PENTAX K20D\n");

    // The user's own table is never rewritten; an empty alias gives an empty model, and "不明"
    // can carry an alias too, filtered as every name is.
    test::WriteFile(home_ / "ChangeModelName.txt",
                    "[Camera]\r\nPENTAX K20D=\r\n不明=\x1B[2J?不明\x7F\r\n");
    ASSERT_TRUE(WriteModelAliasFile(home_.str()));
    EXPECT_EQ(Model(k20d), "");
    EXPECT_EQ(Model(home_ / "IMGP0123.JPEG"), "[2J不明");
    EXPECT_EQ(Model(JpegWithModel(" A/B ")), "AB");
    EXPECT_EQ(Model(home_ / "missing.pef"), "PENTAX RAW FILE");

    // The table in memory gives what an ini read of the file gives, and follows its changes.
    const std::string path = home_ / "ChangeModelName.txt";
    test::WriteFile(path,
                    "[Other]\r\nPENTAX K10D=wrong\r\n[camera]\r\n  pentax k10d  = K10D \r\n"
                    "PENTAX K10D=second\r\nQuoted=\"  q  \"\r\n; PENTAX K20D=comment\r\n"
                    "Empty=\r\n[Camera]\r\nLate=never\r\n");
    for (const std::string model :
         {"PENTAX K10D", "pentax K10D", "Quoted", "PENTAX K20D", "Empty", "Late", "不明", ""}) {
        // Model texts lose surrounding blanks as every name does.
        EXPECT_EQ(Alias(model), TrimControl(IniFile(path).ReadString("Camera", model, model)))
            << model;
    }
    EXPECT_EQ(Alias("PENTAX K10D"), "K10D");

    // An edit is seen at the next lookup, even within the same second and at the same size.
    test::WriteFile(path, "[Camera]\r\nPENTAX K10D=K-10\r\n");
    EXPECT_EQ(Alias("PENTAX K10D"), "K-10");
    test::WriteFile(path, "[Camera]\r\nPENTAX K10D=K-11\r\n");
    EXPECT_EQ(Alias("PENTAX K10D"), "K-11");

    // Without the file: no alias, or in a dry run the lines the real run would write first.
    std::filesystem::remove(path);
    EXPECT_EQ(Alias("PENTAX K10D"), "PENTAX K10D");
    EXPECT_EQ(Alias("PENTAX K10D", TMissingAliasTable::matBuiltIn), "K10D");
    EXPECT_EQ(Alias("COOLPIX S600", TMissingAliasTable::matBuiltIn), "S600");
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace pelko
