#pragma once

// The main window's life: what its creation prepares, what its first showing restores and what
// its closing saves, with the files and keys of the application folder. Works on the settings
// value through the window's view, so its rules are tested without widgets.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "copy/card_statistics.h"
#include "copy/copy_sets.h"
#include "copy/copy_settings.h"
#include "naming/destination.h"
#include "support/setting.h"

namespace pelko {

class TMainLifecycle {
  public:
    // context: every member set.
    TMainLifecycle(IMainView& view, const TMainContext& context);

    // Creation: files of the application folder, the mode switches, the mode lists' paths.
    void Create();
    // The restore, at the first show only; true when it ran.
    bool Show();
    // Close: counters, histories, every key, the cut-off when newer, the notes, the clean-up.
    void Close();
    // The pickers moved: the cut-off becomes their date and time.
    void PickersChanged(const DateTime& cutoff);

    // The settings in force: what was restored, with what the controls hold now.
    MainWindowSettings Settings() const;

    bool FirstShowDone() const { return !first_show_pending_; }
    bool Mode() const { return restored_.mode; }
    bool ModeSpUser() const { return restored_.mode_sp_user; }
    const ListFilePaths& ListPaths() const { return list_paths_; }
    // The copy sets, listed from the first show on.
    CopySetList& CopySets() { return *copy_sets_; }
    TSetting& Ini() { return ini_; }

    // The date texts a run starts from (LastCopyCutoff, NewestFileDate, CurrentShotDate), and
    // those a run ended with.
    NamingState RunState() const;
    void TakeRunState(const NamingState& state);
    // The shot counters kept in PelkoCopy.ini with Mode or ModeSpUser.
    TShotCounts ShotCounts;
    // The shot counters and statistics, with Mode or ModeSpUser from creation on; else null.
    TCardStatistics* Statistics() { return statistics_.get(); }

  private:
    MainWindowLayout ReadLayout();
    void WriteLayout(const MainWindowLayout& layout);
    // Tells the user once which stored settings could not be used.
    void ReportProblems(const std::vector<SettingsProblem>& problems);

    IMainView& view_;
    const TMainContext& context_;
    TSetting ini_;
    TSetting ini_mj_;
    const std::string app_;
    bool first_show_pending_ = true;
    // Mode, ModeSpUser, the file kinds and AppVer as read; the controls' fields as restored.
    MainWindowSettings restored_;
    ListFilePaths list_paths_;
    std::optional<CopySetList> copy_sets_;
    std::string last_copy_cutoff_;
    std::string newest_file_date_;
    std::string current_shot_date_;
    std::string img_count_path_;
    std::string img_count_temp_path_;
    std::unique_ptr<TCardStatistics> statistics_;
};

}  // namespace pelko
