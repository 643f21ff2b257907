#pragma once

// The dialog service and the shell interface on the desktop: Qt message boxes, input box and
// file dialogs, and QDesktopServices for the "open" verb.

#include <QPointer>
#include <QWidget>

#include "support/dialog_service.h"
#include "support/platform.h"

namespace pelko {

class TQtDialogService final : public IDialogService {
  public:
    // owner: the window the dialogs are modal to (may be null); app_folder: where CardInfo.ini
    // lives.
    TQtDialogService(QWidget* owner, std::string app_folder)
        : owner_(owner), app_folder_(std::move(app_folder)) {}

    MsgAnswer MessageBox(MsgKind kind, const std::string& title, const std::string& text,
                         MsgButtons buttons) override;
    std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                        const std::string& initial) override;
    std::optional<std::string> PickFolder(const std::string& title,
                                          const std::string& start_folder) override;
    std::optional<std::string> OpenFile(const std::string& title, const std::string& start_folder,
                                        const std::string& filter) override;
    // TFrmSelCard over CardInfo.ini of the application folder; TFrmKind.
    std::string SelectCard() override;
    int SelectProcessing() override;

  private:
    QPointer<QWidget> owner_;
    std::string app_folder_;
};

// Loads Qt's Japanese texts (qtbase_ja.qm from Qt's translations folder, or from `folder` when
// given), so the standard buttons and dialogs read Japanese as the rest of the program does.
// False, and Qt's English kept, when the file is missing.
bool InstallQtTranslations(const QString& folder = {});

class TQtShell final : public IShell {
  public:
    // Opens the file with the desktop's application for it; params are not passed on.
    bool Open(const std::string& file_name, const std::string& params) override;
};

}  // namespace pelko
