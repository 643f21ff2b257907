#include "support/setting.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_util.h"
#include "support/front_ini_func.h"

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
    struct Case {
        TIniPathKind path;
        TIniFileKind kind;
        std::string argument;
        std::string expected;  // below the app folder unless absolute
    };
    const Case cases[] = {
        {TIniPathKind::ipAppPath, TIniFileKind::fnDefault, "/x/ignored.ini", "pelkocopy.ini"},
        {TIniPathKind::ipAppPath, TIniFileKind::fnUserDefine, "", "pelkocopy.ini"},
        {TIniPathKind::ipAppPath, TIniFileKind::fnUserDefine, "/data/PelkoCopy.ini",
         "/data/PelkoCopy.ini"},
        {TIniPathKind::ipAppPath, TIniFileKind::fnComputerName, "", "HOST.ini"},
        {TIniPathKind::ipIniFiles, TIniFileKind::fnDefault, "", "IniFiles/pelkocopy.ini"},
        {TIniPathKind::ipIniFiles, TIniFileKind::fnUserDefine, "/data/u.ini", "/data/u.ini"},
        {TIniPathKind::ipIniFiles, TIniFileKind::fnUserName, "", "IniFiles/anna.ini"},
    };
    for (const auto& c : cases) {
        TSetting s = Make();
        s.IniPath = c.path;
        s.IniFileKind = c.kind;
        s.SetIniFileName(c.argument);
        EXPECT_EQ(s.IniFileName(), c.expected[0] == '/' ? c.expected : File(c.expected))
            << c.argument;
    }
    EXPECT_TRUE(std::filesystem::is_directory(File("IniFiles")));

    // Resolved once, by the first access.
    TSetting s = Make();
    s.IniFileKind = TIniFileKind::fnComputerName;
    s.ReadInteger("x", 0);
    s.IniFileKind = TIniFileKind::fnUserName;
    EXPECT_EQ(s.IniFileName(), File("HOST.ini"));
}

TEST_F(SettingTest, TypedValuesRoundTripWithDefaultsOnAFreshInstall) {
    TSetting s = Make("FrmDCMain");
    s.IniFileKind = TIniFileKind::fnComputerName;
    EXPECT_EQ(s.ReadInteger("AutoDelDay", 14), 14);
    EXPECT_TRUE(s.ReadBool("WindowMaxmized", true));
    EXPECT_FALSE(std::filesystem::exists(File("HOST.ini")));

    s.WriteInteger("AppVer", 141);
    s.WriteString("DestRaw", "/写真/RAW");
    s.WriteBool("ChkExif", true);
    s.WriteBool("ChkRemove", false);
    EXPECT_EQ(test::ReadFile(File("HOST.ini")),
              "[FrmDCMain]\r\nAppVer=141\r\nDestRaw=/写真/RAW\r\nChkExif=1\r\nChkRemove=0\r\n");
    EXPECT_EQ(s.ReadInteger("appver", 0), 141);
    EXPECT_EQ(s.ReadString("DESTRAW", ""), "/写真/RAW");
    EXPECT_FALSE(s.ReadBool("ChkRemove", true));
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

TEST_F(SettingTest, RegistryChoiceKeepsAnIniFileInTheConfigFolder) {
    TSetting s = Make("FrmDCMain");
    s.SaveTo = TSaveTo::stRegistry;
    EXPECT_EQ(s.RegistryKey(), "Morvenix/pelkocopy");
    EXPECT_EQ(s.ReadInteger("K", 3), 3);
    s.WriteInteger("K", 4);
    EXPECT_EQ(test::ReadFile(File("config/Morvenix/pelkocopy.ini")), "[FrmDCMain]\r\nK=4\r\n");
    EXPECT_EQ(s.ReadInteger("K", 3), 4);
    EXPECT_FALSE(std::filesystem::exists(s.IniFileName()));
}

TEST_F(SettingTest, StoredBoundsAreKeptOnTheScreen) {
    struct Case {
        const char* stored;  // the _Position section's keys
        FormGeometry expected;
    };
    const Case cases[] = {
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
        {"WindowState=7\nTop=1\nLeft=2\nWidth=3\nHeight=4", {{1, 2, 3, 4}, kWindowNormal}},
        {"WindowState=2\nTop=1\nLeft=2\nWidth=300\nHeight=400",
         {{1, 2, 300, 400}, kWindowMinimized}},
    };
    for (const auto& c : cases) {
        test::WriteFile(File("pelkocopy.ini"), std::string("[FrmSCFSeiri_Position]\n") + c.stored);
        TSetting s = Make();
        EXPECT_EQ(s.LoadFormPosition({kDesign, kWindowNormal}, kScreen), c.expected) << c.stored;
    }
}

TEST_F(SettingTest, MaximisedCloseKeepsTheNormalBounds) {
    TSetting s = Make();
    s.SaveFormPosition({{50, 60, 700, 500}, kWindowNormal});
    s.SaveFormPosition({{0, 0, 1280, 997}, kWindowMaximized});
    EXPECT_EQ(test::ReadFile(File("pelkocopy.ini")),
              "[FrmSCFSeiri_Position]\r\nWindowState=1\r\nTop=50\r\nLeft=60\r\nWidth=700\r\n"
              "Height=500\r\n");
    TSetting next = Make();
    EXPECT_EQ(next.LoadFormPosition({kDesign, kWindowNormal}, kScreen),
              (FormGeometry{{50, 60, 700, 500}, kWindowMaximized}));
    EXPECT_EQ(next.WindowStateCode(), kWindowMaximized);
}

TEST_F(SettingTest, OtherPlacementsCentreOrLeaveTheForm) {
    const FormBounds main_form{100, 200, 800, 600};
    struct Case {
        TFormPosition kind;
        FormBounds form;
        const FormBounds* main;
        FormBounds expected;
    };
    const Case cases[] = {
        {TFormPosition::fpScreenCenter, {0, 0, 500, 300}, nullptr, {241, 390, 500, 300}},
        {TFormPosition::fpMainFormCenter, {0, 0, 400, 301}, &main_form, {199, 400, 400, 301}},
        {TFormPosition::fpMainFormCenter, {0, 0, 500, 300}, nullptr, {241, 390, 500, 300}},
        {TFormPosition::fpNotUse, {5, 6, 7, 8}, &main_form, {5, 6, 7, 8}},
    };
    for (const auto& c : cases) {
        TSetting s = Make();
        s.FormPosition = c.kind;
        EXPECT_EQ(s.LoadFormPosition({c.form, kWindowMaximized}, kScreen, c.main),
                  (FormGeometry{c.expected, kWindowMaximized}))
            << static_cast<int>(c.kind);
        s.SaveFormPosition({c.form, kWindowNormal});  // saves only with fpLoadSave
    }
    EXPECT_FALSE(std::filesystem::exists(File("pelkocopy.ini")));
}

TEST(FrontIniFunc, CurrentFileCreatesItsFolderAndServesEveryCall) {
    test::TempDir dir;
    const std::string card_info = dir / "new/folder/CardInfo.ini";
    const std::string models = dir / "ChangeModelName.txt";
    SetCurrentIniFile(card_info);
    EXPECT_EQ(GetCurrentIniFile(), card_info);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "new/folder"));

    IniWriteString("K5", "NAME", "カード");
    IniWriteInteger("CARD01", "Count", 12);
    std::vector<std::string> sections{"stale"};
    ReadSections(sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"K5", "CARD01"}));
    EXPECT_EQ(IniReadString("k5", "name", ""), "カード");

    // Switching files around a piece of work, then back.
    test::WriteFile(models, "[Camera]\r\nPENTAX K-5=K5\r\n");
    SetCurrentIniFile(models);
    EXPECT_EQ(IniReadString("Camera", "PENTAX K-5", "PENTAX K-5"), "K5");
    EXPECT_EQ(IniReadString("Camera", "K-01", "K-01"), "K-01");
    SetCurrentIniFile(card_info);
    EXPECT_EQ(IniReadInteger("CARD01", "Count", 0), 12);
}

}  // namespace
}  // namespace pelko
