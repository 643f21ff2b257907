#include "app/main_lifecycle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/frm_dc_main.h"
#include "copy/delete_old_files.h"
#include "naming/camera_model.h"
#include "naming/format_help.h"
#include "naming/naming_modes.h"
#include "support/file_ops.h"

namespace pelko {

namespace {

constexpr const char* kSection = "FrmDCMain";
constexpr const char* kDefaultUserFolders[] = {"ここへ作成するフォルダ名を入力して下さい",
                                               "%Dyymmdd"};
constexpr const char* kDefaultUserFormat = "%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N";
constexpr const char* kOldFiles[] = {"AddExif.exe", "GetExif.exe", "GetExif.ifo", "xExif.dfc"};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QString& text) {
    return text.toStdString();
}

// Lines of a text file, CR LF or LF, at most 1 MiB read; empty when missing.
std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    if (!FileExists(path)) return lines;
    std::ifstream in(path, std::ios::binary);
    std::string text(1 << 20, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    const std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines)
            out << line << "\r\n";
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
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

    mode_ = ini_.ReadBool("Mode", false);
    mode_sp_user_ = ini_.ReadBool("ModeSpUser", false);
    const std::string prefix = data + "/" + (mode_ ? w_.Context().computer_name + "_" : "U");
    list_paths_ = {prefix + "Folder.txt", prefix + "Format.txt", prefix + "CopySet.txt",
                   prefix + "CopySet.ini"};
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
        QGuiApplication::setApplicationDisplayName(QStringLiteral("PelkoCopy"));
        RestoreHistories();
        RestoreGeometry();
        RestoreSettings();
        RestoreCutoff();
        if (app_ver_ < kAppVer) {
            // Release notes: the application folder's copy, else the one beside the program.
            std::string readme = app_ + "/Readme.txt";
            if (!FileExists(readme)) readme = FolderOf(ExecutablePath()) + "/Readme.txt";
            if (FileExists(readme)) OpenDocument(w_.Shell(), readme, "", false);
        }
        w_.tmrDriveCheckTimer();
        w_.lblProcessTime->clear();
        w_.lblProcessTime->setVisible(false);
    }
    w_.memBikou->setFocus(Qt::OtherFocusReason);
}

void TMainLifecycle::RestoreHistories() {
    std::vector<std::string> folders = ReadLines(list_paths_.user_folder);
    if (!FileExists(list_paths_.user_folder)) {
        folders.assign(std::begin(kDefaultUserFolders), std::end(kDefaultUserFolders));
    }
    w_.cboUserFolder->SetLines(ToQt(folders));
    std::vector<std::string> formats = ReadLines(list_paths_.user_format);
    if (!FileExists(list_paths_.user_format)) formats = {kDefaultUserFormat};
    w_.cboUserFmt->SetLines(ToQt(formats));
}

void TMainLifecycle::RestoreGeometry() {
    const int top = ini_.ReadInteger("FormTop", 100);
    const int left = ini_.ReadInteger("FormLeft", 100);
    const int width = ini_.ReadInteger("FormWidth", 820);
    const int height = ini_.ReadInteger("FormHeight", 600);
    const bool maximized = ini_.ReadInteger("WindowMaxmized", 1) == 1;
    w_.move(left, top);
    w_.resize(std::max(width, TFrmDCMain::kMinWidth), std::max(height, TFrmDCMain::kMinHeight));
    if (mode_ || mode_sp_user_) {
        // The shared copy of the position wins on this computer.
        const std::string name = w_.Context().computer_name;
        const int shared_top = ini_mj_.ReadInteger(name + "_Top", 100);
        const int shared_left = ini_mj_.ReadInteger(name + "_Left", 100);
        const int shared_height = ini_mj_.ReadInteger(name + "_Height", 300);
        w_.move(shared_left, shared_top);
        w_.resize(w_.width(), std::max(shared_height, TFrmDCMain::kMinHeight));
    }
    if (maximized) w_.setWindowState(w_.windowState() | Qt::WindowMaximized);

    w_.SetLeftPanelWidth(ini_.ReadInteger("pnlLeft", 840));
    const int defaults[] = {200, 300, 70, 100};
    std::vector<int> widths;
    for (int i = 0; i < 4; ++i) {
        widths.push_back(ini_.ReadInteger("GridW" + std::to_string(i), defaults[i]));
    }
    w_.grdList->SetColumnWidths(widths);
}

void TMainLifecycle::RestoreSettings() {
    const std::pair<const char*, TPathLabel*> destinations[] = {
        {"DestRaw", w_.lblDestRaw}, {"DestJpg", w_.lblDestJpg}, {"DestOther", w_.lblDestOther}};
    for (const auto& [key, label] : destinations) {
        const std::string folder = ini_.ReadString(key, "");
        // A folder that is gone shows empty rather than failing at the copy.
        label->SetPath(FolderExists(folder) ? Q(folder) : QString());
    }
    w_.chkReMove->setChecked(ini_.ReadBool("CopyAfterReMove", false));
    w_.chkAutoRestore->setChecked(ini_.ReadBool("AppAutoRestore", false));
    w_.chkLastDateExec->setChecked(ini_.ReadBool("LastDateExec", false));
    w_.chkExecExifDate->setChecked(ini_.ReadBool("ExecExifDate", false));
    w_.chkLock->setChecked(ini_.ReadBool("SettingLock", false));
    w_.chkLockClick();

    auto clamp_mode = [](int value, int count) { return value >= 0 && value < count ? value : 0; };
    w_.cboMakeFolder->setCurrentIndex(
        clamp_mode(ini_.ReadInteger("MakeFolder", 0), w_.cboMakeFolder->count()));
    w_.cboFileName->setCurrentIndex(
        clamp_mode(ini_.ReadInteger("FileName", 0), w_.cboFileName->count()));

    if (mode_ || mode_sp_user_) {
        ShotCounts.k5qt = ini_mj_.ReadInteger("K5QT Count", 0);
        ShotCounts.k5rv = ini_mj_.ReadInteger("K5RV Count", 0);
        ShotCounts.k01 = ini_mj_.ReadInteger("K-01 Count", 0);
        const std::string memo = app_ + "/Memo.txt";
        if (FileExists(memo)) {
            w_.memBikou->setPlainText(ToQt(ReadLines(memo)).join(QLatin1Char('\n')));
        }
    }
    app_ver_ = ini_.ReadInteger("AppVer", 100);
}

void TMainLifecycle::RestoreCutoff() {
    const DateTime now = w_.Clock().Now();
    const std::optional<DateTime> stored =
        ParseDateTimeText(ini_.ReadString("LastCopyDateTime", now.ToText()));
    const DateTime cutoff = stored ? *stored : now;
    last_copy_cutoff_ = cutoff.ToText();
    newest_file_date_ = last_copy_cutoff_;
    const QDateTime shown = ToQDateTime(cutoff);
    const QSignalBlocker block_date(w_.dtpLCDate);
    const QSignalBlocker block_time(w_.dtpLCTime);
    w_.dtpLCDate->setDate(shown.date());
    w_.dtpLCTime->setTime(shown.time());
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
    if (FileExists(img_count_temp_path_)) FileCopy(img_count_temp_path_, img_count_path_, true);

    for (const auto& [combo, path] : {std::pair{w_.cboUserFolder, list_paths_.user_folder},
                                      std::pair{w_.cboUserFmt, list_paths_.user_format}}) {
        if (combo->count() > 0) WriteLines(path, FromQt(combo->Lines()));
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
        WriteLines(app_ + "/Memo.txt", memo);
    }
}

void TMainLifecycle::SaveSettings() {
    ini_.WriteInteger("AppVer", kAppVer);
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
    ini_.WriteString("DestRaw", S(w_.lblDestRaw->Path()));
    ini_.WriteString("DestJpg", S(w_.lblDestJpg->Path()));
    ini_.WriteString("DestOther", S(w_.lblDestOther->Path()));
    ini_.WriteBool("CopyAfterReMove", w_.chkReMove->isChecked());
    ini_.WriteBool("AppAutoRestore", w_.chkAutoRestore->isChecked());
    ini_.WriteBool("LastDateExec", w_.chkLastDateExec->isChecked());
    ini_.WriteBool("ExecExifDate", w_.chkExecExifDate->isChecked());
    ini_.WriteBool("SettingLock", w_.chkLock->isChecked());
    ini_.WriteInteger("MakeFolder", w_.cboMakeFolder->currentIndex());
    ini_.WriteInteger("FileName", w_.cboFileName->currentIndex());
}

}  // namespace pelko
