// The main window's settings and the copy sets as both front ends read them, and every damaged
// settings or list file as one case of a table.

#include "copy/copy_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/test_util.h"
#include "copy/copy_sets.h"
#include "naming/list_file.h"
#include "support/text.h"

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

    // Settings read, as "key=value" for each value that differs from a fresh install's, then the
    // keys of the problems told ("!" when the run may go on).
    std::string Summary(const MainWindowSettings& s,
                        const std::vector<SettingsProblem>& problems = {}) {
        const std::string ini_path = dir_ / "HOST.ini";
        std::string out;
        const auto add = [&](const char* key, const std::string& value, bool changed) {
            if (changed) out += std::string(out.empty() ? "" : " ") + key + "=" + value;
        };
        add("raw", s.copy.dest_raw, !s.copy.dest_raw.empty());
        add("jpg", s.copy.dest_jpg, !s.copy.dest_jpg.empty());
        add("other", s.copy.dest_other, !s.copy.dest_other.empty());
        add("folder", std::to_string(s.copy.folder_mode), s.copy.folder_mode != 0);
        add("ufolder", s.copy.user_folder,
            s.copy.user_folder != DefaultUserFolderHistory().front());
        add("name", std::to_string(s.copy.file_name_mode), s.copy.file_name_mode != 0);
        add("ufmt", s.copy.user_format, s.copy.user_format != DefaultUserFormatHistory().front());
        add("remove", "1", s.copy.remove_after_copy);
        add("cutoff", s.last_copy_date_time, !s.last_copy_date_time.empty());
        for (const SettingsProblem& p : problems) {
            // Every message names what it is about: the key, or else the file.
            const std::string& named = p.key.empty() ? ini_path : p.key;
            out += std::string(out.empty() ? "" : " ") +
                   "problem=" + (p.key.empty() ? "<file>" : p.key) + (p.stops_run ? "" : "!") +
                   (SettingsProblemText(p).find(named) == std::string::npos ? "<unnamed>" : "");
        }
        return out;
    }

    TempDir dir_;
};

// The end of a history edit, as the window counts it and as it saves it.
TEST(CopySettings, CommittingAHistoryEntry) {
    using Lines = std::vector<std::string>;
    struct Row {
        Lines before;
        std::string typed;
        std::string in_force;
        Lines after;
    };
    const Row rows[] = {
        {{"a", "b"}, "  c \t", "c", {"c", "a", "b"}},  // trimmed, new at the top
        {{"a", "b", "c"}, "c", "c", {"c", "a", "b"}},  // known: moved up, not doubled
        {{"a", "b"}, "a", "a", {"a", "b"}},
        {{"a", "b"}, "   ", "a", {"a", "b"}},  // empty: unchanged, the top in force
        {{}, "", "", {}},
        {{"a"}, "　x　", "　x　", {"　x　", "a"}},  // a full-width space is text
    };
    for (const Row& row : rows) {
        Lines history = row.before;
        EXPECT_EQ(CommitHistoryEntry(history, row.typed), row.in_force) << row.typed;
        EXPECT_EQ(history, row.after) << row.typed;
    }
    // 101 different texts keep the 100 most recent.
    Lines history;
    for (int i = 0; i <= 100; ++i)
        CommitHistoryEntry(history, std::to_string(i));
    ASSERT_EQ(history.size(), kHistoryMaxEntries);
    EXPECT_EQ(history.front(), "100");
    EXPECT_EQ(history.back(), "1");
}

TEST(CopySettings, StoredCutOffsParseAsDatesAndNormalise) {
    const std::pair<std::string, std::string> cases[] = {
        {"2026/09/01 00:00:00", "2026/09/01 00:00:00"},
        {" 2026/9/1 7:5:3 ", "2026/09/01 07:05:03"},
        {"2026/09/01", "2026/09/01 00:00:00"},
        {"2026/09/01 12:30", "2026/09/01 12:30:00"}};
    for (const auto& [text, expected] : cases) {
        const auto parsed = ParseStoredDateTime(text);
        EXPECT_EQ(parsed ? parsed->ToText() : "", expected) << text;
    }
    for (const char* bad :
         {"garbage", "9999/99/99 99:99:99", "2026/02/30 00:00:00", "2026/09/01 24:00:00",
          "26/09/01 00:00:00", "2026/09/01 00:00:00x", "2026/09/01  00:00:00", ""})
        EXPECT_FALSE(ParseStoredDateTime(bad)) << bad;
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
    EXPECT_EQ(Summary(back),
              "raw=/r jpg=/j other=/o folder=2 ufolder=%Dyyyy name=5 ufmt=%F remove=1");
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

// A first start, saves under new and known names, the displayed set deleted, and the tool's view
// of the same files.
TEST_F(CopySettingsTest, CopySetListFollowsTheWindowsRules) {
    const std::string list = dir_ / "Data/UCopySet.txt", ini = dir_ / "Data/UCopySet.ini";
    std::filesystem::create_directories(dir_ / "Data");
    const CopySettings current{"/r", "/j", "/o", 2, "%Dyymmdd", 1, "%F", false};
    CopySetList sets(list, ini);
    sets.Load(current);
    EXPECT_EQ(sets.Names(), std::vector<std::string>{"Default"});
    EXPECT_EQ(sets.Read("Default", nullptr), current);

    ASSERT_TRUE(sets.Save("Trip", {"/r2", "/j2", "/o2", 0, "", 3, "", true}));
    sets.MoveToTop("Trip");
    ASSERT_TRUE(sets.Save("Default", {"/r3", "/j", "/o", 0, "", 0, "", false}));
    EXPECT_EQ(sets.Names(), (std::vector<std::string>{"Trip", "Default"}));  // not reordered
    EXPECT_EQ(sets.Read("Default", nullptr)->user_folder, "%Dyymmdd");       // kept from before
    ASSERT_TRUE(sets.SaveList());

    MainWindowSettings tool;
    tool.copy.user_folder = "folder top";
    tool.copy.user_format = "format top";
    std::vector<std::string> known;
    std::vector<SettingsProblem> problems;
    ASSERT_TRUE(ApplyStoredCopySet(tool, dir_.str(), "HOST", "Trip", known, problems));
    // Texts the set never stored leave the histories' first entries in force, as in the window.
    EXPECT_EQ(tool.copy,
              (CopySettings{"/r2", "/j2", "/o2", 0, "folder top", 3, "format top", true}));
    EXPECT_FALSE(ApplyStoredCopySet(tool, dir_.str(), "HOST", "Nope", known, problems));
    EXPECT_EQ(known, (std::vector<std::string>{"Trip", "Default"}));

    EXPECT_TRUE(sets.RemoveDisplayed());
    EXPECT_FALSE(sets.RemoveDisplayed());  // the last set stays
    EXPECT_EQ(sets.Displayed(), "Default");
    // An empty list with its ini file present gets "Default" again.
    WriteFile(list, "");
    sets.Load(current);
    EXPECT_EQ(sets.Names(), std::vector<std::string>{"Default"});
}

// A typed set name is data: it reads back as itself or is refused.
TEST(CopySettings, TypedSetNamesRoundTripOrAreRefused) {
    using P = CopySetNameProblem;
    const std::pair<std::string, std::optional<P>> cases[] = {
        {"旅行 2026", std::nullopt},
        {"a=b", std::nullopt},
        {";x", std::nullopt},
        {"  padded  ", std::nullopt},
        {"   ", P::kEmpty},
        {"a\nb", P::kControl},
        {"a\u202Eb", P::kControl},
        {std::string(10000, 'n'), P::kTooLong},
        {"a]b", std::nullopt},
        {"[x]", std::nullopt},
        {"a] ;c", P::kNotSection},      // the reader would take "a" for the name
        {"\uFEFF]b]", P::kNotSection},  // first in the list file, its mark would be dropped
    };
    TempDir dir;
    CopySetList sets(dir / "l.txt", dir / "s.ini");
    for (const auto& [name, problem] : cases) {
        EXPECT_EQ(CheckCopySetName(name), problem) << name;
        if (problem) continue;
        const std::string trimmed(TrimControl(name));
        ASSERT_TRUE(sets.Save(trimmed, {"/r", "", "", 0, "", 0, "", false})) << name;
        EXPECT_EQ(sets.Read(trimmed, nullptr)->dest_raw, "/r") << name;
    }
    EXPECT_EQ(IniFile(dir / "s.ini").ReadSections().size(), 6u);
}

TEST(CopySettings, DeletingAHistoryEntry) {
    using Lines = std::vector<std::string>;
    const std::tuple<Lines, std::string, Lines> rows[] = {
        {{"a", "b"}, "a", {"b"}},
        {{"a", "b"}, "b", {"a"}},
        {{"a", "b"}, "typed", {"a", "b"}},
        {{"%F"}, "%F", {std::string(kFormatHistoryFallback)}},
    };
    for (auto [history, shown, after] : rows) {
        EXPECT_EQ(DeleteHistoryEntry(history, shown, kFormatHistoryFallback), after.front());
        EXPECT_EQ(history, after) << shown;
    }
}

// Files in the application folder come from other computers, older versions and editors (the
// line and text decoding is the ini and list readers' own table). Each case writes damaged files
// ("<fifo>", "<zero>" and "<folder>" stand for a FIFO, a link to /dev/zero and a folder under the
// name) and says what the settings read from them come to.
TEST_F(CopySettingsTest, DamagedSettingsAndListFiles) {
    std::string huge = "%Dyyyy\r\n";
    while (huge.size() < 3 * kListMaxFileBytes)
        huge += std::string(1000, 'x') + "\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("[FrmDCMain]\r\nDestRaw=/r\r\nMakeFolder=3\r\n"))
        utf16 += std::string{c, '\0'};
    std::string kinds;
    while (kinds.size() < kIniMaxValueChars)
        kinds += ".cr2,";
    const std::string ini = "HOST.ini", folders = "Data/UFolder.txt", formats = "Data/UFormat.txt";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::string expected;
    };
    const Case cases[] = {
        {"a fresh install gets the defaults", {}, ""},
        // A history that cannot be read is not known: runs stop rather than guess the name.
        {"a history file that is a FIFO does not hang",
         {{formats, "<fifo>"}},
         "ufmt= problem=UserFormat"},
        {"a history file linked to /dev/zero does not grow without end",
         {{folders, "<zero>"}},
         "ufolder= problem=UserFolder"},
        {"a huge history file is read as its bounded prefix", {{folders, huge}}, "ufolder=%Dyyyy"},
        {"an unparsable cut-off counts as missing",
         {{ini, "[FrmDCMain]\r\nLastCopyDateTime=9999/99/99 99:99:99\r\n"}},
         ""},
        {"an unpadded cut-off is normalised",
         {{ini, "[FrmDCMain]\r\nLastCopyDateTime=2026/9/1 00:00:00\r\n"}},
         "cutoff=2026/09/01 00:00:00"},
        {"a relative destination (an unbalanced quote) is refused by its key",
         {{ini, "[FrmDCMain]\r\nDestRaw=\"/photos/raw\r\nDestJpg=/j\r\n"}},
         "jpg=/j problem=DestRaw"},
        {"a destination cut at the value limit is refused by its key",
         {{ini, "[FrmDCMain]\r\nDestOther=/" + std::string(2100, 'a') + "\r\n"}},
         "problem=DestOther"},
        {"a settings file with a UTF-16 byte order mark is read",
         {{ini, utf16}},
         "raw=/r folder=3"},
        {"extensions that cannot be extensions are left out without stopping a run",
         {{ini,
           "[FrmDCMain]\r\nDestRaw=/r\r\n[FileKinds]\r\nRaw=.cr3,.a/b\r\nJpeg=heic\r\nOther=\r\n"}},
         "raw=/r problem=FileKinds/Raw!"},
        {"a kind list at the value limit may be cut, so it is not used",
         {{ini, "[FrmDCMain]\r\nDestRaw=/r\r\n[FileKinds]\r\nRaw=" + kinds + ".cr3\r\n"}},
         "raw=/r problem=FileKinds/Raw"},
        {"modes out of range fall back to 0",
         {{ini, "[FrmDCMain]\r\nMakeFolder=6\r\nFileName=-1\r\n"}},
         ""},
        {"a settings file that cannot be read is reported by name",
         {{ini, "<folder>"}},
         "problem=<file>"},
        {"a settings file longer than the reader takes is read in part and reported",
         {{ini, "[FrmDCMain]\r\nDestRaw=/r\r\n" + std::string(kIniMaxFileBytes, ';') + "\r\n"}},
         "raw=/r problem=<file>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir_.path());
        std::filesystem::create_directories(dir_ / "Data");
        for (const auto& [name, bytes] : c.files) {
            const std::string path = dir_ / name;
            if (bytes == "<fifo>")
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            else if (bytes == "<zero>")
                ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
            else if (bytes == "<folder>")
                std::filesystem::create_directories(path);
            else
                WriteFile(path, bytes);
        }
        std::vector<SettingsProblem> problems;
        const MainWindowSettings s = Read(&problems);
        EXPECT_EQ(Summary(s, problems), c.expected);
        if (std::string(c.what).starts_with("extensions")) {
            EXPECT_EQ(s.file_kinds.KindOf(".CR3"), TFileKind::fkRaw);
            EXPECT_EQ(s.file_kinds.KindOf(".heic"), TFileKind::fkJpeg);
        }
    }
}

}  // namespace
}  // namespace pelko
