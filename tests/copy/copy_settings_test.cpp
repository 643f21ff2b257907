// The main window's settings and the copy sets as both front ends read them, and every damaged
// settings or list file as one case of a table.

#include "copy/copy_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "common/test_util.h"
#include "naming/list_file.h"

namespace pelko {
namespace {

using test::TempDir;
using test::WriteFile;

class CopySettingsTest : public ::testing::Test {
  protected:
    TSetting Ini() {
        TSetting ini("FrmDCMain", FormBounds{});
        ini.IniFileKind = TIniFileKind::fnComputerName;
        ini.SetPlaces({dir_.str(), "HOST", "anna", dir_ / "config"});
        return ini;
    }
    MainWindowSettings Read(std::vector<SettingsProblem>* problems = nullptr) {
        TSetting ini = Ini();
        if (problems == nullptr) return ReadMainWindowSettings(ini, dir_.str(), nullptr);
        return ReadMainWindowSettings(ini, dir_.str(), *problems);
    }

    TempDir dir_;
};

TEST(CopySettings, StoredCutOffsParseAsDatesAndNormalise) {
    const std::pair<std::string, std::string> cases[] = {
        {"2026/09/01 00:00:00", "2026/09/01 00:00:00"},
        {"2026/9/1 0:00:00", "2026/09/01 00:00:00"},
        {" 2026/9/1 7:5:3 ", "2026/09/01 07:05:03"},
        {"2026/09/01", "2026/09/01 00:00:00"},
        {"2026/09/01 12:30", "2026/09/01 12:30:00"},
        {"garbage", ""},
        {"9999/99/99 99:99:99", ""},
        {"2026/02/30 00:00:00", ""},
        {"2026/09/01 24:00:00", ""},
        {"26/09/01 00:00:00", ""},
        {"2026/09/01 00:00:00x", ""},
        {"2026/09/01  00:00:00", ""},
        {"", ""},
    };
    for (const auto& [text, expected] : cases) {
        const auto parsed = ParseStoredDateTime(text);
        EXPECT_EQ(parsed ? parsed->ToText() : "", expected) << text;
    }
}

TEST_F(CopySettingsTest, AFreshInstallGetsTheDefaults) {
    std::vector<SettingsProblem> problems;
    const MainWindowSettings s = Read(&problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(s.copy.dest_raw, "");
    EXPECT_EQ(s.copy.user_folder, DefaultUserFolderHistory().front());
    EXPECT_EQ(s.copy.user_format, "%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N");
    EXPECT_EQ(s.last_copy_date_time, "");
    EXPECT_EQ(s.app_ver, 100);
    EXPECT_FALSE(s.copy.remove_after_copy || s.exif_date || s.skip_older || s.mode);
}

TEST_F(CopySettingsTest, WrittenSettingsReadBackAndTheModeChoosesTheHistories) {
    MainWindowSettings s;
    s.copy = {"/r", "/j", "/o", 2, "ignored", 5, "ignored", true};
    s.exif_date = s.skip_older = s.auto_restore = s.setting_lock = true;
    TSetting ini = Ini();
    WriteMainWindowSettings(ini, s);
    ini.WriteBool("Mode", true);
    WriteFile(dir_ / "Data/HOST_Folder.txt", "%Dyyyy\r\nold\r\n");
    WriteFile(dir_ / "Data/HOST_Format.txt", "%F\r\n");

    const MainWindowSettings back = Read();
    EXPECT_EQ(back.copy.dest_raw, "/r");
    EXPECT_EQ(back.copy.dest_jpg, "/j");
    EXPECT_EQ(back.copy.dest_other, "/o");
    EXPECT_EQ(back.copy.folder_mode, 2);
    EXPECT_EQ(back.copy.file_name_mode, 5);
    EXPECT_EQ(back.copy.user_folder, "%Dyyyy");
    EXPECT_EQ(back.copy.user_format, "%F");
    EXPECT_TRUE(back.copy.remove_after_copy && back.exif_date && back.skip_older &&
                back.auto_restore && back.setting_lock && back.mode);
    EXPECT_EQ(back.app_ver, kAppVerCurrent);
    // Written at close only by the caller, when newer.
    EXPECT_EQ(Ini().ReadString("LastCopyDateTime", "none"), "none");
}

TEST_F(CopySettingsTest, CopySetsKeepSkippedKeysAndRefuseRelativeFolders) {
    const IniFile ini(dir_ / "Data/UCopySet.ini");
    WriteFile(ini.FileName(), "");
    WriteCopySet(ini, "Default", {"/r", "/j", "/o", 2, "%Dyymmdd", 1, "%F", true});
    WriteCopySet(ini, "Default", {"/r2", "/j", "/o", 0, "unused", 0, "unused", false});
    std::vector<SettingsProblem> problems;
    const CopySettings set = ReadCopySet(ini, "Default", &problems);
    EXPECT_EQ(set.dest_raw, "/r2");
    EXPECT_EQ(set.folder_mode, 0);
    EXPECT_EQ(set.user_folder, "%Dyymmdd");  // mode 0 skipped the key
    EXPECT_EQ(set.user_format, "%F");
    EXPECT_FALSE(set.remove_after_copy);
    EXPECT_TRUE(problems.empty());

    ini.WriteString("Default", "DestOth", "photos/other");
    EXPECT_EQ(ReadCopySet(ini, "Default", &problems).dest_other, "");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].key, "DestOth");
}

// Files in the application folder come from other computers, older versions and editors. Each
// case writes a damaged file and says what the settings read from it must be.
TEST_F(CopySettingsTest, DamagedSettingsAndListFiles) {
    const std::string long_folder = "/" + std::string(2100, 'a');
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> make;
        std::function<void(const MainWindowSettings&, const std::vector<SettingsProblem>&)> check;
    };
    auto problem_keys = [](const std::vector<SettingsProblem>& problems) {
        std::string keys;
        for (const auto& p : problems)
            keys += (keys.empty() ? "" : ",") + p.key;
        return keys;
    };
    const Case cases[] = {
        {"NUL inside a history entry ends the entry",
         [](const TempDir& d) {
             WriteFile(d / "Data/UFormat.txt", std::string("%F\0junk.JPG\r\n", 14));
         },
         [](const MainWindowSettings& s, auto&) { EXPECT_EQ(s.copy.user_format, "%F"); }},
        {"a history file that is a FIFO does not hang",
         [](const TempDir& d) {
             std::filesystem::create_directories(d / "Data");
             ASSERT_EQ(::mkfifo((d / "Data/UFormat.txt").c_str(), 0600), 0);
         },
         [](const MainWindowSettings& s, auto&) {
             EXPECT_EQ(s.copy.user_format, DefaultUserFormatHistory().front());
         }},
        {"a history file linked to /dev/zero does not grow without end",
         [](const TempDir& d) {
             std::filesystem::create_directories(d / "Data");
             ASSERT_EQ(::symlink("/dev/zero", (d / "Data/UFolder.txt").c_str()), 0);
         },
         [](const MainWindowSettings& s, auto&) {
             EXPECT_EQ(s.copy.user_folder, DefaultUserFolderHistory().front());
         }},
        {"a huge history file is read as its bounded prefix",
         [](const TempDir& d) {
             std::string big = "%Dyyyy\r\n";
             while (big.size() < 3 * kListMaxFileBytes)
                 big += std::string(1000, 'x') + "\r\n";
             WriteFile(d / "Data/UFolder.txt", big);
         },
         [](const MainWindowSettings& s, auto&) { EXPECT_EQ(s.copy.user_folder, "%Dyyyy"); }},
        {"a stray Shift-JIS line leaves the UTF-8 lines alone",
         [](const TempDir& d) {
             WriteFile(d / "HOST.ini",
                       "[FrmDCMain]\r\nDestJpg=/写真/jpg\r\nMemo=\x8E\x42\x89\x65\r\n");
             WriteFile(d / "Data/UFolder.txt", "写真\r\n\x8E\x42\x89\x65\r\n");
         },
         [](const MainWindowSettings& s, auto&) {
             EXPECT_EQ(s.copy.dest_jpg, "/写真/jpg");
             EXPECT_EQ(s.copy.user_folder, "写真");
         }},
        {"a history file of the Windows program decodes from Shift-JIS",
         [](const TempDir& d) { WriteFile(d / "Data/UFolder.txt", "\x8E\x42\x89\x65\r\n"); },
         [](const MainWindowSettings& s, auto&) { EXPECT_EQ(s.copy.user_folder, "撮影"); }},
        {"an unparsable cut-off counts as missing",
         [](const TempDir& d) {
             WriteFile(d / "HOST.ini", "[FrmDCMain]\r\nLastCopyDateTime=9999/99/99 99:99:99\r\n");
         },
         [](const MainWindowSettings& s, auto&) { EXPECT_EQ(s.last_copy_date_time, ""); }},
        {"an unpadded cut-off is normalised",
         [](const TempDir& d) {
             WriteFile(d / "HOST.ini", "[FrmDCMain]\r\nLastCopyDateTime=2026/9/1 00:00:00\r\n");
         },
         [](const MainWindowSettings& s, auto&) {
             EXPECT_EQ(s.last_copy_date_time, "2026/09/01 00:00:00");
         }},
        {"a relative destination (an unbalanced quote) is refused by its key",
         [](const TempDir& d) {
             WriteFile(d / "HOST.ini", "[FrmDCMain]\r\nDestRaw=\"/photos/raw\r\nDestJpg=/j\r\n");
         },
         [&](const MainWindowSettings& s, const std::vector<SettingsProblem>& problems) {
             EXPECT_EQ(s.copy.dest_raw, "");
             EXPECT_EQ(s.copy.dest_jpg, "/j");
             EXPECT_EQ(problem_keys(problems), "DestRaw");
             EXPECT_NE(problems[0].message.find("DestRaw"), std::string::npos);
         }},
        {"a destination cut at the value limit is refused by its key",
         [&](const TempDir& d) {
             WriteFile(d / "HOST.ini", "[FrmDCMain]\r\nDestOther=" + long_folder + "\r\n");
         },
         [&](const MainWindowSettings& s, const std::vector<SettingsProblem>& problems) {
             EXPECT_EQ(s.copy.dest_other, "");
             EXPECT_EQ(problem_keys(problems), "DestOther");
         }},
        {"a settings file with a UTF-16 byte order mark is read",
         [](const TempDir& d) {
             std::string bytes = "\xFF\xFE";
             for (const char c : std::string("[FrmDCMain]\r\nDestRaw=/r\r\nMakeFolder=3\r\n"))
                 bytes += std::string{c, '\0'};
             WriteFile(d / "HOST.ini", bytes);
         },
         [](const MainWindowSettings& s, auto&) {
             EXPECT_EQ(s.copy.dest_raw, "/r");
             EXPECT_EQ(s.copy.folder_mode, 3);
         }},
        {"CR-only line ends are read",
         [](const TempDir& d) {
             WriteFile(d / "HOST.ini", "[FrmDCMain]\rDestRaw=/r\rCopyAfterReMove=1\r");
             WriteFile(d / "Data/UFormat.txt", "%F\r%N\r");
         },
         [](const MainWindowSettings& s, auto&) {
             EXPECT_EQ(s.copy.dest_raw, "/r");
             EXPECT_TRUE(s.copy.remove_after_copy);
             EXPECT_EQ(s.copy.user_format, "%F");
         }},
        {"a section header followed by a comment is read",
         [](const TempDir& d) { WriteFile(d / "HOST.ini", "[FrmDCMain] ; v2\r\nFileName=2\r\n"); },
         [](const MainWindowSettings& s, auto&) { EXPECT_EQ(s.copy.file_name_mode, 2); }},
        {"extensions that cannot be extensions are left out without stopping a run",
         [](const TempDir& d) {
             WriteFile(d / "HOST.ini",
                       "[FrmDCMain]\r\nDestRaw=/r\r\n[FileKinds]\r\nRaw=.cr3,.a/b\r\n"
                       "Jpeg=heic\r\nOther=\r\n");
         },
         [&](const MainWindowSettings& s, const std::vector<SettingsProblem>& problems) {
             EXPECT_EQ(s.file_kinds.KindOf(".CR3"), TFileKind::fkRaw);
             EXPECT_EQ(s.file_kinds.KindOf(".heic"), TFileKind::fkJpeg);
             EXPECT_EQ(problem_keys(problems), "FileKinds/Raw");
             EXPECT_FALSE(problems[0].stops_run);
             EXPECT_EQ(s.copy.dest_raw, "/r");
         }},
        {"modes out of range fall back to 0",
         [](const TempDir& d) {
             WriteFile(d / "HOST.ini", "[FrmDCMain]\r\nMakeFolder=6\r\nFileName=-1\r\n");
         },
         [](const MainWindowSettings& s, auto&) {
             EXPECT_EQ(s.copy.folder_mode, 0);
             EXPECT_EQ(s.copy.file_name_mode, 0);
         }},
        {"a settings file that cannot be read is reported by name",
         [](const TempDir& d) {
             std::filesystem::create_directories(d / "HOST.ini");  // a folder under the name
         },
         [&](const MainWindowSettings&, const std::vector<SettingsProblem>& problems) {
             ASSERT_EQ(problem_keys(problems), "");
             ASSERT_EQ(problems.size(), 1u);
             EXPECT_NE(problems[0].message.find(dir_ / "HOST.ini"), std::string::npos);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir_.path());
        std::filesystem::create_directories(dir_.path());
        c.make(dir_);
        std::vector<SettingsProblem> problems;
        const MainWindowSettings s = Read(&problems);
        c.check(s, problems);
    }
}

}  // namespace
}  // namespace pelko
