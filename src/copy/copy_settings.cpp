#include "copy/copy_settings.h"

#include <algorithm>

#include "naming/destination.h"
#include "naming/list_file.h"
#include "support/file_ops.h"
#include "support/text.h"
#include "support/text_file.h"

namespace pelko {

namespace {

constexpr std::string_view kDefaultUserFolder = "ここへ作成するフォルダ名を入力して下さい";
constexpr std::string_view kDefaultUserFolderFormat = "%Dyymmdd";
constexpr std::string_view kDefaultUserFormat = "%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N";

int ClampMode(int mode, int count) {
    return mode < 0 || mode >= count ? 0 : mode;
}

// A stored destination, or empty with a problem when it cannot be used.
std::string TakeDestination(std::string_view key, std::string value,
                            std::vector<SettingsProblem>* problems) {
    if (auto why = CheckStoredDestination(key, value)) {
        if (problems != nullptr) problems->push_back(std::move(*why));
        return {};
    }
    return value;
}

}  // namespace

ListFilePaths MakeListFilePaths(const std::string& app_folder, bool mode,
                                const std::string& computer_name) {
    const std::string data = app_folder + "/Data/";
    if (mode) {
        const std::string prefix = data + computer_name;
        return {prefix + "_Folder.txt", prefix + "_Format.txt", prefix + "_CopySet.txt",
                prefix + "_CopySet.ini"};
    }
    return {data + "UFolder.txt", data + "UFormat.txt", data + "UCopySet.txt",
            data + "UCopySet.ini"};
}

std::vector<std::string> DefaultUserFolderHistory() {
    return {std::string(kDefaultUserFolder), std::string(kDefaultUserFolderFormat)};
}

std::vector<std::string> DefaultUserFormatHistory() {
    return {std::string(kDefaultUserFormat)};
}

std::vector<std::string> LoadHistory(const std::string& path,
                                     const std::vector<std::string>& defaults, bool* unreadable) {
    const TextFileBytes file = ReadTextFilePrefix(path, kListMaxFileBytes);
    if (unreadable != nullptr) *unreadable = file.status == TextFileStatus::kFailed;
    if (file.status == TextFileStatus::kMissing) return defaults;
    if (file.status != TextFileStatus::kOk) return {};
    return DecodeTextLines(file.bytes, true);
}

void SaveHistories(const ListFilePaths& paths, const MainWindowSettings& settings) {
    if (!settings.folder_history.empty()) SaveListFile(paths.user_folder, settings.folder_history);
    if (!settings.format_history.empty()) SaveListFile(paths.user_format, settings.format_history);
}

std::string CommitHistoryEntry(std::vector<std::string>& history, std::string_view typed,
                               std::size_t max) {
    const std::string text(TrimControl(typed));
    if (text.empty()) return history.empty() ? std::string() : history.front();
    const auto found = std::find(history.begin(), history.end(), text);
    if (found != history.end()) history.erase(found);
    history.insert(history.begin(), text);
    if (history.size() > max) history.resize(max);
    return text;
}

std::string DeleteHistoryEntry(std::vector<std::string>& history, std::string_view shown,
                               std::string_view fallback) {
    const auto found = std::find(history.begin(), history.end(), shown);
    if (found != history.end()) history.erase(found);
    if (history.empty()) history.emplace_back(fallback);
    return history.front();
}

std::string SettingsProblemsTextJa(const std::vector<SettingsProblem>& problems) {
    std::string text = "保存された設定のうち、次の項目は使用できないため空にしました。";
    for (const SettingsProblem& problem : problems) {
        text += "\n・" + (problem.key.empty() ? std::string("設定ファイル") : problem.key) + "：" +
                SettingsProblemTextJa(problem);
    }
    return text;
}

std::optional<DateTime> ParseStoredDateTime(std::string_view text) {
    text = TrimControl(text);
    // The year has its four digits; month, day and the time may lack their leading zeros.
    if (text.find('/') != 4) return std::nullopt;
    const std::size_t space = text.find(' ');
    const std::string_view time =
        space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    return ParseLooseDateTime(text.substr(0, space), time);
}

std::optional<SettingsProblem> CheckStoredDestination(std::string_view key,
                                                      std::string_view value) {
    if (value.empty()) return std::nullopt;
    // A value at the reader's limit may have been cut: files would go into a truncated folder.
    if (CharCount(value) >= kIniMaxValueChars) {
        return SettingsProblem{SettingsProblemKind::kTooLong, std::string(key), std::string(value)};
    }
    if (value.front() != '/') {
        return SettingsProblem{SettingsProblemKind::kNotAbsolute, std::string(key),
                               std::string(value)};
    }
    return std::nullopt;
}

std::string SettingsProblemText(const SettingsProblem& problem) {
    const std::string& key = problem.key;
    const std::string& value = problem.value;
    switch (problem.kind) {
        case SettingsProblemKind::kNotAbsolute:
            return key + " is not an absolute folder path (\"" + value +
                   "\"); the destination is not used";
        case SettingsProblemKind::kTooLong:
            return key + " is " + std::to_string(kIniMaxValueChars) +
                   " characters or longer and may be cut off; it is not used";
        case SettingsProblemKind::kFileUnreadable:
            return "cannot read the settings file " + value;
        case SettingsProblemKind::kFileNotReadWhole:
            return "the settings file " + value + " is longer than " +
                   std::to_string(kIniMaxFileBytes) + " bytes and was read only in part";
        case SettingsProblemKind::kBadExtension:
            return key + ": \"" + value + "\" is not a file extension; ignored";
        case SettingsProblemKind::kListUnreadable:
            return "cannot read the history file " + value + "; " + key + " is not known";
    }
    return key;
}

std::string SettingsProblemTextJa(const SettingsProblem& problem) {
    const std::string& value = problem.value;
    switch (problem.kind) {
        case SettingsProblemKind::kNotAbsolute:
            return "絶対パスのフォルダではありません（" + value + "）";
        case SettingsProblemKind::kTooLong:
            return std::to_string(kIniMaxValueChars) +
                   " 文字以上あり、途中で切れている可能性があります";
        case SettingsProblemKind::kFileUnreadable:
            return "読み込めません（" + value + "）";
        case SettingsProblemKind::kFileNotReadWhole:
            return "大きすぎるため先頭の一部だけを読み込みました（" + value +
                   "）。終了時に保存し直し、元のファイルは .bak として残します";
        case SettingsProblemKind::kBadExtension:
            return "「" + value + "」は拡張子ではないため無視しました";
        case SettingsProblemKind::kListUnreadable:
            return "履歴ファイルを読み込めません（" + value + "）";
    }
    return {};
}

MainWindowSettings ReadMainWindowSettings(TSetting& ini, const std::string& app_folder,
                                          std::vector<SettingsProblem>& problems) {
    if (ini.IniFileName().empty()) ini.SetIniFileName("");
    if (ini.SaveTo == TSaveTo::stIniFile) {
        // The read the keys below are taken from, not a second one.
        bool trimmed = false;
        const TextFileStatus status = IniFile(ini.IniFileName()).ReadState(&trimmed);
        if (status == TextFileStatus::kFailed) {
            problems.push_back({SettingsProblemKind::kFileUnreadable, "", ini.IniFileName()});
        } else if (status == TextFileStatus::kOk && trimmed) {
            problems.push_back({SettingsProblemKind::kFileNotReadWhole, "", ini.IniFileName()});
        }
    }

    MainWindowSettings s;
    s.mode = ini.ReadBool("Mode", false);
    s.mode_sp_user = ini.ReadBool("ModeSpUser", false);
    CopySettings& c = s.copy;
    c.dest_raw = TakeDestination("DestRaw", ini.ReadString("DestRaw", ""), &problems);
    c.dest_jpg = TakeDestination("DestJpg", ini.ReadString("DestJpg", ""), &problems);
    c.dest_other = TakeDestination("DestOther", ini.ReadString("DestOther", ""), &problems);
    c.remove_after_copy = ini.ReadBool("CopyAfterReMove", false);
    s.auto_restore = ini.ReadBool("AppAutoRestore", false);
    s.skip_older = ini.ReadBool("LastDateExec", false);
    s.exif_date = ini.ReadBool("ExecExifDate", false);
    s.setting_lock = ini.ReadBool("SettingLock", false);
    c.folder_mode = ClampMode(ini.ReadInteger("MakeFolder", 0), kFolderModeCount);
    c.file_name_mode = ClampMode(ini.ReadInteger("FileName", 0), kFileNameModeCount);
    if (const auto cutoff = ParseStoredDateTime(ini.ReadString("LastCopyDateTime", ""))) {
        s.last_copy_date_time = cutoff->ToText();
    }
    s.app_ver = ini.ReadInteger("AppVer", 100);

    if (ini.SaveTo == TSaveTo::stIniFile) {
        s.file_kinds = ReadFileKindSettings(IniFile(ini.IniFileName()), &problems);
    }

    const ListFilePaths paths = MakeListFilePaths(app_folder, s.mode, ini.Places().computer_name);
    // A history that cannot be read leaves its text unknown: naming files without it would file
    // them under another folder or name than the user chose.
    const auto history = [&problems](const std::string& path, const char* key,
                                     const std::vector<std::string>& defaults) {
        bool unreadable = false;
        std::vector<std::string> lines = LoadHistory(path, defaults, &unreadable);
        if (unreadable) problems.push_back({SettingsProblemKind::kListUnreadable, key, path});
        return lines;
    };
    s.folder_history = history(paths.user_folder, "UserFolder", DefaultUserFolderHistory());
    s.format_history = history(paths.user_format, "UserFormat", DefaultUserFormatHistory());
    if (s.folder_history.size() > kHistoryMaxEntries) s.folder_history.resize(kHistoryMaxEntries);
    if (s.format_history.size() > kHistoryMaxEntries) s.format_history.resize(kHistoryMaxEntries);
    c.user_folder = s.folder_history.empty() ? std::string() : s.folder_history.front();
    c.user_format = s.format_history.empty() ? std::string() : s.format_history.front();
    return s;
}

MainWindowSettings ReadMainWindowSettings(TSetting& ini, const std::string& app_folder,
                                          std::vector<std::string>* problems) {
    std::vector<SettingsProblem> found;
    MainWindowSettings settings = ReadMainWindowSettings(ini, app_folder, found);
    if (problems != nullptr) {
        for (SettingsProblem& problem : found)
            problems->push_back(SettingsProblemText(problem));
    }
    return settings;
}

FileKindTable ReadFileKindSettings(const IniFile& ini, std::vector<SettingsProblem>* problems) {
    struct Key {
        std::string_view name;
        TFileKind kind;
    };
    static constexpr Key kKeys[] = {
        {"Raw", TFileKind::fkRaw}, {"Jpeg", TFileKind::fkJpeg}, {"Other", TFileKind::fkOther}};
    FileKindTable table;
    for (const Key& key : kKeys) {
        const std::string value = ini.ReadString("FileKinds", key.name, "");
        if (CharCount(value) >= kIniMaxValueChars) {
            if (problems != nullptr) {
                problems->push_back(
                    {SettingsProblemKind::kTooLong, "FileKinds/" + std::string(key.name), value});
            }
            continue;
        }
        for (const std::string& item : table.Add(key.kind, value)) {
            if (problems == nullptr) continue;
            problems->push_back({SettingsProblemKind::kBadExtension,
                                 "FileKinds/" + std::string(key.name), item, false});
        }
    }
    return table;
}

void WriteMainWindowSettings(TSetting& ini, const MainWindowSettings& settings) {
    const IniWriteBatch batch;  // one write of the file for all the keys
    const CopySettings& c = settings.copy;
    ini.WriteInteger("AppVer", kAppVerCurrent);
    ini.WriteString("DestRaw", c.dest_raw);
    ini.WriteString("DestJpg", c.dest_jpg);
    ini.WriteString("DestOther", c.dest_other);
    ini.WriteBool("CopyAfterReMove", c.remove_after_copy);
    ini.WriteBool("AppAutoRestore", settings.auto_restore);
    ini.WriteBool("LastDateExec", settings.skip_older);
    ini.WriteBool("ExecExifDate", settings.exif_date);
    ini.WriteBool("SettingLock", settings.setting_lock);
    ini.WriteInteger("MakeFolder", c.folder_mode);
    ini.WriteInteger("FileName", c.file_name_mode);
}

CopySettings ReadCopySet(const IniFile& ini, std::string_view name,
                         std::vector<SettingsProblem>* problems) {
    CopySettings c;
    c.dest_raw = TakeDestination("DestRow", ini.ReadString(name, "DestRow", ""), problems);
    c.dest_jpg = TakeDestination("DestJpg", ini.ReadString(name, "DestJpg", ""), problems);
    c.dest_other = TakeDestination("DestOth", ini.ReadString(name, "DestOth", ""), problems);
    c.folder_mode = ClampMode(ini.ReadInteger(name, "MakeFolderIdx", 0), kFolderModeCount);
    c.user_folder = ini.ReadString(name, "UserFolder", "");
    c.file_name_mode = ClampMode(ini.ReadInteger(name, "FileNameIdx", 0), kFileNameModeCount);
    c.user_format = ini.ReadString(name, "UserFormat", "");
    c.remove_after_copy = ini.ReadBool(name, "ReMove", false);
    return c;
}

bool WriteCopySet(const IniFile& ini, std::string_view name, const CopySettings& c) {
    bool written = ini.WriteString(name, "DestRow", c.dest_raw);
    written = ini.WriteString(name, "DestJpg", c.dest_jpg) && written;
    written = ini.WriteString(name, "DestOth", c.dest_other) && written;
    written = ini.WriteInteger(name, "MakeFolderIdx", c.folder_mode) && written;
    if (c.folder_mode == kFolderModeUser || c.folder_mode == kFolderModeUserFormat) {
        written = ini.WriteString(name, "UserFolder", c.user_folder) && written;
    }
    written = ini.WriteInteger(name, "FileNameIdx", c.file_name_mode) && written;
    if (c.file_name_mode == kFileNameModeUserFormat)
        written = ini.WriteString(name, "UserFormat", c.user_format) && written;
    return ini.WriteBool(name, "ReMove", c.remove_after_copy) && written;
}

}  // namespace pelko
