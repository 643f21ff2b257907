#pragma once

// The settings of the main window that both front ends read: the destinations and naming settings
// of a copy, the check-box options, the cut-off of the older-file filter, and where the history
// and copy-set files live. One reader and one writer, so the window and the command-line tool
// always agree on keys, defaults and what a damaged value means.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "copy/file_kind.h"
#include "support/date_time.h"
#include "support/ini_file.h"
#include "support/setting.h"
#include "support/version.h"

namespace pelko {

// The release written as "AppVer" at close.
inline constexpr int kAppVerCurrent = kVersionNumber;

// The destination and naming settings a copy set stores and the main window persists.
struct CopySettings {
    std::string dest_raw, dest_jpg, dest_other;  // DestRaw, DestJpg, DestOther
    int folder_mode = 0;                         // MakeFolder (clamped 0..5)
    std::string user_folder;                     // first entry of the folder history
    int file_name_mode = 0;                      // FileName (clamped 0..5)
    std::string user_format;                     // first entry of the format history
    bool remove_after_copy = false;              // CopyAfterReMove
    bool operator==(const CopySettings&) const = default;
};

// The one settings value of the main window: everything of section "FrmDCMain" of
// {computer name}.ini that both front ends read, and the two format histories. The window gathers
// its controls into it and shows it; the tool, the ini files and the run context read it.
struct MainWindowSettings {
    // copy.user_folder and copy.user_format are the histories' entries in force.
    CopySettings copy;
    bool exif_date = false;           // ExecExifDate
    bool skip_older = false;          // LastDateExec
    bool auto_restore = false;        // AppAutoRestore
    bool setting_lock = false;        // SettingLock
    bool mode = false;                // Mode (read only, never written)
    bool mode_sp_user = false;        // ModeSpUser (read only, never written)
    std::string last_copy_date_time;  // LastCopyDateTime normalised "yyyy/mm/dd hh:nn:ss";
                                      // empty when missing or unparsable
    int app_ver = 100;                // AppVer
    // Section "FileKinds" of the same file: extensions added to each kind.
    FileKindTable file_kinds;
    // The user folder texts and user formats, most recent first.
    std::vector<std::string> folder_history, format_history;
};

// The four list files (history and copy-set files) for the Mode switch.
struct ListFilePaths {
    std::string user_folder, user_format, copy_set_list, copy_set_ini;
};
ListFilePaths MakeListFilePaths(const std::string& app_folder, bool mode,
                                const std::string& computer_name);

enum class SettingsProblemKind {
    kNotAbsolute,       // a stored destination is not an absolute path: not used
    kTooLong,           // a stored destination reaches the value limit and may be cut: not used
    kFileUnreadable,    // the settings file exists but cannot be read
    kFileNotReadWhole,  // the settings file is longer than the reader takes: read in part
    kBadExtension,      // an item of section "FileKinds" cannot be an extension: left out
    kListUnreadable,    // a history file exists but cannot be read: its entries are not known
};

// A setting that was not taken as stored, as a value; each front end words it.
struct SettingsProblem {
    SettingsProblemKind kind = SettingsProblemKind::kFileUnreadable;
    // The key it concerns ("DestRaw", "FileKinds/Raw"; "UserFolder" or "UserFormat" for a history
    // file); empty for the settings file.
    std::string key;
    std::string value;  // the value refused, the extension left out, or the file's path
    // False for a value that is only left out (an extension that cannot be one): the rest of the
    // settings are sound. True when copying with these settings could file pictures wrongly.
    bool stops_run = true;
};

// The command-line tool's English line, naming the key or the file.
std::string SettingsProblemText(const SettingsProblem& problem);
// The window's Japanese text; the window puts the key (or "設定ファイル") in front of it.
std::string SettingsProblemTextJa(const SettingsProblem& problem);

// Reads the keys (and the first history entries into copy.user_folder/user_format). A stored
// destination that is refused (not absolute, cut at the value limit) is left empty and one
// message naming the key is appended to *problems; so is a settings file that exists but cannot
// be read or is read only in part, a history file that exists but cannot be read (its history
// left empty, so that nothing is saved over it), a "FileKinds" value at the value limit and an
// extension of section "FileKinds" that cannot be one. problems may be null.
MainWindowSettings ReadMainWindowSettings(TSetting& ini, const std::string& app_folder,
                                          std::vector<std::string>* problems);
// The same, with each problem's key and whether it stops a run.
MainWindowSettings ReadMainWindowSettings(TSetting& ini, const std::string& app_folder,
                                          std::vector<SettingsProblem>& problems);

// Section "FileKinds" (keys "Raw", "Jpeg", "Other": comma-separated extensions added to each
// kind). An item that cannot be an extension is left out with a problem that does not stop a run;
// a value at the value limit may have been cut (a cut ".cr3" reads as ".cr"), so it is not used and
// its problem stops a run.
FileKindTable ReadFileKindSettings(const IniFile& ini, std::vector<SettingsProblem>* problems);

// Writes every key the window writes at close except Mode, ModeSpUser, LastCopyDateTime
// (written by the caller only when newer) and the geometry keys. "AppVer" is always the current
// release.
void WriteMainWindowSettings(TSetting& ini, const MainWindowSettings& settings);

// One copy set: section `name` of the copy-set ini file. Missing keys give the defaults; a
// refused destination is left empty with a problem, as for the main window.
CopySettings ReadCopySet(const IniFile& ini, std::string_view name,
                         std::vector<SettingsProblem>* problems);
// Writes the set's keys; "UserFolder" only for folder modes 1 and 2 and "UserFormat" only for
// file-name mode 1, so that a skipped key keeps the value of an earlier save. False when a key
// could not be written.
bool WriteCopySet(const IniFile& ini, std::string_view name, const CopySettings& settings);

// The histories' entries when their files do not exist yet.
std::vector<std::string> DefaultUserFolderHistory();
std::vector<std::string> DefaultUserFormatHistory();
// A history file's entries, or the defaults when the file does not exist; nothing when it exists
// but cannot be read (*unreadable set, when given).
std::vector<std::string> LoadHistory(const std::string& path,
                                     const std::vector<std::string>& defaults,
                                     bool* unreadable = nullptr);
// Writes both histories of `settings` to their files, each only when it holds an entry.
void SaveHistories(const ListFilePaths& paths, const MainWindowSettings& settings);

// The longest history kept.
inline constexpr std::size_t kHistoryMaxEntries = 100;
// Ends the edit of a history's text: the text is trimmed; a new text goes to the top (the list
// cut to `max`), a known one moves to the top, an empty one changes nothing. Returns the entry in
// force afterwards: the trimmed text, or for an empty text the top entry (what is saved first and
// what the next start selects).
std::string CommitHistoryEntry(std::vector<std::string>& history, std::string_view typed,
                               std::size_t max = kHistoryMaxEntries);

// What a delete button leaves in an emptied format history.
inline constexpr std::string_view kFormatHistoryFallback = "%Dyyyymmdd-hhnnss-%N-%P";
// The delete button of a history box: the entry equal to `shown` goes; a history left empty gets
// `fallback`. Returns the first entry, which the box then shows.
std::string DeleteHistoryEntry(std::vector<std::string>& history, std::string_view shown,
                               std::string_view fallback);

// Every problem of a settings read, worded for the window's one message.
std::string SettingsProblemsTextJa(const std::vector<SettingsProblem>& problems);

// A stored cut-off as "yyyy/mm/dd hh:nn:ss": a valid date with 1- or 2-digit month, day, hour,
// minute and second ("2026/9/1 0:00:00"), the time optional; nothing for anything else.
std::optional<DateTime> ParseStoredDateTime(std::string_view text);

// Why a stored destination folder cannot be used, or nothing when it can (empty is allowed: no
// destination chosen yet).
std::optional<SettingsProblem> CheckStoredDestination(std::string_view key, std::string_view value);

}  // namespace pelko
