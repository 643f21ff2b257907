#include "app/qt_dialog_service.h"

#include "app/frm_kind.h"
#include "app/frm_sel_card.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <QTreeView>
#include <QUrl>
#include <memory>

namespace pelko {

namespace {

// The modification date in the file dialog's detail view (name, size, type, date).
constexpr int kDateColumn = 3;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

MsgAnswer TQtDialogService::MessageBox(MsgKind kind, const std::string& title,
                                       const std::string& text, MsgButtons buttons) {
    QMessageBox::Icon icon = QMessageBox::Information;
    if (kind == MsgKind::kConfirmation) icon = QMessageBox::Question;
    if (kind == MsgKind::kError) icon = QMessageBox::Critical;
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (buttons) {
        case MsgButtons::kOk:
            break;
        case MsgButtons::kYesNo:
            set = QMessageBox::Yes | QMessageBox::No;
            escape = QMessageBox::No;
            break;
        case MsgButtons::kYesCancel:
            set = QMessageBox::Yes | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
    }
    QMessageBox box(icon, Q(title), Q(text), set, owner_);
    box.setEscapeButton(escape);
    box.setDefaultButton(buttons == MsgButtons::kOk ? QMessageBox::Ok : QMessageBox::Yes);
    const int pressed = box.exec();
    switch (pressed) {
        case QMessageBox::Yes:
            return MsgAnswer::kYes;
        case QMessageBox::No:
            return MsgAnswer::kNo;
        case QMessageBox::Cancel:
            return MsgAnswer::kCancel;
        case QMessageBox::Ok:
            return MsgAnswer::kOk;
        default:
            // Closed by the window manager: as the service promises, the safe answer.
            return buttons == MsgButtons::kOk      ? MsgAnswer::kOk
                   : buttons == MsgButtons::kYesNo ? MsgAnswer::kNo
                                                   : MsgAnswer::kCancel;
    }
}

std::optional<std::string> TQtDialogService::InputBox(const std::string& title,
                                                      const std::string& prompt,
                                                      const std::string& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner_, Q(title), Q(prompt), QLineEdit::Normal, Q(initial), &ok);
    if (!ok) return std::nullopt;
    return text.toStdString();
}

std::optional<std::string> TQtDialogService::PickFolder(const std::string& title,
                                                        const std::string& start_folder) {
    QFileDialog dialog(owner_, Q(title), Q(start_folder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // Qt's own dialog (where the desktop offers none) gives its date column a fixed width that
    // cuts a Japanese date; it gets the width of its dates instead.
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        details->header()->setSectionResizeMode(kDateColumn, QHeaderView::ResizeToContents);
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QString folder = dialog.selectedFiles().value(0);
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdString();
}

std::optional<std::string> TQtDialogService::OpenFile(const std::string& title,
                                                      const std::string& start_folder,
                                                      const std::string& filter) {
    const QString file = QFileDialog::getOpenFileName(owner_, Q(title), Q(start_folder), Q(filter));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

bool InstallQtTranslations(const QString& folder) {
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    const QString from =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    if (!translator->load(QStringLiteral("qtbase_ja"), from)) return false;
    // Owned by the application from here on.
    return QCoreApplication::installTranslator(translator.release());
}

bool TQtShell::Open(const std::string& file_name, const std::string& /*params*/) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(Q(file_name)));
}

std::string TQtDialogService::SelectCard() {
    return ExecSelCard(app_folder_ + "/CardInfo.ini", owner_);
}

int TQtDialogService::SelectProcessing() {
    return ExecKind(owner_);
}

}  // namespace pelko
