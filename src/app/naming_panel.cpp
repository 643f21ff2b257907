#include "app/naming_panel.h"

#include "app/frm_dc_main.h"
#include "naming/destination.h"
#include "naming/user_format.h"

namespace pelko {

namespace {

constexpr const char* kSampleName = "IMGP0123.JPG";
constexpr const char* kSampleExt = ".JPG";

QString U(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

TNamingPanel::TNamingPanel(TFrmDCMain& window) : w_(window) {}

void TNamingPanel::ModesChanged() {
    const int folder_mode = w_.cboMakeFolder->currentIndex();
    w_.lblSampleFolder->setText(w_.cboMakeFolder->Description(folder_mode));
    const bool user_folder = folder_mode == kFolderModeUser || folder_mode == kFolderModeUserFormat;
    w_.cboUserFolder->setVisible(user_folder);
    w_.btnDelFlder->setVisible(user_folder && !w_.chkLock->isChecked());
    FolderTextChanged();

    const int name_mode = w_.cboFileName->currentIndex();
    const bool user_format = name_mode == kFileNameModeUserFormat;
    w_.cboUserFmt->setVisible(user_format);
    w_.btnDelFmt->setVisible(user_format && !w_.chkLock->isChecked());
    if (user_format) {
        FormatTextChanged();
    } else {
        w_.lblSampleFileName->setText(w_.cboFileName->Description(name_mode));
    }
}

void TNamingPanel::FolderTextChanged() {
    // Only an evaluated format has a sample; a plain folder name shows the mode's description.
    if (w_.cboMakeFolder->currentIndex() != kFolderModeUserFormat) return;
    const std::string folder =
        EvaluateUserFormat("", "", w_.cboUserFolder->currentText().toStdString(), w_.Clock().Now());
    w_.lblSampleFolder->setText(U("フォルダ名生成のサンプル　：　") +
                                QString::fromStdString(folder));
}

void TNamingPanel::FormatTextChanged() {
    const std::string name = EvaluateUserFormat(
        kSampleName, kSampleExt, w_.cboUserFmt->currentText().toStdString(), w_.Clock().Now());
    w_.lblSampleFileName->setText(U("ファイル名生成のサンプル　(例 IMGP0123.JPG)　→　") +
                                  QString::fromStdString(name));
}

}  // namespace pelko
