#include "app/main_lifecycle.h"

#include <algorithm>

#include "copy/delete_old_files.h"
#include "naming/camera_model.h"
#include "naming/format_help.h"
#include "naming/list_file.h"
#include "support/file_ops.h"

namespace pelko {

namespace {

constexpr const char* kSection = "FrmDCMain";
constexpr const char* kOldFiles[] = {"AddExif.exe", "GetExif.exe", "GetExif.ifo", "xExif.dfc"};
constexpr int kGridColumns = 4;

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

}  // namespace

TMainLifecycle::TMainLifecycle(IMainView& view, const TMainContext& context)
    : view_(view),
      context_(context),
      ini_(kSection, FormBounds{100, 100, 820, 600}, kWindowMaximized),
      ini_mj_(kSection, FormBounds{100, 100, 820, 600}),
      app_(context.app_folder) {
    SettingPlaces places;
    places.app_folder = app_;
    places.computer_name = context.computer_name;
    ini_.SetPlaces(places);
    ini_mj_.SetPlaces(places);
    ini_.IniFileKind = TIniFileKind::fnComputerName;
    ini_.SetIniFileName("");
}

void TMainLifecycle::Create() {
    first_show_pending_ = true;
    ini_mj_.IniFileKind = TIniFileKind::fnUserDefine;
    ini_mj_.SetIniFileName(app_ + "/PelkoCopy.ini");

    // The application folder is made here, before its first file, not when it is looked up.
    FolderCreate(app_);
    WriteModelAliasFile(app_);
    WriteFormatHelpFile(app_);

    const std::string data = app_ + "/Data";
    FolderCreate(data);
    for (const char* history : {"UFolder.txt", "UFormat.txt"}) {
        const std::string old_place = app_ + "/" + history;
        if (FileExists(old_place)) FileMoveToFolder(old_place, data, true);
    }
    for (const char* old_file : kOldFiles) {
        const std::string path = app_ + "/" + old_file;
        if (FileExists(path)) FileDelete(path);
    }

    restored_.mode = ini_.ReadBool("Mode", false);
    restored_.mode_sp_user = ini_.ReadBool("ModeSpUser", false);
    list_paths_ = MakeListFilePaths(app_, restored_.mode, context_.computer_name);
    copy_sets_.emplace(list_paths_.copy_set_list, list_paths_.copy_set_ini);
    view_.ShowMode(restored_.mode);
    if (restored_.mode || restored_.mode_sp_user) {
        statistics_ =
            std::make_unique<TCardStatistics>(TCardStatistics::Places{app_, context_.temp_folder},
                                              restored_.mode, *context_.clock, view_, ShotCounts);
    }
    if (restored_.mode) {
        statistics_->OpenDatabase();
        statistics_->ShowCameraAverages();
    }
    current_shot_date_ = context_.clock->Now().DateText();

    img_count_path_ = app_ + "/ImgCount.txt";
    img_count_temp_path_ = context_.temp_folder + "/ImgCount.txt";
    if (FileExists(img_count_path_)) FileCopy(img_count_path_, img_count_temp_path_, true);
}

bool TMainLifecycle::Show() {
    if (!first_show_pending_) return false;
    first_show_pending_ = false;
    std::vector<SettingsProblem> problems;
    restored_ = ReadMainWindowSettings(ini_, app_, problems);
    // A folder that is gone shows empty rather than failing at the copy.
    for (std::string* folder :
         {&restored_.copy.dest_raw, &restored_.copy.dest_jpg, &restored_.copy.dest_other}) {
        if (!FolderExists(*folder)) folder->clear();
    }
    view_.ShowLayout(ReadLayout());
    view_.ShowSettings(restored_);
    // The displayed set is not applied: the window keeps what its own settings file holds.
    copy_sets_->Load(restored_.copy);
    view_.ShowCopySets(copy_sets_->Names());

    if (restored_.mode || restored_.mode_sp_user) {
        ShotCounts.k5qt = ini_mj_.ReadInteger("K5QT Count", 0);
        ShotCounts.k5rv = ini_mj_.ReadInteger("K5RV Count", 0);
        ShotCounts.k01 = ini_mj_.ReadInteger("K-01 Count", 0);
    }
    // The notes box is there in every mode, so its text is kept in every mode.
    const std::string memo = app_ + "/Memo.txt";
    if (FileExists(memo)) view_.ShowMemo(JoinLines(LoadListFile(memo)));

    // Missing or unreadable: now, for the text and for both pickers.
    const std::optional<DateTime> stored = ParseDateTimeText(restored_.last_copy_date_time);
    const DateTime cutoff = stored ? *stored : context_.clock->Now();
    last_copy_cutoff_ = cutoff.ToText();
    newest_file_date_ = last_copy_cutoff_;
    view_.ShowCutoff(cutoff);

    ReportProblems(problems);
    if (restored_.app_ver < kAppVerCurrent) {
        // Release notes: the application folder's copy, else the one beside the program.
        std::string readme = app_ + "/Readme.txt";
        if (!FileExists(readme)) readme = FolderOf(ExecutablePath()) + "/Readme.txt";
        if (FileExists(readme)) OpenDocument(*context_.shell, readme, "", false);
    }
    return true;
}

MainWindowLayout TMainLifecycle::ReadLayout() {
    MainWindowLayout layout;
    layout.bounds = {ini_.ReadInteger("FormTop", 100), ini_.ReadInteger("FormLeft", 100),
                     ini_.ReadInteger("FormWidth", 820), ini_.ReadInteger("FormHeight", 600)};
    layout.maximized = ini_.ReadInteger("WindowMaxmized", 1) == 1;
    if (restored_.mode || restored_.mode_sp_user) {
        // The shared copy of the position wins on this computer.
        const std::string& name = context_.computer_name;
        layout.bounds.top = ini_mj_.ReadInteger(name + "_Top", 100);
        layout.bounds.left = ini_mj_.ReadInteger(name + "_Left", 100);
        layout.bounds.height = ini_mj_.ReadInteger(name + "_Height", 300);
    }
    layout.left_panel = ini_.ReadInteger("pnlLeft", 840);
    // Stored widths are restored; without them the grid fills its width itself.
    constexpr int kMissing = -1;
    for (int i = 0; i < kGridColumns; ++i) {
        const int width = ini_.ReadInteger("GridW" + std::to_string(i), kMissing);
        if (width == kMissing) {
            layout.grid_widths.clear();
            break;
        }
        layout.grid_widths.push_back(width);
    }
    return layout;
}

void TMainLifecycle::WriteLayout(const MainWindowLayout& layout) {
    ini_.WriteInteger("FormTop", layout.bounds.top);
    ini_.WriteInteger("FormLeft", layout.bounds.left);
    ini_.WriteInteger("FormWidth", layout.bounds.width);
    ini_.WriteInteger("FormHeight", layout.bounds.height);
    ini_.WriteInteger("WindowMaxmized", layout.maximized ? 1 : 0);
    for (std::size_t i = 0; i < layout.grid_widths.size(); ++i) {
        ini_.WriteInteger("GridW" + std::to_string(i), layout.grid_widths[i]);
    }
    ini_.WriteInteger("pnlLeft", layout.left_panel);
}

void TMainLifecycle::ReportProblems(const std::vector<SettingsProblem>& problems) {
    if (!problems.empty())
        context_.dialogs->Information("PelkoCopy", SettingsProblemsTextJa(problems));
}

MainWindowSettings TMainLifecycle::Settings() const {
    MainWindowSettings settings = restored_;
    view_.GatherSettings(settings);
    return settings;
}

void TMainLifecycle::PickersChanged(const DateTime& cutoff) {
    last_copy_cutoff_ = cutoff.ToText();
}

NamingState TMainLifecycle::RunState() const {
    NamingState state;
    state.last_copy_cutoff = last_copy_cutoff_;
    state.newest_file_date = newest_file_date_;
    state.current_shot_date = current_shot_date_;
    return state;
}

void TMainLifecycle::TakeRunState(const NamingState& state) {
    newest_file_date_ = state.newest_file_date;
    current_shot_date_ = state.current_shot_date;
}

void TMainLifecycle::Close() {
    // Never shown, never restored: saving now would overwrite the stored settings with blanks.
    if (first_show_pending_) return;
    const IniWriteBatch batch;  // each settings file written once, however many keys change
    if (statistics_) statistics_->SaveShotCounts();
    if (FileExists(img_count_temp_path_)) FileCopy(img_count_temp_path_, img_count_path_, true);

    const MainWindowSettings settings = Settings();
    SaveHistories(list_paths_, settings);
    // The displayed set always takes the settings in force at close.
    copy_sets_->SaveList();
    if (!copy_sets_->Displayed().empty()) copy_sets_->Save(copy_sets_->Displayed(), settings.copy);
    WriteMainWindowSettings(ini_, settings);
    const MainWindowLayout layout = view_.GatherLayout();
    WriteLayout(layout);
    if (newest_file_date_ > last_copy_cutoff_) {
        ini_.WriteString("LastCopyDateTime", newest_file_date_);
    }

    const int days = ini_.ReadInteger("AutoDelDay", 14);
    const std::string folder = ini_.ReadString("AutoDelFolder", "");
    DeleteOldFiles(folder, days, settings.copy.dest_jpg, context_.clock->Now());

    if (settings.mode || settings.mode_sp_user) {
        ini_mj_.WriteInteger("K5RV Count", ShotCounts.k5rv);
        ini_mj_.WriteInteger("K5QT Count", ShotCounts.k5qt);
        ini_mj_.WriteInteger("K-01 Count", ShotCounts.k01);
        const std::string& name = context_.computer_name;
        ini_mj_.WriteInteger(name + "_Top", layout.bounds.top);
        ini_mj_.WriteInteger(name + "_Left", layout.bounds.left);
        ini_mj_.WriteInteger(name + "_Height", layout.bounds.height);
    }
    // An empty box leaves no file behind where there was none.
    const std::string memo_path = app_ + "/Memo.txt";
    const std::string memo = view_.Memo();
    if (!memo.empty() || FileExists(memo_path)) SaveListFile(memo_path, SplitLines(memo));
    if (settings.mode && statistics_) statistics_->CloseDatabase();
}

}  // namespace pelko
