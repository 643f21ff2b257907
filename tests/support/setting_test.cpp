#include "support/setting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "common/test_util.h"

namespace pelko {
namespace {

constexpr FormBounds kDesign{100, 120, 640, 480};
constexpr ScreenSize kScreen{1280, 1024};

class SettingTest : public ::testing::Test {
  protected:
    TSetting Make(const std::string& owner = "FrmSCFSeiri") {
        TSetting s(owner, kDesign);
        s.SetPlaces({dir_.str(), "HOST", "anna", dir_ / "config"});
        return s;
    }
    std::string File(const std::string& name) const { return dir_ / name; }

    test::TempDir dir_;
};

TEST_F(SettingTest, FileNameFollowsKindAndPath) {
    using enum TIniPathKind;
    using enum TIniFileKind;
    // path kind, file kind, argument, file name below the app folder unless absolute
    const std::tuple<TIniPathKind, TIniFileKind, std::string, std::string> cases[] = {
        {ipAppPath, fnDefault, "/x/ignored.ini", "pelkocopy.ini"},
        {ipAppPath, fnUserDefine, "", "pelkocopy.ini"},
        {ipAppPath, fnUserDefine, "/data/PelkoCopy.ini", "/data/PelkoCopy.ini"},
        {ipAppPath, fnComputerName, "", "HOST.ini"},
        {ipIniFiles, fnDefault, "", "IniFiles/pelkocopy.ini"},
        {ipIniFiles, fnUserDefine, "/data/u.ini", "/data/u.ini"},
        {ipIniFiles, fnUserName, "", "IniFiles/anna.ini"},
    };
    for (const auto& [path, kind, argument, expected] : cases) {
        TSetting s = Make();
        s.IniPath = path;
        s.IniFileKind = kind;
        s.SetIniFileName(argument);
        EXPECT_EQ(s.IniFileName(), expected[0] == '/' ? expected : File(expected)) << argument;
    }
    EXPECT_TRUE(std::filesystem::is_directory(File("IniFiles")));

    // Resolved once, by the first access.
    TSetting s = Make();
    s.IniFileKind = TIniFileKind::fnComputerName;
    s.ReadInteger("x", 0);
    s.IniFileKind = TIniFileKind::fnUserName;
    EXPECT_EQ(s.IniFileName(), File("HOST.ini"));
}

TEST_F(SettingTest, TypedValuesRoundTripWithDefaultsOnAFreshInstallAndInTheRegistryFile) {
    TSetting s = Make("FrmDCMain");
    s.IniFileKind = TIniFileKind::fnComputerName;
    EXPECT_EQ(s.ReadInteger("AutoDelDay", 14), 14);

    s.WriteInteger("AppVer", 141);
    s.WriteString("DestRaw", "/写真/RAW");
    s.WriteBool("ChkExif", true);
    s.WriteBool("ChkRemove", false);
    EXPECT_EQ(test::ReadFile(File("HOST.ini")),
              "[FrmDCMain]\r\nAppVer=141\r\nDestRaw=/写真/RAW\r\nChkExif=1\r\nChkRemove=0\r\n");
    EXPECT_EQ(s.ReadString("DESTRAW", ""), "/写真/RAW");

    // The registry choice keeps its own ini file in the config folder.
    s.SaveTo = TSaveTo::stRegistry;
    s.WriteInteger("AppVer", 4);
    EXPECT_EQ(test::ReadFile(File("config/Morvenix/pelkocopy.ini")), "[FrmDCMain]\r\nAppVer=4\r\n");
    EXPECT_EQ(s.ReadInteger("AppVer", 3), 4);
}

TEST_F(SettingTest, SaveEachModePrefixesEveryKeyWithTheComputerName) {
    TSetting each = Make();
    each.SaveEachMode = true;
    each.WriteInteger("Top", 5);
    each.SaveFormPosition({{1, 2, 300, 200}, kWindowNormal});
    EXPECT_EQ(test::ReadFile(File("pelkocopy.ini")),
              "[FrmSCFSeiri]\r\nHOST_Top=5\r\n\r\n[FrmSCFSeiri_Position]\r\nHOST_WindowState=0\r\n"
              "HOST_Top=1\r\nHOST_Left=2\r\nHOST_Width=300\r\nHOST_Height=200\r\n");
    EXPECT_EQ(each.ReadInteger("Top", 0), 5);
    EXPECT_EQ(Make().ReadInteger("Top", 0), 0);  // without the mode the key is another one
}

TEST_F(SettingTest, StoredBoundsAreKeptOnTheScreen) {
    // The _Position section's keys, and the bounds they give.
    const std::pair<const char*, FormGeometry> cases[] = {
        {"", {kDesign, kWindowNormal}},
        {"Top=10\nLeft=1500\nWidth=900\nHeight=300", {{10, 0, 900, 300}, kWindowNormal}},
        {"Top=10\nLeft=1500\nWidth=1400\nHeight=300", {{10, 0, 1280, 300}, kWindowNormal}},
        {"Top=-20\nLeft=-5\nWidth=200\nHeight=100", {{0, 0, 200, 100}, kWindowNormal}},
        // Usable height is 1024 - 27 = 997.
        {"Top=700\nLeft=0\nWidth=200\nHeight=297", {{700, 0, 200, 297}, kWindowNormal}},
        {"Top=701\nLeft=0\nWidth=200\nHeight=297", {{0, 0, 200, 297}, kWindowNormal}},
        {"Top=701\nLeft=0\nWidth=200\nHeight=1200", {{0, 0, 200, 997}, kWindowNormal}},
        {"Top=2147483647\nLeft=2147483647\nWidth=2147483647\nHeight=2147483647",
         {{0, 0, 1280, 997}, kWindowNormal}},
        {"Left=abc\nWidth=0\nHeight=-3", {kDesign, kWindowNormal}},
        {"WindowState=2\nTop=1\nLeft=2\nWidth=300\nHeight=400",
         {{1, 2, 300, 400}, kWindowMinimized}},
    };
    for (const auto& [stored, expected] : cases) {
        test::WriteFile(File("pelkocopy.ini"), std::string("[FrmSCFSeiri_Position]\n") + stored);
        EXPECT_EQ(Make().LoadFormPosition({kDesign, kWindowNormal}, kScreen), expected) << stored;
    }
}

TEST_F(SettingTest, MaximisedCloseKeepsTheNormalBoundsAndCentredFormsAreNotStored) {
    TSetting s = Make();
    s.SaveFormPosition({{50, 60, 700, 500}, kWindowNormal});
    s.SaveFormPosition({{0, 0, 1280, 997}, kWindowMaximized});
    const std::string saved = test::ReadFile(File("pelkocopy.ini"));
    EXPECT_EQ(saved,
              "[FrmSCFSeiri_Position]\r\nWindowState=1\r\nTop=50\r\nLeft=60\r\nWidth=700\r\n"
              "Height=500\r\n");
    TSetting next = Make();
    EXPECT_EQ(next.LoadFormPosition({kDesign, kWindowNormal}, kScreen),
              (FormGeometry{{50, 60, 700, 500}, kWindowMaximized}));

    // Centred forms neither load nor save the stored bounds.
    const FormBounds main_form{100, 200, 800, 600};
    const FormGeometry small{{0, 0, 400, 301}, kWindowNormal},
        wide{{0, 0, 500, 300}, kWindowNormal};
    s.FormPosition = TFormPosition::fpMainFormCenter;
    EXPECT_EQ(s.LoadFormPosition(small, kScreen, &main_form).bounds,
              (FormBounds{199, 400, 400, 301}));
    // Without a main form, and for fpScreenCenter: the screen's centre.
    const FormBounds screen_centre{241, 390, 500, 300};
    EXPECT_EQ(s.LoadFormPosition(wide, kScreen, nullptr).bounds, screen_centre);
    s.FormPosition = TFormPosition::fpScreenCenter;
    EXPECT_EQ(s.LoadFormPosition(wide, kScreen, &main_form).bounds, screen_centre);
    s.SaveFormPosition({{5, 6, 7, 8}, kWindowNormal});  // saves only with fpLoadSave
    EXPECT_EQ(test::ReadFile(File("pelkocopy.ini")), saved);
}

}  // namespace
}  // namespace pelko
