#pragma once

// TFrmSCFSeiri, "サイドカーファイルの整理": lists the sidecar files left without their picture
// under one root, each with the move or deletion proposed for it, and carries the list out. The
// searches and the carry-out run on a worker (Esc stops them); the settings live in section
// FrmSCFSeiri of the per-computer ini file.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/sidecar_job.h"
#include "copy/file_kind.h"
#include "sidecar/sidecar_list.h"
#include "support/dialog_service.h"
#include "support/dir_selecter.h"
#include "support/setting.h"
#include "ui/path_label.h"
#include "ui/result_grid.h"

namespace pelko {

class TSidecarGridModel;

// What the window is given by its opener.
struct TSidecarWindowContext {
    IDialogService* dialogs = nullptr;  // must be set
    std::string app_folder;
    std::string computer_name;
    // Both roots start here while nothing is stored: the main window's RAW destination.
    std::string default_folder;
    // The picture kinds, with what the settings add to them.
    PictureExtensions extensions;
};

// The picture extensions of the RAW and JPEG kinds, with those the table adds.
PictureExtensions PictureExtensionsOf(const FileKindTable& kinds);

class TFrmSCFSeiri : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kCaption = "サイドカーファイルの整理";
    static constexpr int kMinWidth = 640;
    static constexpr int kMinHeight = 360;

    explicit TFrmSCFSeiri(TSidecarWindowContext context, QWidget* parent = nullptr);
    ~TFrmSCFSeiri() override;

    QLabel* lblSideCarCaption = nullptr;
    TPathLabel* lblSideCarDir = nullptr;
    QLabel* lblPicCaption = nullptr;
    TPathLabel* lblPicDir = nullptr;
    QPushButton* btnSideCar = nullptr;
    QPushButton* btnPic = nullptr;
    QPushButton* btnCheck = nullptr;
    QPushButton* btnExecute = nullptr;
    QPushButton* btnClose = nullptr;
    QCheckBox* chkUseJPEG = nullptr;
    QCheckBox* chkDeleteXmp = nullptr;
    QLabel* lblProgress = nullptr;
    TGridView* grdList = nullptr;
    QStatusBar* stbInfo = nullptr;

    // The rows as they stand (column 3 filled as the carry-out goes).
    const std::vector<SidecarRow>& Rows() const;
    // A search or the carry-out is going on.
    bool Busy() const { return job_.Running(); }
    TSetting& Ini() { return ini_; }

  public slots:
    void ClearList();
    void btnSideCarClick();
    void btnCheckClick();
    void btnExecuteClick();
    void btnCloseClick();

  public:
    void FormShow();
    void FormClose();
    // Closes through done(): a running carry-out is stopped (after asking) and the settings saved.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void SetBusy(bool busy);
    void ShowProgress();
    void CheckFinished();
    void ExecuteFinished();

    TSidecarWindowContext context_;
    IDialogService& dialogs_;
    TSetting ini_;
    TDirSelecter DirSel;
    TSidecarGridModel* model_ = nullptr;
    TSidecarJob job_;
    QTimer progress_timer_;
    bool carrying_out_ = false;
    bool closed_ = false;
    // Shared with the worker: what the searches found so far, the check's result, the rows the
    // carry-out works on and how many of them are done.
    std::atomic<std::size_t> found_sidecars_{0};
    std::atomic<std::size_t> found_pictures_{0};
    SidecarCheckResult check_result_;
    std::vector<SidecarRow> work_rows_;
    std::atomic<std::size_t> rows_done_{0};
    std::size_t rows_shown_ = 0;
};

}  // namespace pelko
