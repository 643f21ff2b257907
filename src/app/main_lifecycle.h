#pragma once

// The main window's life: what its creation prepares, what its first showing restores and what
// its closing saves, with the files and keys of the application folder.

#include <string>
#include <vector>

#include "copy/copy_settings.h"
#include "support/setting.h"

namespace pelko {

class TFrmDCMain;

// The shot counters kept in PelkoCopy.ini with Mode or ModeSpUser.
struct TShotCounts {
    int k5qt = 0;
    int k5rv = 0;
    int k01 = 0;
};

// Disables the settings controls and hides their buttons while `locked`; reverses it otherwise.
void ApplySettingLock(TFrmDCMain& window, bool locked);

class TMainLifecycle {
  public:
    explicit TMainLifecycle(TFrmDCMain& window);

    // Creation: files of the application folder, the mode switches, the mode lists.
    void Create();
    // Every show; the restore runs at the first only. The focus goes to the memo.
    void Show();
    // Close: counters, histories, every key, the cut-off when newer, the clean-up.
    void Close();
    // The pickers moved: the cut-off becomes their date and time.
    void PickersChanged();
    // Commits the texts typed into the two history combos, as ending their edit would.
    void CommitTypedFormats();

    bool FirstShowDone() const { return !first_show_pending_; }
    bool Mode() const { return mode_; }
    bool ModeSpUser() const { return mode_sp_user_; }
    const ListFilePaths& ListPaths() const { return list_paths_; }
    // The kinds of file extensions, with what the settings file adds to each.
    const FileKindTable& FileKinds() const { return file_kinds_; }
    TSetting& Ini() { return ini_; }
    TSetting& IniMJ() { return ini_mj_; }

    // Copy-run state: the cut-off of the older-file filter, the newest file date a run saw
    // (both "yyyy/mm/dd hh:nn:ss") and the current shot date ("yyyy/mm/dd").
    const std::string& LastCopyCutoff() const { return last_copy_cutoff_; }
    const std::string& NewestFileDate() const { return newest_file_date_; }
    void SetNewestFileDate(const std::string& text) { newest_file_date_ = text; }
    std::string CurrentShotDate;
    TShotCounts ShotCounts;

    // ImgCount.txt of the application folder and its working copy in the temporary folder.
    const std::string& ImgCountPath() const { return img_count_path_; }
    const std::string& ImgCountTempPath() const { return img_count_temp_path_; }

  private:
    void RestoreHistories();
    void RestoreGeometry();
    void RestoreSettings(const MainWindowSettings& settings);
    void RestoreCutoff(const MainWindowSettings& settings);
    // Tells the user once which stored settings could not be used.
    void ReportProblems(const std::vector<SettingsProblem>& problems);
    void SaveSettings();

    TFrmDCMain& w_;
    TSetting ini_;
    TSetting ini_mj_;
    std::string app_;
    bool first_show_pending_ = true;
    bool mode_ = false;
    bool mode_sp_user_ = false;
    int app_ver_ = 100;
    ListFilePaths list_paths_;
    FileKindTable file_kinds_;
    std::string last_copy_cutoff_;
    std::string newest_file_date_;
    std::string img_count_path_;
    std::string img_count_temp_path_;
};

}  // namespace pelko
