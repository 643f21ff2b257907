#include "app/main_lifecycle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "app/frm_dc_main.h"
#include "copy/copy_settings.h"
#include "copy/delete_old_files.h"
#include "naming/camera_model.h"
#include "naming/format_help.h"
#include "naming/list_file.h"
#include "naming/naming_modes.h"
#include "support/file_ops.h"

namespace pelko {

namespace {

constexpr const char* kSection = "FrmDCMain";
constexpr const char* kOldFiles[] = {"AddExif.exe", "GetExif.exe", "GetExif.ifo", "xExif.dfc"};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QString& text) {
    return text.toStdString();
}

QStringList ToQt(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& line : lines)
        list << Q(line);
    return list;
}

std::vector<std::string> FromQt(const QStringList& list) {
    std::vector<std::string> lines;
    for (const QString& line : list)
        lines.push_back(S(line));
    return lines;
}

QDateTime ToQDateTime(const DateTime& dt) {
    return {QDate(dt.year, dt.month, dt.day), QTime(dt.hour, dt.minute, dt.second)};
}

}  // namespace

void ApplySettingLock(TFrmDCMain& w, bool locked) {
    for (QWidget* control :
         {static_cast<QWidget*>(w.cboCopySet), static_cast<QWidget*>(w.cboMakeFolder),
          static_cast<QWidget*>(w.cboUserFolder), static_cast<QWidget*>(w.cboFileName),
          static_cast<QWidget*>(w.cboUserFmt), static_cast<QWidget*>(w.chkReMove),
          static_cast<QWidget*>(w.chkAutoRestore), static_cast<QWidget*>(w.chkExecExifDate),
          static_cast<QWidget*>(w.chkLastDateExec), static_cast<QWidget*>(w.dtpLCDate),
          static_cast<QWidget*>(w.dtpLCTime)}) {
        control->setEnabled(!locked);
    }
    for (QWidget* button : {w.btnOverwriteCopySet, w.btnAddCopySet, w.btnDelCopySet, w.btnDestRaw,
                            w.btnDestJpeg, w.btnDestOther, w.btnDelFlder, w.btnDelFmt}) {
        button->setVisible(!locked);
    }
}

TMainLifecycle::TMainLifecycle(TFrmDCMain& window)
    : w_(window),
      ini_(kSection, FormBounds{100, 100, 820, 600}, kWindowMaximized),
      ini_mj_(kSection, FormBounds{100, 100, 820, 600}) {
    const TMainContext& context = w_.Context();
    app_ = context.app_folder;
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

    const MainWindowSettings switches =
        ReadMainWindowSettings(ini_, app_, static_cast<std::vector<std::string>*>(nullptr));
    mode_ = switches.mode;
    mode_sp_user_ = switches.mode_sp_user;
    list_paths_ = MakeListFilePaths(app_, mode_, w_.Context().computer_name);
    for (QWidget* statistics : {static_cast<QWidget*>(w_.lblK5), static_cast<QWidget*>(w_.lblK20D),
                                static_cast<QWidget*>(w_.lblAkCap)}) {
        statistics->setVisible(mode_);
    }
    w_.btnOpenMDB->setVisible(mode_);

    w_.cboMakeFolder->clear();
    for (const ModeItem& item : FolderModeItems()) {
        w_.cboMakeFolder->AddItem(Q(item.caption), Q(item.description));
    }
    w_.cboFileName->clear();
    for (const ModeItem& item : FileNameModeItems(w_.Clock().Now())) {
        w_.cboFileName->AddItem(Q(item.caption), Q(item.description));
    }

    w_.ResetResultGrid();
    w_.memBikou->clear();
    CurrentShotDate = w_.Clock().Now().DateText();

    img_count_path_ = app_ + "/ImgCount.txt";
    img_count_temp_path_ = w_.Context().temp_folder + "/ImgCount.txt";
    if (FileExists(img_count_path_)) FileCopy(img_count_path_, img_count_temp_path_, true);
}

void TMainLifecycle::Show() {
    if (first_show_pending_) {
        first_show_pending_ = false;
        w_.setWindowTitle(QString::fromUtf8(TFrmDCMain::kCaption));
        std::vector<SettingsProblem> problems;
        const MainWindowSettings settings = ReadMainWindowSettings(ini_, app_, problems);
        RestoreHistories();
        RestoreGeometry();
        RestoreSettings(settings);
        RestoreCutoff(settings);
        ReportProblems(problems);
        if (app_ver_ < kAppVerCurrent) {
            // Release notes: the application folder's copy, else the one beside the program.
            std::string readme = app_ + "/Readme.txt";
            if (!FileExists(readme)) readme = FolderOf(ExecutablePath()) + "/Readme.txt";
            if (FileExists(readme)) OpenDocument(w_.Shell(), readme, "", false);
        }
        w_.cboMakeFolderClick();
        w_.tmrDriveCheckTimer();
        w_.lblProcessTime->clear();
        w_.lblProcessTime->setVisible(false);
    }
    w_.memBikou->setFocus(Qt::OtherFocusReason);
}

void TMainLifecycle::RestoreHistories() {
    w_.cboUserFolder->SetLines(
        ToQt(LoadHistory(list_paths_.user_folder, DefaultUserFolderHistory())));
    w_.cboUserFmt->SetLines(ToQt(LoadHistory(list_paths_.user_format, DefaultUserFormatHistory())));
}

void TMainLifecycle::RestoreGeometry() {
    const int top = ini_.ReadInteger("FormTop", 100);
    const int left = ini_.ReadInteger("FormLeft", 100);
    const int width = ini_.ReadInteger("FormWidth", 820);
    const int height = ini_.ReadInteger("FormHeight", 600);
    const bool maximized = ini_.ReadInteger("WindowMaxmized", 1) == 1;
    FormBounds bounds{top, left, std::max(width, TFrmDCMain::kMinWidth),
                      std::max(height, TFrmDCMain::kMinHeight)};
    if (mode_ || mode_sp_user_) {
        // The shared copy of the position wins on this computer.
        const std::string name = w_.Context().computer_name;
        bounds.top = ini_mj_.ReadInteger(name + "_Top", 100);
        bounds.left = ini_mj_.ReadInteger(name + "_Left", 100);
        bounds.height =
            std::max(ini_mj_.ReadInteger(name + "_Height", 300), TFrmDCMain::kMinHeight);
    }
    // A position stored on a screen that is gone (or a damaged value) must not hide the window:
    // its top left corner stays on the screen with a strip of the window beside it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        constexpr int kVisibleStrip = 100;
        const QRect area = screen->geometry();
        bounds.left = std::clamp(bounds.left, 0, std::max(0, area.width() - kVisibleStrip));
        bounds.top =
            std::clamp(bounds.top, 0, std::max(0, area.height() - kTaskbarHeight - kVisibleStrip));
    }
    w_.move(bounds.left, bounds.top);
    w_.resize(bounds.width, bounds.height);
    if (maximized) w_.setWindowState(w_.windowState() | Qt::WindowMaximized);

    w_.SetLeftPanelWidth(ini_.ReadInteger("pnlLeft", 840));
    const int defaults[] = {200, 300, 70, 100};
    std::vector<int> widths;
    for (int i = 0; i < 4; ++i) {
        widths.push_back(ini_.ReadInteger("GridW" + std::to_string(i), defaults[i]));
    }
    w_.grdList->SetColumnWidths(widths);
    // Until widths are saved, the destination column takes the grid's spare width.
    w_.grdList->SetStretchColumn(ini_.ReadInteger("GridW1", -1) < 0 ? 1 : -1);
}

void TMainLifecycle::RestoreSettings(const MainWindowSettings& settings) {
    file_kinds_ = settings.file_kinds;
    const CopySettings& copy = settings.copy;
    const std::pair<const std::string*, TPathLabel*> destinations[] = {
        {&copy.dest_raw, w_.lblDestRaw},
        {&copy.dest_jpg, w_.lblDestJpg},
        {&copy.dest_other, w_.lblDestOther}};
    for (const auto& [folder, label] : destinations) {
        // A folder that is gone shows empty rather than failing at the copy.
        label->SetPath(FolderExists(*folder) ? Q(*folder) : QString());
    }
    w_.chkReMove->setChecked(copy.remove_after_copy);
    w_.chkAutoRestore->setChecked(settings.auto_restore);
    w_.chkLastDateExec->setChecked(settings.skip_older);
    w_.chkExecExifDate->setChecked(settings.exif_date);
    w_.chkLock->setChecked(settings.setting_lock);
    w_.chkLockClick();

    // The loader clamps the modes to the lists' lengths.
    w_.cboMakeFolder->setCurrentIndex(copy.folder_mode);
    w_.cboFileName->setCurrentIndex(copy.file_name_mode);

    if (mode_ || mode_sp_user_) {
        ShotCounts.k5qt = ini_mj_.ReadInteger("K5QT Count", 0);
        ShotCounts.k5rv = ini_mj_.ReadInteger("K5RV Count", 0);
        ShotCounts.k01 = ini_mj_.ReadInteger("K-01 Count", 0);
        const std::string memo = app_ + "/Memo.txt";
        if (FileExists(memo)) {
            w_.memBikou->setPlainText(ToQt(LoadListFile(memo)).join(QLatin1Char('\n')));
        }
    }
    app_ver_ = settings.app_ver;
}

void TMainLifecycle::RestoreCutoff(const MainWindowSettings& settings) {
    // Missing or unreadable: now, for the text and for both pickers.
    const std::optional<DateTime> stored = ParseDateTimeText(settings.last_copy_date_time);
    const DateTime cutoff = stored ? *stored : w_.Clock().Now();
    last_copy_cutoff_ = cutoff.ToText();
    newest_file_date_ = last_copy_cutoff_;
    const QDateTime shown = ToQDateTime(cutoff);
    const QSignalBlocker block_date(w_.dtpLCDate);
    const QSignalBlocker block_time(w_.dtpLCTime);
    w_.dtpLCDate->setDate(shown.date());
    w_.dtpLCTime->setTime(shown.time());
}

void TMainLifecycle::ReportProblems(const std::vector<SettingsProblem>& problems) {
    if (problems.empty()) return;
    std::string text = "保存された設定のうち、次の項目は使用できないため空にしました。";
    for (const SettingsProblem& problem : problems) {
        text += "\n・" + (problem.key.empty() ? std::string("設定ファイル") : problem.key) + "：" +
                problem.message;
    }
    w_.Dialogs().Information("PelkoCopy", text);
}

void TMainLifecycle::PickersChanged() {
    last_copy_cutoff_ = S(w_.dtpLCDate->date().toString("yyyy/MM/dd")) + " " +
                        S(w_.dtpLCTime->time().toString("HH:mm:ss"));
}

void TMainLifecycle::CommitTypedFormats() {
    w_.cboUserFolder->Commit();
    w_.cboUserFmt->Commit();
}

void TMainLifecycle::Close() {
    // Never shown, never restored: saving now would overwrite the stored settings with blanks.
    if (first_show_pending_) return;
    if (FileExists(img_count_temp_path_)) FileCopy(img_count_temp_path_, img_count_path_, true);

    for (const auto& [combo, path] : {std::pair{w_.cboUserFolder, list_paths_.user_folder},
                                      std::pair{w_.cboUserFmt, list_paths_.user_format}}) {
        if (combo->count() > 0) SaveListFile(path, FromQt(combo->Lines()));
    }
    SaveSettings();
    if (newest_file_date_ > last_copy_cutoff_) {
        ini_.WriteString("LastCopyDateTime", newest_file_date_);
    }

    const int days = ini_.ReadInteger("AutoDelDay", 14);
    const std::string folder = ini_.ReadString("AutoDelFolder", "");
    DeleteOldFiles(folder, days, S(w_.lblDestJpg->Path()), w_.Clock().Now());

    if (mode_ || mode_sp_user_) {
        ini_mj_.WriteInteger("K5RV Count", ShotCounts.k5rv);
        ini_mj_.WriteInteger("K5QT Count", ShotCounts.k5qt);
        ini_mj_.WriteInteger("K-01 Count", ShotCounts.k01);
        const std::string name = w_.Context().computer_name;
        ini_mj_.WriteInteger(name + "_Top", w_.y());
        ini_mj_.WriteInteger(name + "_Left", w_.x());
        ini_mj_.WriteInteger(name + "_Height", w_.height());
        std::vector<std::string> memo;
        for (const QString& line : w_.memBikou->toPlainText().split(QLatin1Char('\n'))) {
            memo.push_back(S(line));
        }
        SaveListFile(app_ + "/Memo.txt", memo);
    }
}

void TMainLifecycle::SaveSettings() {
    MainWindowSettings settings;
    settings.copy.dest_raw = S(w_.lblDestRaw->Path());
    settings.copy.dest_jpg = S(w_.lblDestJpg->Path());
    settings.copy.dest_other = S(w_.lblDestOther->Path());
    settings.copy.folder_mode = std::max(0, w_.cboMakeFolder->currentIndex());
    settings.copy.file_name_mode = std::max(0, w_.cboFileName->currentIndex());
    settings.copy.remove_after_copy = w_.chkReMove->isChecked();
    settings.auto_restore = w_.chkAutoRestore->isChecked();
    settings.skip_older = w_.chkLastDateExec->isChecked();
    settings.exif_date = w_.chkExecExifDate->isChecked();
    settings.setting_lock = w_.chkLock->isChecked();
    WriteMainWindowSettings(ini_, settings);

    const bool maximized = w_.isMaximized();
    // A maximised window keeps its normal bounds, so un-maximising later restores them.
    const QRect bounds = maximized ? w_.normalGeometry() : QRect(w_.pos(), w_.size());
    ini_.WriteInteger("FormTop", bounds.top());
    ini_.WriteInteger("FormLeft", bounds.left());
    ini_.WriteInteger("FormWidth", bounds.width());
    ini_.WriteInteger("FormHeight", bounds.height());
    ini_.WriteInteger("WindowMaxmized", maximized ? 1 : 0);
    const std::vector<int> widths = w_.grdList->ColumnWidths();
    for (std::size_t i = 0; i < widths.size(); ++i) {
        ini_.WriteInteger("GridW" + std::to_string(i), widths[i]);
    }
    ini_.WriteInteger("pnlLeft", w_.LeftPanelWidth());
}

}  // namespace pelko
