#pragma once

// TFrmDCMain: the main window. It lays out and wires the controls; each concern lives one hop
// away (the lifecycle in TMainLifecycle, the commands in their own classes), and the described
// handler names stay here as one-line delegations.

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimeEdit>
#include <QTimer>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "app/main_view.h"
#include "support/dialog_service.h"
#include "support/platform.h"
#include "support/version.h"
#include "ui/flat_button.h"
#include "ui/gradient_panel.h"
#include "ui/item_combo.h"
#include "ui/path_label.h"
#include "ui/result_grid.h"
#include "ui/sort_combo.h"

namespace pelko {

class TMainCommands;
class TMainLifecycle;
class TNamingCommands;

class TFrmDCMain : public QMainWindow, public IMainView {
    Q_OBJECT

  public:
    static constexpr const char* kCaption = "Pelko File Copy  - Ver " PELKO_VERSION_TEXT;
    static constexpr int kMinWidth = 820;
    static constexpr int kMinHeight = 480;

    explicit TFrmDCMain(TMainContext context = {}, QWidget* parent = nullptr);
    ~TFrmDCMain() override;

    IDialogService& Dialogs() { return *dialogs_; }
    const IClock& Clock() const { return *clock_; }
    const TMainContext& Context() const { return context_; }
    TMainLifecycle& Lifecycle() { return *lifecycle_; }
    // The card detection and the copy and folder commands.
    TMainCommands& Commands() { return *commands_; }
    // The copy sets, history delete buttons, format help and model check.
    TNamingCommands& Naming() { return *naming_; }

    // Status bar panel 0..3 (panel 0 reads "処理").
    QLabel* StatusPanel(int index) const {
        return status_panels_.at(static_cast<std::size_t>(index));
    }
    void SetStatusText(int index, const QString& text);
    // Brings the window back from the taskbar, raises and activates it (a second start asks
    // for this).
    void RestoreAndRaise();
    // Closes as the close button does, for a quit signal: nobody may be there to answer, so a
    // run is stopped without the question.
    void CloseForSignal();

    // Controls, named as the components they are.
    QSplitter* splMain = nullptr;  // settings area above, grid below
    QSplitter* splTop = nullptr;   // pnlLeft beside the options
    QWidget* pnlCtrl = nullptr;    // every settings control
    TGradientPanel* pnlLeft = nullptr;
    QLabel* lblSourceCaption = nullptr;
    TPathLabel* lblSourcePath = nullptr;
    TFlatSpeedButton* btnEject = nullptr;
    QLabel* lblDestRawCaption = nullptr;
    QLabel* lblDestJpgCaption = nullptr;
    QLabel* lblDestOtherCaption = nullptr;
    TPathLabel* lblDestRaw = nullptr;
    TPathLabel* lblDestJpg = nullptr;
    TPathLabel* lblDestOther = nullptr;
    TFlatSpeedButton* btnDestRaw = nullptr;
    TFlatSpeedButton* btnDestJpeg = nullptr;
    TFlatSpeedButton* btnDestOther = nullptr;
    QLabel* lblMakeFolderCaption = nullptr;
    TItemCombo* cboMakeFolder = nullptr;
    TSortCombo* cboUserFolder = nullptr;
    TFlatSpeedButton* btnDelFlder = nullptr;
    QLabel* lblSampleFolder = nullptr;
    QLabel* lblFileNameCaption = nullptr;
    TItemCombo* cboFileName = nullptr;
    TSortCombo* cboUserFmt = nullptr;
    TFlatSpeedButton* btnDelFmt = nullptr;
    QLabel* lblSampleFileName = nullptr;
    QWidget* pnlOptions = nullptr;
    QLabel* lblCopySetCaption = nullptr;
    TSortCombo* cboCopySet = nullptr;
    TFlatSpeedButton* btnAddCopySet = nullptr;
    TFlatSpeedButton* btnOverwriteCopySet = nullptr;
    TFlatSpeedButton* btnDelCopySet = nullptr;
    QLabel* lblLCDateCaption = nullptr;
    QDateEdit* dtpLCDate = nullptr;
    QTimeEdit* dtpLCTime = nullptr;
    QCheckBox* chkReMove = nullptr;
    QCheckBox* chkExecExifDate = nullptr;
    QCheckBox* chkLastDateExec = nullptr;
    QCheckBox* chkAutoRestore = nullptr;
    QCheckBox* chkLock = nullptr;
    TGradientLabel* lblAkCap = nullptr;
    QLabel* lblK5 = nullptr;
    QLabel* lblK20D = nullptr;
    QPlainTextEdit* memBikou = nullptr;
    QPushButton* btnExecute = nullptr;
    QPushButton* btnReName = nullptr;
    QPushButton* btnCheckModelName = nullptr;
    QPushButton* btnFmtHelp = nullptr;
    QPushButton* btnSideCarSeiri = nullptr;
    QPushButton* btnOpenMDB = nullptr;
    QPushButton* btnClose = nullptr;
    TGridView* grdList = nullptr;
    TResultGridModel* grdListModel = nullptr;
    QProgressBar* pbBar = nullptr;
    QLabel* lblProcessTime = nullptr;
    QStatusBar* stbInfo = nullptr;
    QTimer* tmrDriveCheck = nullptr;

    // Width of pnlLeft as the user set it. The panel keeps it while the window grows and gives
    // way only while the window is too narrow for it and the options beside it.
    int LeftPanelWidth() const { return left_panel_width_; }
    void SetLeftPanelWidth(int width);

    // Writes the four header texts and cuts the grid to the header row.
    void ResetResultGrid();

    // IMainView over the controls.
    void GatherSettings(MainWindowSettings& settings) const override;
    void ShowSettings(const MainWindowSettings& settings) override;
    MainWindowLayout GatherLayout() const override;
    void ShowLayout(const MainWindowLayout& layout) override;
    std::string Memo() const override;
    void ShowMemo(const std::string& text) override;
    void ShowMode(bool mode) override;
    void ShowCutoff(const DateTime& cutoff) override;
    void ShowCopySets(const std::vector<std::string>& names) override;
    // The statistics view, callable from the run's thread: the labels change and the messages
    // appear on the window's own thread, one message at a time.
    void ShowCameraAverages(const std::string& k5, const std::string& k01) override;
    void ShowCardStatistics(const std::string& folder_label,
                            const std::string& file_label) override;
    void ReportStatisticsError(const std::string& text) override;
    // Only on the window's thread.
    std::string ChooseCard() override;
    // The first-show restore has run.
    bool FirstShowDone() const;

  public slots:
    void FormCreate();
    void FormShow();
    void btnCloseClick();
    void chkLockClick();
    void dtpLCDateChange();
    void btnDestRawClick();
    // Wired by the card and copy commands.
    void btnExecuteClick();
    void btnReNameClick();
    // Opens the sidecar tidy modally, its roots defaulting to the RAW destination.
    void btnSideCarSeiriClick();
    // Opens Battery.txt, Memo.txt, CardInfo.ini and PelkoData.db with the shell.
    void btnOpenMDBClick();
    void tmrDriveCheckTimer();
    void cboMakeFolderClick();
    void cboUserFmtClick();

  public:
    void FormClose();
    // Enter moves the focus on (Shift+Enter back) except inside the memo; true when handled.
    bool FormKeyPress(QKeyEvent* event);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    QWidget* BuildDestinations();
    QWidget* BuildOptions();
    QWidget* BuildCommands();
    QWidget* BuildResults();
    void BuildStatusBar();
    void WireHandlers();
    void ApplyLeftPanelWidth();
    // The lock and the modes applied to the controls, and the samples for the settings as they
    // stand.
    void RefreshNaming();
    // The window's key filter on the widget and everything below it.
    void WatchKeys(QWidget* widget);
    // The two sample labels as samples, or bold and maroon with the card statistics.
    void SetSampleLook(bool statistics);

    TMainContext context_;
    std::unique_ptr<IDialogService> own_dialogs_;
    std::unique_ptr<IShell> own_shell_;
    std::unique_ptr<IClock> own_clock_;
    IDialogService* dialogs_ = nullptr;
    IShell* shell_ = nullptr;
    const IClock* clock_ = nullptr;
    std::unique_ptr<TMainLifecycle> lifecycle_;
    std::unique_ptr<TNamingCommands> naming_;
    // Before the lifecycle in destruction: a run still going is stopped and committed while the
    // controls exist.
    std::unique_ptr<TMainCommands> commands_;
    std::array<QLabel*, 4> status_panels_{};
    // The caption of each user format box.
    std::map<const QObject*, QLabel*> user_captions_;
    bool closed_ = false;
    bool close_without_asking_ = false;
    int left_panel_width_ = 840;
    // Statistics messages waiting while one is shown.
    std::deque<std::string> statistics_errors_;
    bool showing_statistics_error_ = false;
};

}  // namespace pelko
