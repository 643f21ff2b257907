#pragma once

// The copy command over the card and the folder command over any folder, as the main window
// runs them: the questions before a run, the window's state during it (settings, start buttons
// and drive check off, busy cursor, Esc stops), the run's events on the window's controls, and
// the question when the window closes during a run.

#include <QObject>
#include <functional>
#include <string>

#include "app/copy_job.h"
#include "copy/copy_run.h"
#include "copy/result_row.h"

class QAbstractButton;
class QLabel;
class QProgressBar;
class QShortcut;
class QTimer;
class QWidget;

namespace pelko {

class IDialogService;
class TSetting;

inline constexpr const char* kConfirmTitle = "確認";
inline constexpr const char* kInformationTitle = "情報";
inline constexpr const char* kErrorTitle = "エラー";
inline constexpr const char* kUnreadableFoldersText = "読み込めないフォルダがありました";
inline constexpr const char* kCloseDuringRunText =
    "コピー処理中です。\r\n処理を中止して終了しますか？";

// Light pink behind the speed line once a run has ended.
inline constexpr int kSpeedFinishedRgb = 0xFFCAFF;

class TRunCommands : public QObject {
    Q_OBJECT

  public:
    struct Controls {
        QWidget* window = nullptr;
        QWidget* settings_panel = nullptr;   // pnlCtrl
        QAbstractButton* execute = nullptr;  // btnExecute
        QAbstractButton* rename = nullptr;   // btnReName
        QAbstractButton* eject = nullptr;    // btnEject: never while a run works
        QTimer* drive_check = nullptr;       // tmrDriveCheck
        QProgressBar* progress = nullptr;    // pbBar
        QLabel* progress_text = nullptr;     // status panel 1
        QLabel* status = nullptr;            // status panel 2
        QLabel* speed = nullptr;             // lblProcessTime
        // The result grid.
        std::function<void()> reset_grid;
        std::function<void(int row)> add_row;
        std::function<void(int row, const TResultRow& cells)> set_row;
        // The card folder shown (lblSourcePath).
        std::function<std::string()> card_folder;
        // The run's context from the window's settings, and its dates and speed line back
        // afterwards.
        std::function<CopyRunContext()> make_context;
        std::function<void(const CopyRunContext&)> take_context;
        // Before a run: the typed formats go into their histories.
        std::function<void()> commit_formats;
        // After a run: the drive check once, so the copy command follows the card again.
        std::function<void()> check_drives;
    };

    // settings: the window's settings, where the folder command keeps DirSelUser.
    TRunCommands(IDialogService& dialogs, TSetting& settings, Controls controls,
                 QObject* parent = nullptr);
    ~TRunCommands() override;

    // btnExecuteClick: copies the card's files to the destinations.
    void ExecuteCard();
    // btnReNameClick: asks copy or rename, confirms, picks a folder and processes it. With a
    // folder given (one the program was started with), that folder instead of the picker's.
    void ExecuteFolder(const std::string& given_folder = {});
    // Esc: the run stops before its next file.
    void Abort();
    bool Running() const { return job_.Running(); }
    // The window is closing: true when it may. During a run asks whether to stop it (unless ask is
    // false); Yes stops it and waits until what was copied is committed.
    bool CanClose(bool ask = true);

    TCopyJob& Job() { return job_; }

  signals:
    // A run ended and the window shows its last state.
    void runFinished();

  private:
    void StartRun(CopyRunContext context, const std::string& source, RunSourceKind kind);
    void SetIdle(bool idle);
    // The busy cursor, and the window's title kept to be given back.
    void SetBusyLook(bool busy);
    void OnFinished();

    IDialogService& dialogs_;
    TSetting& settings_;
    Controls controls_;
    TCopyJob job_;
    QShortcut* esc_ = nullptr;
    QString idle_title_;
};

}  // namespace pelko
