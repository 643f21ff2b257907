#include "app/frm_dc_main.h"

#include <QApplication>
#include <QChildEvent>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/destinations.h"
#include "app/frm_scf_seiri.h"
#include "app/main_commands.h"
#include "app/main_lifecycle.h"
#include "app/main_rules.h"
#include "app/naming_commands.h"
#include "app/qt_dialog_service.h"
#include "copy/run_context.h"
#include "naming/camera_model.h"
#include "naming/naming_modes.h"
#include "naming/naming_samples.h"
#include "support/dir_selecter.h"
#include "ui/accessible.h"
#include "ui/wrap_label.h"

namespace pelko {

namespace {

// The sample labels' look, and their look while they show the card statistics.
constexpr const char* kSampleStyle = "color: #1a4f8a;";
constexpr const char* kStatisticsStyle = "color: maroon; font-weight: bold;";

QString U(const char* text) {
    return QString::fromUtf8(text);
}

// Names a control for screen readers and UI automation: its caption, or its field's label.
template <typename W>
W* Named(W* widget, const char* object_name, const QString& accessible_name) {
    widget->setObjectName(QString::fromLatin1(object_name));
    widget->setAccessibleName(accessible_name);
    return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption,
                        const char* hint = nullptr) {
    auto* button = Named(new QPushButton(U(caption), parent), name, U(caption));
    if (hint) {
        button->setToolTip(U(hint));
        button->setAccessibleDescription(U(hint));
    }
    button->setAutoDefault(false);
    return button;
}

// A compact button beside a field: framed, with a coloured caption.
TFlatSpeedButton* MakeSmallButton(QWidget* parent, const char* name, const char* caption,
                                  const char* hint, const QColor& color = {}) {
    auto* button = Named(new TFlatSpeedButton(U(caption), parent), name, U(caption));
    button->setAutoRaise(false);
    button->setToolTip(U(hint));
    button->setAccessibleDescription(U(hint));
    if (color.isValid()) button->SetCaptionColor(color);
    return button;
}

const QColor kDeleteColor(150, 20, 20);
const QColor kSaveColor(20, 70, 140);

// A caption column and a field column that takes the spare width.
QGridLayout* MakeFormGrid(QWidget* owner, int right_margin) {
    auto* grid = new QGridLayout(owner);
    grid->setContentsMargins(8, 6, right_margin, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 1);
    return grid;
}

QLabel* MakeCaption(QWidget* parent, const char* name, const char* caption) {
    auto* label = Named(new QLabel(U(caption), parent), name, U(caption));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption) {
    return Named(new QCheckBox(U(caption), parent), name, U(caption));
}

}  // namespace

TFrmDCMain::TFrmDCMain(TMainContext context, QWidget* parent)
    : QMainWindow(parent), context_(std::move(context)) {
    setObjectName("FrmDCMain");
    setWindowTitle(U(kCaption));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, 600);

    if (context_.computer_name.empty()) context_.computer_name = ComputerName();
    if (context_.temp_folder.empty()) context_.temp_folder = UserTempFolder();
    if (context_.dialogs) {
        dialogs_ = context_.dialogs;
    } else {
        own_dialogs_ = std::make_unique<TQtDialogService>(this, context_.app_folder);
        dialogs_ = own_dialogs_.get();
    }
    if (context_.shell) {
        shell_ = context_.shell;
    } else {
        own_shell_ = std::make_unique<TQtShell>();
        shell_ = own_shell_.get();
    }
    if (context_.clock) {
        clock_ = context_.clock;
    } else {
        own_clock_ = std::make_unique<SystemClock>();
        clock_ = own_clock_.get();
    }

    InstallComboAccessibility();
    BuildControls();
    WireHandlers();
    context_.dialogs = dialogs_;
    context_.shell = shell_;
    context_.clock = clock_;
    lifecycle_ = std::make_unique<TMainLifecycle>(*this, context_);
    naming_ = std::make_unique<TNamingCommands>(*this, *lifecycle_, context_);
    commands_ = std::make_unique<TMainCommands>(*this, context_.volumes);
    FormCreate();
    tmrDriveCheck->start();
}

TFrmDCMain::~TFrmDCMain() = default;

void TFrmDCMain::BuildControls() {
    auto* central = new QWidget(this);
    central->setObjectName("pnlMain");
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->setSpacing(6);

    pnlCtrl = new QWidget(central);
    pnlCtrl->setObjectName("pnlCtrl");
    pnlCtrl->setAccessibleName(U("設定"));
    auto* ctrl_layout = new QHBoxLayout(pnlCtrl);
    ctrl_layout->setContentsMargins(0, 0, 0, 0);
    splTop = new QSplitter(Qt::Horizontal, pnlCtrl);
    splTop->setObjectName("splTop");
    splTop->setChildrenCollapsible(false);
    splTop->addWidget(BuildDestinations());
    splTop->addWidget(BuildOptions());
    splTop->setStretchFactor(0, 0);
    splTop->setStretchFactor(1, 1);
    splTop->installEventFilter(this);
    connect(splTop, &QSplitter::splitterMoved, this,
            [this] { left_panel_width_ = splTop->sizes().value(0, left_panel_width_); });
    ctrl_layout->addWidget(splTop);
    pnlCtrl->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(pnlCtrl);

    layout->addWidget(BuildCommands());
    layout->addWidget(BuildResults(), 1);
    setCentralWidget(central);
    BuildStatusBar();

    // Tab follows the reading order: destinations, naming, options, commands, results.
    QWidget* const order[] = {
        btnDestRaw,      btnDestJpeg,     btnDestOther,      cboMakeFolder,
        cboUserFolder,   btnDelFlder,     cboFileName,       cboUserFmt,
        btnDelFmt,       cboCopySet,      btnAddCopySet,     btnOverwriteCopySet,
        btnDelCopySet,   dtpLCDate,       dtpLCTime,         chkReMove,
        chkExecExifDate, chkLastDateExec, chkAutoRestore,    chkLock,
        btnExecute,      btnReName,       btnCheckModelName, btnFmtHelp,
        btnSideCarSeiri, btnOpenMDB,      btnClose,          grdList,
        memBikou};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }

    tmrDriveCheck = new QTimer(this);
    tmrDriveCheck->setObjectName("tmrDriveCheck");
    tmrDriveCheck->setInterval(5000);
}

QWidget* TFrmDCMain::BuildDestinations() {
    pnlLeft = new TGradientPanel(pnlCtrl);
    pnlLeft->setObjectName("pnlLeft");
    pnlLeft->SetGradient(
        {QColor(252, 252, 253), QColor(236, 240, 246), Qt::Vertical, QColor(200, 206, 216)});
    QGridLayout* grid = MakeFormGrid(pnlLeft, 8);

    lblSourceCaption = MakeCaption(pnlLeft, "lblSourceCaption", "コピー元メディア");
    lblSourcePath = Named(new TPathLabel(pnlLeft), "lblSourcePath", {});
    SpeakText(lblSourcePath, U("コピー元メディア"));
    lblSourcePath->setFrameShape(QFrame::NoFrame);
    lblSourcePath->setAutoFillBackground(false);
    QFont bold = lblSourcePath->font();
    bold.setBold(true);
    lblSourcePath->setFont(bold);
    lblSourceCaption->setBuddy(lblSourcePath);
    // Beside the card it acts on: unmounts it and powers its reader off, so a card pulled after
    // a removal run keeps every last write.
    btnEject = MakeSmallButton(pnlLeft, "btnEject", "カードを取り出す",
                               "カードを安全に取り出せる状態にします");
    btnEject->setEnabled(false);
    grid->addWidget(lblSourceCaption, 0, 0);
    grid->addWidget(lblSourcePath, 0, 1);
    grid->addWidget(btnEject, 0, 2);

    const QIcon folder_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    struct Row {
        const char* caption_name;
        const char* caption;
        const char* label_name;
        const char* button_name;
        QLabel** caption_label;
        TPathLabel** label;
        TFlatSpeedButton** button;
    };
    const Row rows[] = {
        {"lblDestRawCaption", "RAW コピー先", "lblDestRaw", "btnDestRaw", &lblDestRawCaption,
         &lblDestRaw, &btnDestRaw},
        {"lblDestJpgCaption", "JPEG コピー先", "lblDestJpg", "btnDestJpeg", &lblDestJpgCaption,
         &lblDestJpg, &btnDestJpeg},
        {"lblDestOtherCaption", "その他動画など", "lblDestOther", "btnDestOther",
         &lblDestOtherCaption, &lblDestOther, &btnDestOther},
    };
    int at = 1;
    for (const Row& row : rows) {
        *row.caption_label = MakeCaption(pnlLeft, row.caption_name, row.caption);
        *row.label = Named(new TPathLabel(pnlLeft), row.label_name, {});
        SpeakText(*row.label, U(row.caption));
        *row.button = MakeSmallButton(pnlLeft, row.button_name, "参照", "コピー先フォルダの指定");
        (*row.button)->setIcon(folder_icon);
        (*row.button)->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        (*row.button)->setAccessibleName(U(row.caption) + U(" ") + U("コピー先フォルダの指定"));
        (*row.caption_label)->setBuddy(*row.button);
        grid->addWidget(*row.caption_label, at, 0);
        grid->addWidget(*row.label, at, 1);
        grid->addWidget(*row.button, at, 2);
        ++at;
    }

    // A mode on a row of its own; below it the user's format with its delete button (shown in
    // the user modes), then the sample across the panel, wrapping rather than cut.
    struct ModeRow {
        const char* caption_name;
        const char* caption;
        const char* mode_name;
        const char* user_caption;
        const char* user_name;
        const char* del_name;
        const char* del_hint;
        const char* sample_name;
        QLabel** caption_label;
        TItemCombo** mode;
        TSortCombo** user;
        TFlatSpeedButton** del;
        QLabel** sample;
    };
    const ModeRow mode_rows[] = {
        {"lblMakeFolderCaption", "コピー先のフォルダ", "cboMakeFolder", "フォルダ名の書式",
         "cboUserFolder", "btnDelFlder", "表示の指定を削除します", "lblSampleFolder",
         &lblMakeFolderCaption, &cboMakeFolder, &cboUserFolder, &btnDelFlder, &lblSampleFolder},
        {"lblFileNameCaption", "ファイル名", "cboFileName", "ファイル名の書式", "cboUserFmt",
         "btnDelFmt", "表示の書式を削除します", "lblSampleFileName", &lblFileNameCaption,
         &cboFileName, &cboUserFmt, &btnDelFmt, &lblSampleFileName},
    };
    for (const ModeRow& row : mode_rows) {
        *row.caption_label = MakeCaption(pnlLeft, row.caption_name, row.caption);
        *row.mode = Named(new TItemCombo(pnlLeft), row.mode_name, U(row.caption));
        (*row.caption_label)->setBuddy(*row.mode);
        auto* user_caption = MakeCaption(pnlLeft, "", row.user_caption);
        user_caption->setObjectName(QString::fromLatin1(row.user_name) + "Caption");
        *row.user = Named(new TSortCombo(pnlLeft), row.user_name, U(row.user_caption));
        (*row.user)->SetRejectedChars(U("\\/:*?\"<>|"));
        user_caption->setBuddy(*row.user);
        // The caption comes and goes with its format box.
        user_captions_[*row.user] = user_caption;
        (*row.user)->installEventFilter(this);
        *row.del = MakeSmallButton(pnlLeft, row.del_name, "削除", row.del_hint, kDeleteColor);
        (*row.del)->setAccessibleName(U(row.user_caption) + U("を削除"));
        auto* sample = new TWrapLabel(pnlLeft);
        sample->setObjectName(QString::fromLatin1(row.sample_name));
        SpeakText(sample, U(row.caption) + U(" サンプル"));
        sample->setStyleSheet(kSampleStyle);
        sample->setIndent(12);
        *row.sample = sample;
        grid->addWidget(*row.caption_label, at, 0);
        grid->addWidget(*row.mode, at, 1, 1, 2);
        grid->addWidget(user_caption, at + 1, 0);
        // The format box takes the button column's spare width too.
        auto* user_line = new QHBoxLayout;
        user_line->setSpacing(4);
        user_line->addWidget(*row.user, 1);
        user_line->addWidget(*row.del);
        grid->addLayout(user_line, at + 1, 1, 1, 2);
        grid->addWidget(sample, at + 2, 0, 1, 3);
        at += 3;
    }
    return pnlLeft;
}

QWidget* TFrmDCMain::BuildOptions() {
    pnlOptions = new QWidget(pnlCtrl);
    pnlOptions->setObjectName("pnlOptions");
    QGridLayout* grid = MakeFormGrid(pnlOptions, 4);

    lblCopySetCaption = MakeCaption(pnlOptions, "lblCopySetCaption", "転送設定");
    cboCopySet = Named(new TSortCombo(pnlOptions), "cboCopySet", U("転送設定"));
    cboCopySet->setEditable(false);
    btnAddCopySet = MakeSmallButton(pnlOptions, "btnAddCopySet", "追加",
                                    "現在の設定に名前を付けて保存します", kSaveColor);
    btnOverwriteCopySet = MakeSmallButton(pnlOptions, "btnOverwriteCopySet", "上書き",
                                          "現在の設定を上書保存きします", kSaveColor);
    btnDelCopySet =
        MakeSmallButton(pnlOptions, "btnDelCopySet", "削除", "転送設定を削除します", kDeleteColor);
    btnAddCopySet->setAccessibleName(U("転送設定を追加"));
    btnOverwriteCopySet->setAccessibleName(U("転送設定を上書き"));
    btnDelCopySet->setAccessibleName(U("転送設定を削除"));
    lblCopySetCaption->setBuddy(cboCopySet);
    auto* set_line = new QHBoxLayout;
    set_line->setSpacing(4);
    set_line->addWidget(cboCopySet, 1);
    set_line->addWidget(btnAddCopySet);
    set_line->addWidget(btnOverwriteCopySet);
    set_line->addWidget(btnDelCopySet);
    grid->addWidget(lblCopySetCaption, 0, 0);
    grid->addLayout(set_line, 0, 1);

    lblLCDateCaption = MakeCaption(pnlOptions, "lblLCDateCaption", "最終取得日時");
    dtpLCDate = Named(new QDateEdit(pnlOptions), "dtpLCDate", U("最終取得日時 日付"));
    dtpLCDate->setDisplayFormat("yyyy/MM/dd");
    dtpLCDate->setCalendarPopup(true);
    dtpLCTime = Named(new QTimeEdit(pnlOptions), "dtpLCTime", U("最終取得日時 時刻"));
    dtpLCTime->setDisplayFormat("HH:mm:ss");
    // Room for the whole date and time beside their buttons, in any font.
    const int digits = dtpLCDate->fontMetrics().horizontalAdvance("0000/00/00");
    dtpLCDate->setMinimumWidth(digits + 36);
    dtpLCTime->setMinimumWidth(dtpLCTime->fontMetrics().horizontalAdvance("00:00:00") + 32);
    lblLCDateCaption->setBuddy(dtpLCDate);
    auto* date_line = new QHBoxLayout;
    date_line->setSpacing(4);
    date_line->addWidget(dtpLCDate);
    date_line->addWidget(dtpLCTime);
    date_line->addStretch(1);
    grid->addWidget(lblLCDateCaption, 1, 0);
    grid->addLayout(date_line, 1, 1);

    chkReMove = MakeCheck(pnlOptions, "chkReMove", "コピー後にメディアから削除");
    chkExecExifDate =
        MakeCheck(pnlOptions, "chkExecExifDate", "JPEGの日時はExifから取得して処理する");
    chkLastDateExec =
        MakeCheck(pnlOptions, "chkLastDateExec", "最終取得日時以前のファイルはコピー対象にしない");
    chkAutoRestore = MakeCheck(pnlOptions, "chkAutoRestore", "メディア挿入時に最小化から自動復帰");
    chkLock = MakeCheck(pnlOptions, "chkLock", "変更をロック");
    int row = 2;
    for (QCheckBox* box : {chkReMove, chkExecExifDate, chkLastDateExec, chkAutoRestore, chkLock}) {
        grid->addWidget(box, row++, 0, 1, 2);
    }

    lblAkCap =
        Named(new TGradientLabel(U("機種毎のデータ"), pnlOptions), "lblAkCap", U("機種毎のデータ"));
    lblAkCap->SetGradient(
        {QColor(255, 250, 230), QColor(246, 226, 180), Qt::Horizontal, QColor(210, 190, 140)});
    lblK5 = Named(new QLabel(pnlOptions), "lblK5", U("K5"));
    lblK20D = Named(new QLabel(pnlOptions), "lblK20D", U("K-01"));
    grid->addWidget(lblAkCap, row++, 0, 1, 2);
    grid->addWidget(lblK5, row++, 0, 1, 2);
    grid->addWidget(lblK20D, row++, 0, 1, 2);
    for (QWidget* statistics : {static_cast<QWidget*>(lblAkCap), static_cast<QWidget*>(lblK5),
                                static_cast<QWidget*>(lblK20D)}) {
        statistics->setVisible(false);
    }
    grid->setRowStretch(row, 1);
    return pnlOptions;
}

QWidget* TFrmDCMain::BuildCommands() {
    auto* bar = new QWidget(centralWidget() ? centralWidget() : this);
    bar->setObjectName("pnlCommands");
    auto* line = new QHBoxLayout(bar);
    line->setContentsMargins(0, 0, 0, 0);
    // Tight enough that every caption reads whole at the smallest width.
    line->setSpacing(4);
    btnExecute = MakeButton(bar, "btnExecute", "コピー開始");
    QFont primary = btnExecute->font();
    primary.setBold(true);
    primary.setPointSizeF(primary.pointSizeF() * 1.15);
    btnExecute->setFont(primary);
    btnExecute->setMinimumHeight(btnExecute->sizeHint().height() + 8);
    btnExecute->setMinimumWidth(150);
    btnExecute->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    btnReName = MakeButton(bar, "btnReName", "フォルダを指定して処理",
                           "主にHDD内のファイルを対象に処理します");
    btnCheckModelName = MakeButton(bar, "btnCheckModelName", "モデル名と転送後ファイル名のチェック",
                                   "%Cのコマンドが使えるかチェックします");
    btnFmtHelp = MakeButton(bar, "btnFmtHelp", "書式のヘルプ", "ユーザー設定フォーマットの説明");
    btnSideCarSeiri =
        MakeButton(bar, "btnSideCarSeiri", "サイドカーの整理",
                   "SILKYPIX 及び Adobe Camera RAW のサイドカーファイルを移動・整理します");
    btnOpenMDB = MakeButton(bar, "btnOpenMDB", "データを開く");
    btnOpenMDB->setVisible(false);
    btnClose = MakeButton(bar, "btnClose", "終了");
    line->addWidget(btnExecute);
    line->addWidget(btnReName);
    line->addWidget(btnCheckModelName);
    line->addWidget(btnFmtHelp);
    line->addWidget(btnSideCarSeiri);
    line->addWidget(btnOpenMDB);
    line->addStretch(1);
    line->addWidget(btnClose);
    return bar;
}

QWidget* TFrmDCMain::BuildResults() {
    auto* area = new QWidget(this);
    area->setObjectName("pnlResults");
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    auto* split = new QSplitter(Qt::Horizontal, area);
    split->setObjectName("splResults");
    split->setChildrenCollapsible(false);
    grdListModel = new TResultGridModel(this);
    grdListModel->setObjectName("grdListModel");
    grdListModel->SetLegend(
        U("緑: コピー済み　黄: 同名のファイル有り　灰: 最終取得日時以前　赤: 失敗　青: 処理中"));
    grdList = Named(new TGridView(split), "grdList", U("処理結果"));
    grdList->setModel(grdListModel);
    ResetResultGrid();
    grdList->SetColumnWidths({200, 300, 70, 100});
    grdList->SetStretchColumn(1);
    memBikou = Named(new QPlainTextEdit(split), "memBikou", U("メモ"));
    memBikou->setPlaceholderText(U("メモ"));
    memBikou->setTabChangesFocus(true);
    split->addWidget(grdList);
    split->addWidget(memBikou);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    split->setSizes({680, 120});
    column->addWidget(split, 1);

    auto* progress = new QHBoxLayout;
    progress->setSpacing(6);
    pbBar = Named(new QProgressBar(area), "pbBar", U("進行状況"));
    pbBar->setRange(0, 100);
    pbBar->setValue(0);
    // The count shows in the status bar; the bar itself carries no text.
    pbBar->setTextVisible(false);
    pbBar->setFormat("%v / %m");
    lblProcessTime = Named(new QLabel(area), "lblProcessTime", {});
    SpeakText(lblProcessTime, U("転送速度"));
    lblProcessTime->setAutoFillBackground(true);
    QPalette pink = lblProcessTime->palette();
    pink.setColor(QPalette::Window, QColor(255, 202, 255));
    lblProcessTime->setPalette(pink);
    lblProcessTime->setContentsMargins(6, 0, 6, 0);
    lblProcessTime->setVisible(false);
    progress->addWidget(pbBar, 1);
    progress->addWidget(lblProcessTime);
    column->addLayout(progress);
    return area;
}

void TFrmDCMain::BuildStatusBar() {
    stbInfo = new QStatusBar(this);
    stbInfo->setObjectName("stbInfo");
    stbInfo->setAccessibleName(U("ステータス"));
    stbInfo->setSizeGripEnabled(true);
    const char* names[] = {"処理", "進捗", "処理状況", "案内"};
    const int stretches[] = {0, 0, 2, 3};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(stbInfo);
        panel->setObjectName(QString("stbInfoPanel%1").arg(i));
        SpeakText(panel, U(names[i]));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        stbInfo->addWidget(panel, stretches[i]);
        status_panels_[static_cast<std::size_t>(i)] = panel;
    }
    status_panels_[0]->setText(U("処理"));
    status_panels_[0]->setAlignment(Qt::AlignCenter);
    status_panels_[0]->setMinimumWidth(50);
    status_panels_[1]->setMinimumWidth(100);
    status_panels_[1]->setAlignment(Qt::AlignCenter);
    setStatusBar(stbInfo);
}

void TFrmDCMain::WireHandlers() {
    connect(btnClose, &QPushButton::clicked, this, &TFrmDCMain::btnCloseClick);
    connect(chkLock, &QCheckBox::clicked, this, &TFrmDCMain::chkLockClick);
    connect(dtpLCDate, &QDateEdit::dateChanged, this, &TFrmDCMain::dtpLCDateChange);
    connect(dtpLCTime, &QTimeEdit::timeChanged, this, &TFrmDCMain::dtpLCDateChange);
    for (TFlatSpeedButton* button : {btnDestRaw, btnDestJpeg, btnDestOther}) {
        connect(button, &QToolButton::clicked, this, &TFrmDCMain::btnDestRawClick);
    }
    connect(btnExecute, &QPushButton::clicked, this, &TFrmDCMain::btnExecuteClick);
    connect(btnReName, &QPushButton::clicked, this, &TFrmDCMain::btnReNameClick);
    connect(btnEject, &QAbstractButton::clicked, this, [this] { commands_->EjectCard(); });
    connect(btnSideCarSeiri, &QPushButton::clicked, this, &TFrmDCMain::btnSideCarSeiriClick);
    connect(btnOpenMDB, &QPushButton::clicked, this, &TFrmDCMain::btnOpenMDBClick);
    connect(tmrDriveCheck, &QTimer::timeout, this, &TFrmDCMain::tmrDriveCheckTimer);
    for (TItemCombo* mode : {cboMakeFolder, cboFileName}) {
        connect(mode, &QComboBox::currentIndexChanged, this, &TFrmDCMain::cboMakeFolderClick);
    }
    for (TSortCombo* user : {cboUserFolder, cboUserFmt}) {
        connect(user, &QComboBox::currentTextChanged, this, &TFrmDCMain::cboUserFmtClick);
    }
    connect(cboCopySet, &QComboBox::activated, this, [this](int index) {
        naming_->ApplyCopySet(cboCopySet->itemText(index).toStdString());
    });
    connect(btnAddCopySet, &QAbstractButton::clicked, this, [this] { naming_->AddCopySet(); });
    connect(btnOverwriteCopySet, &QAbstractButton::clicked, this,
            [this] { naming_->OverwriteCopySet(); });
    connect(btnDelCopySet, &QAbstractButton::clicked, this, [this] { naming_->DeleteCopySet(); });
    connect(btnDelFlder, &QAbstractButton::clicked, this,
            [this] { naming_->DeleteHistoryEntry(true); });
    connect(btnDelFmt, &QAbstractButton::clicked, this,
            [this] { naming_->DeleteHistoryEntry(false); });
    connect(btnFmtHelp, &QAbstractButton::clicked, this, [this] { naming_->OpenFormatHelp(); });
    connect(btnCheckModelName, &QAbstractButton::clicked, this,
            [this] { naming_->CheckModelName(); });
    // Keyboard events reach the window before its controls, also those added later.
    WatchKeys(this);
}

void TFrmDCMain::ResetResultGrid() {
    grdListModel->SetHeaders(
        {U("ファイル名"), U("コピー先"), U("コピー処理"), U("メディアから削除")});
    grdListModel->Clear();
}

void TFrmDCMain::SetStatusText(int index, const QString& text) {
    if (index >= 0 && index < 4) StatusPanel(index)->setText(text);
}

void TFrmDCMain::RestoreAndRaise() {
    if (isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
    }
    raise();
    activateWindow();
}

void TFrmDCMain::CloseForSignal() {
    close_without_asking_ = true;
    close();
}

void TFrmDCMain::SetLeftPanelWidth(int width) {
    left_panel_width_ = std::max(100, width);
    ApplyLeftPanelWidth();
}

void TFrmDCMain::ApplyLeftPanelWidth() {
    const int available = splTop->width() - splTop->handleWidth();
    const int options = pnlOptions->minimumSizeHint().width();
    const int left = std::max(pnlLeft->minimumSizeHint().width(),
                              std::min(left_panel_width_, available - options));
    splTop->setSizes({left, std::max(options, available - left)});
}

bool TFrmDCMain::FirstShowDone() const {
    return lifecycle_->FirstShowDone();
}

void TFrmDCMain::FormCreate() {
    cboMakeFolder->clear();
    for (const ModeItem& item : FolderModeItems()) {
        cboMakeFolder->AddItem(QString::fromStdString(item.caption),
                               QString::fromStdString(item.description));
    }
    cboFileName->clear();
    for (const ModeItem& item : FileNameModeItems(Clock().Now())) {
        cboFileName->AddItem(QString::fromStdString(item.caption),
                             QString::fromStdString(item.description));
    }
    ResetResultGrid();
    memBikou->clear();
    lifecycle_->Create();
}

void TFrmDCMain::FormShow() {
    if (lifecycle_->Show()) {
        tmrDriveCheckTimer();
        lblProcessTime->clear();
        lblProcessTime->setVisible(false);
    }
    memBikou->setFocus(Qt::OtherFocusReason);
}

void TFrmDCMain::FormClose() {
    lifecycle_->Close();
}

void TFrmDCMain::chkLockClick() {
    RefreshNaming();
}

void TFrmDCMain::dtpLCDateChange() {
    const QDate date = dtpLCDate->date();
    const QTime time = dtpLCTime->time();
    lifecycle_->PickersChanged(
        {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second(), 0});
}

void TFrmDCMain::RefreshNaming() {
    const MainWindowSettings settings = lifecycle_->Settings();
    const MainControlStates states = ControlStatesFor(settings);
    for (QWidget* control :
         {static_cast<QWidget*>(cboCopySet), static_cast<QWidget*>(cboMakeFolder),
          static_cast<QWidget*>(cboUserFolder), static_cast<QWidget*>(cboFileName),
          static_cast<QWidget*>(cboUserFmt), static_cast<QWidget*>(chkReMove),
          static_cast<QWidget*>(chkAutoRestore), static_cast<QWidget*>(chkExecExifDate),
          static_cast<QWidget*>(chkLastDateExec), static_cast<QWidget*>(dtpLCDate),
          static_cast<QWidget*>(dtpLCTime)}) {
        control->setEnabled(states.settings_enabled);
    }
    for (QWidget* button : {btnOverwriteCopySet, btnAddCopySet, btnDelCopySet, btnDestRaw,
                            btnDestJpeg, btnDestOther}) {
        button->setVisible(states.change_buttons_visible);
    }
    cboUserFolder->setVisible(states.user_folder_visible);
    btnDelFlder->setVisible(states.delete_folder_visible);
    cboUserFmt->setVisible(states.user_format_visible);
    btnDelFmt->setVisible(states.delete_format_visible);

    const ModelAliasSource aliases{context_.app_folder};
    const NamingSamples samples = MakeNamingSamples(
        NamingSettingsOf(settings), Clock().Now(),
        [&aliases](const std::string& file) { return GetModelName(file, aliases); });
    SetSampleLook(false);
    lblSampleFolder->setText(QString::fromStdString(samples.folder));
    lblSampleFileName->setText(QString::fromStdString(samples.file));
}

void TFrmDCMain::SetSampleLook(bool statistics) {
    for (QLabel* label : {lblSampleFolder, lblSampleFileName})
        label->setStyleSheet(statistics ? kStatisticsStyle : kSampleStyle);
}

void TFrmDCMain::ShowCameraAverages(const std::string& k5, const std::string& k01) {
    QMetaObject::invokeMethod(this, [this, k5, k01] {
        lblK5->setText(QString::fromStdString(k5));
        lblK20D->setText(QString::fromStdString(k01));
    });
}

void TFrmDCMain::ShowCardStatistics(const std::string& folder_label,
                                    const std::string& file_label) {
    QMetaObject::invokeMethod(this, [this, folder_label, file_label] {
        SetSampleLook(true);
        lblSampleFolder->setText(QString::fromStdString(folder_label));
        lblSampleFileName->setText(QString::fromStdString(file_label));
    });
}

void TFrmDCMain::ReportStatisticsError(const std::string& text) {
    // Queued also from this thread: a message never opens in the middle of the caller's work.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            statistics_errors_.push_back(text);
            if (showing_statistics_error_) return;
            showing_statistics_error_ = true;
            while (!statistics_errors_.empty()) {
                const std::string next = std::move(statistics_errors_.front());
                statistics_errors_.pop_front();
                dialogs_->Error(kErrorTitle, next);
            }
            showing_statistics_error_ = false;
        },
        Qt::QueuedConnection);
}

std::string TFrmDCMain::ChooseCard() {
    return dialogs_->SelectCard();
}

namespace {

std::vector<std::string> LinesOf(const TSortCombo* combo) {
    std::vector<std::string> lines;
    for (const QString& line : combo->Lines())
        lines.push_back(line.toStdString());
    return lines;
}

QStringList ToQt(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& line : lines)
        list << QString::fromStdString(line);
    return list;
}

}  // namespace

void TFrmDCMain::GatherSettings(MainWindowSettings& s) const {
    CopySettings& c = s.copy;
    c.dest_raw = lblDestRaw->Path().toStdString();
    c.dest_jpg = lblDestJpg->Path().toStdString();
    c.dest_other = lblDestOther->Path().toStdString();
    c.folder_mode = std::max(0, cboMakeFolder->currentIndex());
    c.file_name_mode = std::max(0, cboFileName->currentIndex());
    // A typed text counts as the commit at the end of its edit will save it.
    s.folder_history = LinesOf(cboUserFolder);
    c.user_folder = CommitHistoryEntry(s.folder_history, cboUserFolder->currentText().toStdString(),
                                       static_cast<std::size_t>(cboUserFolder->MaxItems));
    s.format_history = LinesOf(cboUserFmt);
    c.user_format = CommitHistoryEntry(s.format_history, cboUserFmt->currentText().toStdString(),
                                       static_cast<std::size_t>(cboUserFmt->MaxItems));
    c.remove_after_copy = chkReMove->isChecked();
    s.auto_restore = chkAutoRestore->isChecked();
    s.skip_older = chkLastDateExec->isChecked();
    s.exif_date = chkExecExifDate->isChecked();
    s.setting_lock = chkLock->isChecked();
}

void TFrmDCMain::ShowSettings(const MainWindowSettings& s) {
    {
        // One refresh at the end, for the value as a whole.
        const QSignalBlocker block_folder_mode(cboMakeFolder);
        const QSignalBlocker block_name_mode(cboFileName);
        const QSignalBlocker block_folder(cboUserFolder);
        const QSignalBlocker block_format(cboUserFmt);
        const CopySettings& c = s.copy;
        lblDestRaw->SetPath(QString::fromStdString(c.dest_raw));
        lblDestJpg->SetPath(QString::fromStdString(c.dest_jpg));
        lblDestOther->SetPath(QString::fromStdString(c.dest_other));
        cboMakeFolder->setCurrentIndex(c.folder_mode);
        cboFileName->setCurrentIndex(c.file_name_mode);
        cboUserFolder->SetLines(ToQt(s.folder_history));
        cboUserFolder->setEditText(QString::fromStdString(c.user_folder));
        cboUserFmt->SetLines(ToQt(s.format_history));
        cboUserFmt->setEditText(QString::fromStdString(c.user_format));
        chkReMove->setChecked(c.remove_after_copy);
        chkAutoRestore->setChecked(s.auto_restore);
        chkLastDateExec->setChecked(s.skip_older);
        chkExecExifDate->setChecked(s.exif_date);
        chkLock->setChecked(s.setting_lock);
    }
    RefreshNaming();
}

MainWindowLayout TFrmDCMain::GatherLayout() const {
    MainWindowLayout layout;
    layout.maximized = isMaximized();
    // A maximised window keeps its normal bounds, so un-maximising later restores them.
    const QRect bounds = layout.maximized ? normalGeometry() : QRect(pos(), size());
    layout.bounds = {bounds.top(), bounds.left(), bounds.width(), bounds.height()};
    layout.left_panel = LeftPanelWidth();
    layout.grid_widths = grdList->ColumnWidths();
    return layout;
}

void TFrmDCMain::ShowLayout(const MainWindowLayout& layout) {
    ScreenSize screen;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        screen = {primary->geometry().width(), primary->geometry().height()};
    }
    const FormBounds bounds = ReachableBounds(layout.bounds, screen, kMinWidth, kMinHeight);
    move(bounds.left, bounds.top);
    resize(bounds.width, bounds.height);
    if (layout.maximized) setWindowState(windowState() | Qt::WindowMaximized);
    SetLeftPanelWidth(layout.left_panel);
    // Until widths are saved, the destination column takes the grid's spare width.
    if (layout.grid_widths.empty()) {
        grdList->SetStretchColumn(1);
    } else {
        grdList->SetColumnWidths(layout.grid_widths);
    }
}

std::string TFrmDCMain::Memo() const {
    return memBikou->toPlainText().toStdString();
}

void TFrmDCMain::ShowMemo(const std::string& text) {
    memBikou->setPlainText(QString::fromStdString(text));
}

void TFrmDCMain::ShowMode(bool mode) {
    for (QWidget* statistics :
         {static_cast<QWidget*>(lblK5), static_cast<QWidget*>(lblK20D),
          static_cast<QWidget*>(lblAkCap), static_cast<QWidget*>(btnOpenMDB)}) {
        statistics->setVisible(mode);
    }
}

void TFrmDCMain::ShowCopySets(const std::vector<std::string>& names) {
    const QSignalBlocker block(cboCopySet);
    cboCopySet->SetLines(ToQt(names));
    cboCopySet->setCurrentIndex(0);
}

void TFrmDCMain::ShowCutoff(const DateTime& cutoff) {
    const QSignalBlocker block_date(dtpLCDate);
    const QSignalBlocker block_time(dtpLCTime);
    dtpLCDate->setDate(QDate(cutoff.year, cutoff.month, cutoff.day));
    dtpLCTime->setTime(QTime(cutoff.hour, cutoff.minute, cutoff.second));
}

void TFrmDCMain::btnCloseClick() {
    cboUserFolder->Commit();
    cboUserFmt->Commit();
    close();
}

void TFrmDCMain::btnDestRawClick() {
    const std::array<TFlatSpeedButton*, 3> buttons{btnDestRaw, btnDestJpeg, btnDestOther};
    const std::array<TPathLabel*, 3> labels{lblDestRaw, lblDestJpg, lblDestOther};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (sender() != buttons[i]) continue;
        TDirSelecter picker(Dialogs());
        picker.SetRoot(labels[i]->Path().toStdString());
        if (!picker.Execute()) return;
        std::array<std::string, 3> folders;
        for (std::size_t j = 0; j < labels.size(); ++j)
            folders[j] = labels[j]->Path().toStdString();
        ChooseDestination(folders, static_cast<int>(i), picker.Directory());
        for (std::size_t j = 0; j < labels.size(); ++j) {
            labels[j]->SetPath(QString::fromStdString(folders[j]));
        }
        return;
    }
}

void TFrmDCMain::cboMakeFolderClick() {
    RefreshNaming();
}

void TFrmDCMain::cboUserFmtClick() {
    RefreshNaming();
}

void TFrmDCMain::btnExecuteClick() {
    commands_->Runs().ExecuteCard();
}
void TFrmDCMain::btnReNameClick() {
    commands_->Runs().ExecuteFolder();
}
void TFrmDCMain::btnSideCarSeiriClick() {
    const MainWindowSettings settings = lifecycle_->Settings();
    TFrmSCFSeiri window({dialogs_, context_.app_folder, context_.computer_name,
                         settings.copy.dest_raw, PictureExtensionsOf(settings.file_kinds)},
                        this);
    window.exec();
}
void TFrmDCMain::btnOpenMDBClick() {
    // A file not made yet is not offered to the shell, which would only report it missing.
    for (const char* name : {"Battery.txt", "Memo.txt", kCardInfoFile, kShotDatabaseFile}) {
        const std::string path = context_.app_folder + "/" + name;
        if (FileExists(path)) OpenDocument(*shell_, path, "", false);
    }
}
void TFrmDCMain::tmrDriveCheckTimer() {
    commands_->Watcher().Check();
}

bool TFrmDCMain::FormKeyPress(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || QApplication::activePopupWidget() != nullptr) return false;
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr || focused == memBikou || memBikou->isAncestorOf(focused)) return false;
    if (focused->window() != this) return false;
    // Moving on is for fields: a button is pressed, as Space presses it.
    if (auto* button = qobject_cast<QAbstractButton*>(focused);
        button != nullptr && !button->isCheckable()) {
        if (button->isEnabled()) button->click();
        return true;
    }
    focusNextPrevChild((event->modifiers() & Qt::ShiftModifier) == 0);
    return true;
}

void TFrmDCMain::WatchKeys(QWidget* widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TFrmDCMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFrmDCMain::closeEvent(QCloseEvent* event) {
    // A run is stopped and committed before the settings are saved, or the window stays.
    if (!closed_ && !commands_->Runs().CanClose(!close_without_asking_)) {
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        FormClose();
    }
    event->accept();
}

bool TFrmDCMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == splTop && event->type() == QEvent::Resize) ApplyLeftPanelWidth();
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
        const auto caption = user_captions_.find(watched);
        if (caption != user_captions_.end()) {
            caption->second->setVisible(event->type() == QEvent::ShowToParent);
        }
    }
    if (event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType()) WatchKeys(static_cast<QWidget*>(child));
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        FormKeyPress(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace pelko
