#include "app/frm_scf_seiri.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QColor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/accessible.h"

namespace pelko {

namespace {

constexpr const char* kSection = "FrmSCFSeiri";
constexpr const char* kTitle = "サイドカーファイルの整理";
constexpr const char* kFolderHint = "コピー先フォルダの指定";
constexpr const char* kNothingFound = "アンマッチのサイドカーファイルは有りませんでした";
constexpr const char* kNothingToDo = "処理するファイルがありません";
constexpr const char* kAlreadyDone = "整理済みです";
constexpr const char* kConfirmStart = "処理を開始しますか？";
constexpr const char* kCompleted = "処理が完了しました";
constexpr const char* kPictureRootMissing = "RAW JPEGファイルのルートフォルダがありません";
constexpr const char* kUnreadableFolders = "読み込めないフォルダがありました";
constexpr std::size_t kUnreadableShown = 10;
constexpr const char* kCloseDuringRun = "整理の処理中です。\r\n処理を中止して終了しますか？";
constexpr const char* kStatusText =
    "RAWファイルに対応する　*.spi　*.spd　*.xmp　ファイルが対象です";
constexpr int kDefaultWidths[4] = {250, 250, 60, 80};
// The progress line is brought up to date this often while a job runs.
constexpr int kProgressIntervalMs = 100;

QString U(const char* text) {
    return QString::fromUtf8(text);
}

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename W>
W* Named(W* widget, const char* object_name, const QString& accessible_name) {
    widget->setObjectName(QString::fromLatin1(object_name));
    widget->setAccessibleName(accessible_name);
    return widget;
}

}  // namespace

// The list: one row per proposed action, a failed outcome in red.
class TSidecarGridModel final : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<SidecarRow> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    void SetOutcome(std::size_t row, TSidecarOutcome outcome) {
        if (row >= rows_.size()) return;
        rows_[row].outcome = outcome;
        const int r = static_cast<int>(row);
        emit dataChanged(index(r, 3), index(r, 3));
    }
    const std::vector<SidecarRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) return {};
        const SidecarRow& row = rows_[static_cast<std::size_t>(index.row())];
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            return Q(SidecarCells(row)[static_cast<std::size_t>(index.column())]);
        }
        if (role == Qt::ForegroundRole && index.column() == 3 && row.Failed()) {
            return QColor(Qt::red);
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section > 3) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        const std::string_view text = kSidecarHeaders[section];
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

  private:
    std::vector<SidecarRow> rows_;
};

PictureExtensions PictureExtensionsOf(const FileKindTable& kinds) {
    PictureExtensions extensions;
    extensions.raw.assign(kRawExtensions.begin(), kRawExtensions.end());
    for (const std::string& added : kinds.Added(TFileKind::fkRaw))
        extensions.raw.push_back(added);
    extensions.jpeg.assign(kJpegExtensions.begin(), kJpegExtensions.end());
    for (const std::string& added : kinds.Added(TFileKind::fkJpeg))
        extensions.jpeg.push_back(added);
    return extensions;
}

TFrmSCFSeiri::TFrmSCFSeiri(TSidecarWindowContext context, QWidget* parent)
    : QDialog(parent),
      context_(std::move(context)),
      dialogs_(*context_.dialogs),
      ini_(kSection, FormBounds{100, 100, 760, 480}),
      DirSel(dialogs_) {
    setObjectName("FrmSCFSeiri");
    setWindowTitle(U(kCaption));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(760, 480);
    SettingPlaces places;
    places.app_folder = context_.app_folder;
    places.computer_name = context_.computer_name;
    ini_.SetPlaces(places);
    ini_.IniFileKind = TIniFileKind::fnComputerName;

    auto* layout = new QVBoxLayout(this);
    auto* top = new QWidget(this);
    top->setObjectName("pnlTop");
    auto* grid = new QGridLayout(top);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto folder_row = [&](int row, const char* caption_name, const char* label_name,
                                const char* button_name, const char* caption, QLabel** caption_out,
                                TPathLabel** label_out, QPushButton** button_out) {
        *caption_out = Named(new QLabel(U(caption), top), caption_name, U(caption));
        *label_out = Named(new TPathLabel(top), label_name, {});
        SpeakText(*label_out, U(caption));
        (*label_out)->setFrameShape(QFrame::StyledPanel);
        (*caption_out)->setBuddy(*label_out);
        *button_out =
            Named(new QPushButton(top), button_name, U(caption) + U(" ") + U(kFolderHint));
        (*button_out)->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        (*button_out)->setToolTip(U(kFolderHint));
        (*button_out)->setAutoDefault(false);
        grid->addWidget(*caption_out, row, 0);
        grid->addWidget(*label_out, row, 1);
        grid->addWidget(*button_out, row, 2);
        connect(*button_out, &QPushButton::clicked, this, &TFrmSCFSeiri::btnSideCarClick);
    };
    folder_row(0, "lblSideCarCaption", "lblSideCarDir", "btnSideCar",
               "サイドカーが取り残されているルートフォルダ", &lblSideCarCaption, &lblSideCarDir,
               &btnSideCar);
    folder_row(1, "lblPicCaption", "lblPicDir", "btnPic", "RAW JPEGファイルのルートフォルダ",
               &lblPicCaption, &lblPicDir, &btnPic);
    grid->setColumnStretch(1, 1);

    auto* options = new QHBoxLayout();
    chkUseJPEG = Named(new QCheckBox(U("JPEGファイルも対象にする"), top), "chkUseJPEG",
                       U("JPEGファイルも対象にする"));
    chkDeleteXmp = Named(new QCheckBox(U("xmpファイルは全て削除する"), top), "chkDeleteXmp",
                         U("xmpファイルは全て削除する"));
    options->addWidget(chkUseJPEG);
    options->addWidget(chkDeleteXmp);
    options->addStretch(1);
    grid->addLayout(options, 2, 0, 1, 3);

    auto* commands = new QHBoxLayout();
    const auto button = [&](const char* name, const char* caption) {
        auto* b = Named(new QPushButton(U(caption), top), name, U(caption));
        b->setAutoDefault(false);
        return b;
    };
    btnCheck = button("btnCheck", "チェック及びリストアップ");
    btnExecute = button("btnExecute", "整理開始");
    btnClose = button("btnClose", "終了");
    lblProgress = Named(new QLabel(top), "lblProgress", {});
    SpeakText(lblProgress, U("進捗"));
    lblProgress->setMinimumWidth(0);
    lblProgress->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    commands->addWidget(btnCheck);
    commands->addWidget(btnExecute);
    commands->addWidget(lblProgress, 1);
    commands->addWidget(btnClose);
    grid->addLayout(commands, 3, 0, 1, 3);
    layout->addWidget(top);

    grdList = Named(new TGridView(this), "grdList", U("結果"));
    model_ = new TSidecarGridModel(grdList);
    grdList->setModel(model_);
    layout->addWidget(grdList, 1);

    stbInfo = Named(new QStatusBar(this), "stbInfo", U("ステータス"));
    stbInfo->setSizeGripEnabled(false);
    auto* status = new QLabel(U(kStatusText), stbInfo);
    status->setObjectName("stbInfoPanel0");
    status->setAlignment(Qt::AlignCenter);
    SpeakText(status, U("ステータス"));
    stbInfo->addWidget(status, 1);
    layout->addWidget(stbInfo);

    connect(btnCheck, &QPushButton::clicked, this, &TFrmSCFSeiri::btnCheckClick);
    connect(btnExecute, &QPushButton::clicked, this, &TFrmSCFSeiri::btnExecuteClick);
    connect(btnClose, &QPushButton::clicked, this, &TFrmSCFSeiri::btnCloseClick);
    progress_timer_.setInterval(kProgressIntervalMs);
    connect(&progress_timer_, &QTimer::timeout, this, &TFrmSCFSeiri::ShowProgress);
}

TFrmSCFSeiri::~TFrmSCFSeiri() {
    // The worker uses the members below the job: it ends before they go.
    if (job_.Running()) QApplication::restoreOverrideCursor();
    job_.Cancel();
}

const std::vector<SidecarRow>& TFrmSCFSeiri::Rows() const {
    return model_->Rows();
}

void TFrmSCFSeiri::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TFrmSCFSeiri::FormShow() {
    closed_ = false;
    ScreenSize screen;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        screen = {primary->geometry().width(), primary->geometry().height()};
    }
    const FormGeometry current{{y(), x(), width(), height()},
                               isMaximized() ? kWindowMaximized : kWindowNormal};
    const FormGeometry placed = ini_.LoadFormPosition(current, screen);
    move(placed.bounds.left, placed.bounds.top);
    resize(std::max(placed.bounds.width, kMinWidth), std::max(placed.bounds.height, kMinHeight));
    // A minimised modal window would hold the main window without being seen: shown normal.
    setWindowState(placed.window_state == kWindowMaximized ? Qt::WindowMaximized
                                                           : Qt::WindowNoState);

    lblSideCarDir->SetPath(Q(ini_.ReadString("SideCarDir", context_.default_folder)));
    lblPicDir->SetPath(Q(ini_.ReadString("PicDir", context_.default_folder)));
    chkUseJPEG->setChecked(ini_.ReadBool("ProcessJPEG", false));
    chkDeleteXmp->setChecked(ini_.ReadBool("DeleteXMP", false));
    std::vector<int> widths;
    for (int i = 0; i < 4; ++i)
        widths.push_back(ini_.ReadInteger("GridW" + std::to_string(i), kDefaultWidths[i]));
    grdList->SetColumnWidths(widths);
    ClearList();
}

void TFrmSCFSeiri::FormClose() {
    const int state = isMaximized()   ? kWindowMaximized
                      : isMinimized() ? kWindowMinimized
                                      : kWindowNormal;
    ini_.SaveFormPosition(FormGeometry{{y(), x(), width(), height()}, state});
    ini_.WriteString("SideCarDir", lblSideCarDir->Path().toStdString());
    ini_.WriteString("PicDir", lblPicDir->Path().toStdString());
    ini_.WriteBool("ProcessJPEG", chkUseJPEG->isChecked());
    ini_.WriteBool("DeleteXMP", chkDeleteXmp->isChecked());
    const std::vector<int> widths = grdList->ColumnWidths();
    for (std::size_t i = 0; i < widths.size() && i < 4; ++i)
        ini_.WriteInteger("GridW" + std::to_string(i), widths[i]);
}

void TFrmSCFSeiri::done(int result) {
    if (job_.Running()) {
        // The searches change nothing and simply stop; a carry-out stops after its current row.
        if (carrying_out_ && !dialogs_.ConfirmYesNo(kTitle, kCloseDuringRun)) {
            return;
        }
        job_.Abort();
        job_.Wait();
    }
    if (!closed_) {
        closed_ = true;
        FormClose();
    }
    QDialog::done(result);
}

void TFrmSCFSeiri::keyPressEvent(QKeyEvent* event) {
    // Esc stops the job; only an idle window closes on it.
    if (event->key() == Qt::Key_Escape && job_.Running()) {
        job_.Abort();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFrmSCFSeiri::ClearList() {
    model_->SetRows({});
    work_rows_.clear();
    rows_done_ = 0;
    rows_shown_ = 0;
}

void TFrmSCFSeiri::btnSideCarClick() {
    TPathLabel* label = sender() == btnSideCar ? lblSideCarDir : lblPicDir;
    DirSel.SetRoot(label->Path().toStdString());
    if (DirSel.Execute()) label->SetPath(Q(DirSel.Directory()));
}

void TFrmSCFSeiri::btnCloseClick() {
    close();
}

void TFrmSCFSeiri::SetBusy(bool busy) {
    for (QWidget* w : std::initializer_list<QWidget*>{btnSideCar, btnPic, btnCheck, btnExecute,
                                                      chkUseJPEG, chkDeleteXmp}) {
        w->setEnabled(!busy);
    }
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        progress_timer_.start();
    } else {
        QApplication::restoreOverrideCursor();
        progress_timer_.stop();
    }
}

void TFrmSCFSeiri::ShowProgress() {
    if (!carrying_out_) {
        lblProgress->setText(U("検索中… サイドカー %1 件 / 画像 %2 件")
                                 .arg(found_sidecars_.load())
                                 .arg(found_pictures_.load()));
        return;
    }
    const std::size_t done = rows_done_.load(std::memory_order_acquire);
    for (; rows_shown_ < done; ++rows_shown_)
        model_->SetOutcome(rows_shown_, work_rows_[rows_shown_].outcome);
    lblProgress->setText(U("処理中… %1 / %2").arg(done).arg(work_rows_.size()));
}

void TFrmSCFSeiri::btnCheckClick() {
    if (job_.Running()) return;
    ClearList();
    SidecarCheckOptions options;
    options.sidecar_root = lblSideCarDir->Path().toStdString();
    options.picture_root = lblPicDir->Path().toStdString();
    options.use_jpeg = chkUseJPEG->isChecked();
    options.delete_xmp = chkDeleteXmp->isChecked();
    options.extensions = context_.extensions;
    found_sidecars_ = 0;
    found_pictures_ = 0;
    options.progress = [this](std::size_t sidecars, std::size_t pictures) {
        found_sidecars_ = sidecars;
        found_pictures_ = pictures;
    };
    carrying_out_ = false;
    check_result_ = {};
    SetBusy(true);
    ShowProgress();
    job_.Start(
        [this, options](const std::atomic<bool>& stop) mutable {
            options.stop = &stop;
            check_result_ = CheckSidecars(options);
        },
        [this] { CheckFinished(); });
}

void TFrmSCFSeiri::CheckFinished() {
    SetBusy(false);
    SidecarCheckResult result = std::move(check_result_);
    check_result_ = {};
    switch (result.status) {
        case TSidecarCheck::scStopped:
            lblProgress->setText(U("中止しました"));
            return;
        case TSidecarCheck::scPictureRootMissing:
            lblProgress->clear();
            dialogs_.Error(kTitle, std::string(kPictureRootMissing) + "\r\n" +
                                       lblPicDir->Path().toStdString());
            return;
        case TSidecarCheck::scListed:
            break;
    }
    if (!result.unreadable_folders.empty()) {
        // Pictures below them were never seen: their sidecars may be listed for deletion.
        std::string text = kUnreadableFolders;
        for (std::size_t i = 0; i < result.unreadable_folders.size(); ++i) {
            text += "\r\n" + (i < kUnreadableShown ? result.unreadable_folders[i] : "…");
            if (i == kUnreadableShown) break;
        }
        dialogs_.Error(kTitle, text);
    }
    lblProgress->setText(U("対象 %1 件（サイドカー %2 件、画像 %3 件）")
                             .arg(result.rows.size())
                             .arg(result.sidecars)
                             .arg(result.pictures));
    if (result.rows.empty()) {
        dialogs_.Information(kTitle, kNothingFound);
        close();
        return;
    }
    model_->SetRows(std::move(result.rows));
}

void TFrmSCFSeiri::btnExecuteClick() {
    if (job_.Running()) return;
    if (model_->Rows().empty()) {
        dialogs_.Information(kTitle, kNothingToDo);
        return;
    }
    if (model_->Rows().front().outcome != TSidecarOutcome::soNone) {
        dialogs_.Information(kTitle, kAlreadyDone);
        return;
    }
    if (!dialogs_.ConfirmYesNo(kTitle, kConfirmStart)) return;
    work_rows_ = model_->Rows();
    rows_done_ = 0;
    rows_shown_ = 0;
    carrying_out_ = true;
    SetBusy(true);
    ShowProgress();
    job_.Start(
        [this](const std::atomic<bool>& stop) {
            CarryOutSidecarRows(work_rows_, &stop, [this](std::size_t i) {
                rows_done_.store(i + 1, std::memory_order_release);
            });
        },
        [this] { ExecuteFinished(); });
}

void TFrmSCFSeiri::ExecuteFinished() {
    ShowProgress();
    SetBusy(false);
    carrying_out_ = false;
    std::size_t failed = 0;
    for (std::size_t i = 0; i < rows_shown_; ++i)
        failed += work_rows_[i].Failed() ? 1 : 0;
    if (rows_shown_ < work_rows_.size()) {
        lblProgress->setText(
            U("中止しました（%1 / %2 件）").arg(rows_shown_).arg(work_rows_.size()));
        return;
    }
    lblProgress->setText(U("完了 %1 件（失敗 %2 件）").arg(rows_shown_).arg(failed));
    dialogs_.Information(kTitle, kCompleted);
}

}  // namespace pelko
