#include "app/main_commands.h"

#include <QDir>
#include <QUrl>

#include "app/frm_dc_main.h"
#include "app/main_lifecycle.h"
#include "app/main_rules.h"
#include "copy/run_context.h"
#include "copy/run_notice.h"
#include "support/file_ops.h"
#include "support/text.h"
#include "support/volumes.h"

#include <optional>
#include <utility>

namespace pelko {

namespace {

std::string S(const QString& text) {
    return text.toStdString();
}

}  // namespace

// The statistics as a run on the worker sees them: counted there, except the card statistics,
// which wait for the run's end and the window's thread.
class TMainCommands::RunStatistics final : public ICardStatistics {
  public:
    // life: its statistics exist from its creation on, whenever a run is handed this.
    explicit RunStatistics(TMainLifecycle& life) : life_(life) {}
    void LoadCameraTally() override { life_.Statistics()->LoadCameraTally(); }
    void TallyRawFile(const std::string& path, std::int64_t size) override {
        life_.Statistics()->TallyRawFile(path, size);
    }
    void CountShot(const std::string& path, const std::string& shot_date) override {
        life_.Statistics()->CountShot(path, shot_date);
    }
    void SaveCameraTally() override { life_.Statistics()->SaveCameraTally(); }
    void UpdateCardInfo(const std::string& card_folder) override { card_folder_ = card_folder; }

    // The card folder of a card run that ended, once.
    std::optional<std::string> TakeCardFolder() { return std::exchange(card_folder_, {}); }

  private:
    TMainLifecycle& life_;
    std::optional<std::string> card_folder_;
};

TMainCommands::TMainCommands(TFrmDCMain& window, const IVolumeSource* volumes) : w_(window) {
    if (volumes == nullptr) {
        own_volumes_ = std::make_unique<SystemVolumeSource>();
        volumes = own_volumes_.get();
    }
    volumes_ = volumes;
    notifier_ = w_.Context().notifier;
    if (notifier_ == nullptr) {
        auto notifier = std::make_unique<TDesktopNotifier>();
        notifier_ = notifier.get();
        own_notifier_ = std::move(notifier);
    }
    ejector_ = w_.Context().ejector;
    if (ejector_ == nullptr) {
        own_ejector_ = std::make_unique<TUDisksEjector>();
        ejector_ = own_ejector_.get();
    }

    TCardWatcher::Controls watch;
    watch.window = &w_;
    watch.show_source = [this](const std::string& path) {
        w_.lblSourcePath->SetPath(QString::fromStdString(path));
    };
    watch.execute = w_.btnExecute;
    watch.eject = w_.btnEject;
    watch.auto_restore = w_.chkAutoRestore;
    watch.status_bar = w_.stbInfo;
    watch.hint = w_.StatusPanel(3);
    watch.destinations = [this] {
        return std::array<std::string, 3>{S(w_.lblDestRaw->Path()), S(w_.lblDestJpg->Path()),
                                          S(w_.lblDestOther->Path())};
    };
    watcher_ = std::make_unique<TCardWatcher>(*volumes, std::move(watch));

    TRunCommands::Controls run;
    run.window = &w_;
    run.settings_panel = w_.pnlCtrl;
    run.execute = w_.btnExecute;
    run.rename = w_.btnReName;
    run.eject = w_.btnEject;
    run.drive_check = w_.tmrDriveCheck;
    run.progress = w_.pbBar;
    run.progress_text = w_.StatusPanel(1);
    run.status = w_.StatusPanel(2);
    run.speed = w_.lblProcessTime;
    run.reset_grid = [this] { w_.ResetResultGrid(); };
    run.add_row = [this](int row) {
        const int missing = row + 1 - w_.grdListModel->RowCount();
        if (missing > 0) {
            w_.grdListModel->AppendRows(std::vector<TResultRow>(static_cast<std::size_t>(missing)));
        }
    };
    run.set_row = [this](int row, const TResultRow& cells) { w_.grdListModel->SetRow(row, cells); };
    run.card_folder = [this] { return S(w_.lblSourcePath->Path()); };
    run.make_context = [this] { return MakeContext(); };
    run.take_context = [this](const CopyRunContext& context) { TakeContext(context); };
    run.commit_formats = [this] {
        w_.cboUserFolder->Commit();
        w_.cboUserFmt->Commit();
    };
    run.check_drives = [this] { watcher_->Check(); };
    runs_ = std::make_unique<TRunCommands>(w_.Dialogs(), w_.Lifecycle().Ini(), std::move(run));
    run_statistics_ = std::make_unique<RunStatistics>(w_.Lifecycle());
    connect(runs_.get(), &TRunCommands::runFinished, this, &TMainCommands::RunEnded);
}

TMainCommands::~TMainCommands() = default;

std::string LocalPathOf(const std::string& argument) {
    const QString text = QString::fromStdString(argument);
    if (text.contains("://")) {
        const QUrl url(text);
        return url.isLocalFile() ? url.toLocalFile().toStdString() : std::string();
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(text)).toStdString();
}

void TMainCommands::NotifyRunEnd() {
    if (!ShouldNotifyRunEnd(w_.isMinimized(), w_.isActiveWindow())) return;
    RunCounts counts;
    for (int i = 0; i < w_.grdListModel->RowCount(); ++i)
        counts.Count(w_.grdListModel->Row(i));
    notifier_->Notify(RunNoticeSummaryJa(runs_->Job().Result().run.aborted),
                      RunNoticeBodyJa(counts), [this] { w_.RestoreAndRaise(); });
}

void TMainCommands::EjectCard() {
    const std::string dcim = S(w_.lblSourcePath->Path());
    if (dcim.empty() || runs_->Running()) return;
    const std::string mount_point = FolderOf(dcim);
    std::string device;
    for (const MountedVolume& volume : volumes_->Volumes()) {
        if (volume.mount_point == mount_point) device = volume.device;
    }
    const EjectResult result = ejector_->Eject(mount_point, device);
    if (result.outcome != EjectOutcome::kEjected) {
        w_.Dialogs().Error(kErrorTitle, EjectFailureTextJa(result));
        return;
    }
    watcher_->MarkEjected();
    watcher_->Check();
}

void TMainCommands::OpenGivenPath(const std::string& path) {
    if (path.empty() || !FolderExists(path)) {
        w_.Dialogs().Error(kErrorTitle, "指定されたフォルダが見つかりません\r\n" + path);
        return;
    }
    const std::string root = EqualsIgnoreAsciiCase(NameOf(path), "DCIM") ? FolderOf(path) : path;
    if (DcimFolderOf(root)) {
        watcher_->ChooseCard(root);
        watcher_->Check();
        return;
    }
    runs_->ExecuteFolder(path);
}

CopyRunContext TMainCommands::MakeContext() const {
    TMainLifecycle& life = w_.Lifecycle();
    CopyRunContext context =
        MakeCopyRunContext(life.Settings(), w_.Context().app_folder, w_.Clock(), life.RunState());
    context.speed_text = speed_text_;
    context.seams = w_.Context().run_seams;
    context.estimate_remaining = true;
    if (life.Statistics() != nullptr) context.statistics = run_statistics_.get();
    return context;
}

void TMainCommands::RunEnded() {
    NotifyRunEnd();
    TCardStatistics* statistics = w_.Lifecycle().Statistics();
    if (statistics == nullptr) return;
    statistics->SaveShotCounts();
    if (const std::optional<std::string> card = run_statistics_->TakeCardFolder()) {
        statistics->UpdateCardInfo(*card);
    }
}

void TMainCommands::TakeContext(const CopyRunContext& context) {
    w_.Lifecycle().TakeRunState(context.naming.state);
    speed_text_ = context.speed_text;
}

}  // namespace pelko
