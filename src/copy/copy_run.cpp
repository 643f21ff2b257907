#include "copy/copy_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "copy/file_kind.h"
#include "support/file_info.h"
#include "support/file_ops.h"
#include "support/platform.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace pelko {

namespace {

// A batch is committed once it holds this many files or bytes, or is this old: few disk flushes,
// yet rows and deletions lag the copying by a moment only.
constexpr std::size_t kBatchFiles = 64;
constexpr std::int64_t kBatchBytes = std::int64_t{256} << 20;
constexpr std::uint64_t kBatchAgeMs = 1000;

const IClock& DefaultClock() {
    static const SystemClock clock;
    return clock;
}

// Anything at the path, a dangling link or a folder included: the name is taken.
bool PathTaken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Renames without ever replacing an existing file, even one that appears meanwhile.
bool RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
    // File systems without renameat2 flags: a hard link claims the name atomically.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return true;
        ::unlink(to.c_str());
        return false;
    }
    if (errno == EEXIST) return false;
    // No hard links either (FAT cards): the best left is a checked rename.
    if (PathTaken(to)) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

std::string ShowProgressTitle(int current, int total) {
    if (current == 0 || current == total) return "PelkoCopy";
    return "PelkoCopy - [ " + std::to_string(current) + " / " + std::to_string(total) + " ]";
}

CopyRun::CopyRun(CopyRunContext& context, ICopyRunObserver& observer)
    : context_(context),
      observer_(observer),
      statistics_(context.statistics != nullptr ? *context.statistics : no_statistics_),
      clock_(context.clock != nullptr ? *context.clock : DefaultClock()),
      stats_(clock_) {}

bool CopyRun::AbortRequested() const {
    return abort_.load() || (context_.abort != nullptr && context_.abort->load());
}

RunResult CopyRun::RunFileList() {
    const CopyRunSettings& settings = context_.settings;
    abort_.store(false);
    if (context_.abort != nullptr) context_.abort->store(false);
    failed_ = 0;
    planned_.clear();
    // Dry runs work out every destination without creating its folder.
    context_.naming.create_folders = !settings.dry_run && context_.copy_to_destinations;

    stats_.StartTransferTimer();
    const int total = static_cast<int>(context_.file_list.size());
    if (settings.mode) statistics_.LoadCameraTally();

    RunResult result;
    for (int i = 0; i < total; ++i) {
        if (AbortRequested()) {
            result.aborted = true;
            break;
        }
        // The date-time name looks for a taken name on the disk, where pending copies have none
        // yet.
        if (context_.naming.settings.file_name_mode == kFileNameModeDateTime) CommitPending(true);
        observer_.ProgressPosition(i);
        observer_.ProgressText(std::to_string(i + 1) + " / " + std::to_string(total));
        observer_.TitleChanged(ShowProgressTitle(i + 1, total));
        observer_.RowAdded(i);
        ProcessFile(context_.file_list[static_cast<std::size_t>(i)], i);
        result.rows = i + 1;
    }
    CommitPending(true);

    if (settings.mode) statistics_.SaveCameraTally();
    if (context_.speed_text == kSpeedCalculating) context_.speed_text = kSpeedTooShort;
    observer_.SpeedTextChanged(context_.speed_text, true);
    if (result.aborted) {
        result.status = kStatusAborted;
        observer_.StatusChanged(result.status);
    } else {
        result.status = kStatusFinished;
        observer_.StatusChanged(result.status);
        observer_.ProgressPosition(total);
        observer_.TitleChanged(ShowProgressTitle(0, 0));
    }
    result.failed = failed_;
    return result;
}

void CopyRun::ProcessFile(const std::string& path, int row) {
    const CopyRunSettings& settings = context_.settings;
    context_.naming.state.current_source_folder = FolderOf(path);
    const std::string ext = ExtensionOf(path);
    TFileIfo info;
    info.SetFileName(path);
    const std::int64_t size = info.Size();

    std::string root;
    switch (context_.file_kinds.KindOf(ext)) {
        case TFileKind::fkRaw:
            // Tallied before the cut-off is applied, so an older RAW file counts too.
            if (settings.mode) statistics_.TallyRawFile(path, size);
            root = settings.dest_raw;
            break;
        case TFileKind::fkJpeg: {
            const std::string name = NameOf(path);
            const bool compact =
                settings.mode && (StartsWith(name, "DSCN") || StartsWith(name, "CIMG"));
            root = settings.dest_jpg + std::string(compact ? kCompactFolder : kDslrFolder);
            break;
        }
        case TFileKind::fkOther:
            root = settings.dest_other;
            break;
        case TFileKind::fkNone:
            return;  // the row stays blank
    }

    DestinationRequest request{path, ext, root, std::nullopt};
    if (info.Found()) request.time_stamp = info.TimeStamp();
    const DestinationResult destination = BuildDestination(context_.naming, request);
    if (destination.Skipped()) {
        MarkOlderFile(path, row, size);
    } else {
        if (context_.copy_to_destinations) {
            CopyOneFile(path, destination.dest_path, row, size);
        } else {
            RenameOneFile(path, destination.dest_path, row, size);
        }
        context_.speed_text = stats_.TransferText();
        observer_.SpeedTextChanged(context_.speed_text, false);
    }
    if (settings.mode || settings.mode_sp_user) {
        statistics_.CountShot(path, context_.naming.state.current_shot_date);
    }
}

void CopyRun::SetRow(int row, ResultRow cells) {
    if (cells[2] == kCellFailed || cells[3] == kCellFailed) ++failed_;
    observer_.RowChanged(row, cells);
}

bool CopyRun::StartRow(int row, const std::string& source, const std::string& dest) {
    observer_.RowChanged(row, {source, dest, std::string(kCellWorking), ""});
    // Taken by any file, or in a dry run by an earlier row.
    return PathTaken(dest) || planned_.count(dest) > 0;
}

bool CopyRun::CopyOneFile(const std::string& source, const std::string& dest, int row,
                          std::int64_t size) {
    const bool remove = context_.settings.remove_after_copy;
    std::string copy_text;
    std::string delete_text(kCellNone);
    bool ok = false;
    if (StartRow(row, source, dest)) {
        copy_text = kCellSameName;
        if (remove) delete_text = kCellSkip;
    } else if (context_.settings.dry_run) {
        planned_.insert(dest);
        stats_.AddTransferredFile(size);
        copy_text = kCellOk;
        if (remove) delete_text = kCellOk;
        ok = true;
    } else {
        // A card file may only go once its copy is on the disk and reads back identical: such
        // copies are made in batches, which CommitPending finishes.
        const CopyOutcome outcome =
            remove ? batch_->Stage(source, dest) : CopyFileChecked(source, dest, CopyOptions{});
        if (outcome == CopyOutcome::kOk && remove) {
            if (pending_.empty()) batch_started_ms_ = clock_.TickMs();
            pending_.push_back({row, source, dest, size});
            if (batch_->Count() >= kBatchFiles || batch_->Bytes() >= kBatchBytes ||
                clock_.TickMs() - batch_started_ms_ >= kBatchAgeMs) {
                CommitPending(false);
            }
            return true;
        }
        if (outcome == CopyOutcome::kOk) {
            stats_.AddTransferredFile(size);
            copy_text = kCellOk;
            ok = true;
        } else if (outcome == CopyOutcome::kDestExists) {
            // Another program took the name while the file was copied.
            copy_text = kCellSameName;
            if (remove) delete_text = kCellSkip;
        } else {
            copy_text = kCellFailed;
            // Deletion was asked for and did not happen: say so, the card file stays.
            if (remove) delete_text = kCellFailed;
        }
    }
    SetRow(row, {source, dest, copy_text, delete_text});
    return ok;
}

void CopyRun::CommitPending(bool finish) {
    ReportCommitted();
    if (!pending_.empty()) {
        // The worker flushes and reads back one batch while this thread copies the next.
        struct Job {
            std::unique_ptr<DurableCopyBatch> batch;
            std::vector<PendingCopy> copies;
        };
        auto job = std::make_shared<Job>(Job{std::move(batch_), std::move(pending_)});
        auto work = [job] {
            const std::vector<CopyOutcome> outcomes = job->batch->Commit();
            for (std::size_t i = 0; i < job->copies.size(); ++i) {
                PendingCopy& copy = job->copies[i];
                copy.outcome = outcomes[i];
                copy.deleted = outcomes[i] == CopyOutcome::kOk && FileDelete(copy.source);
            }
            return std::move(job->copies);
        };
        batch_ = std::make_unique<DurableCopyBatch>();
        pending_.clear();
        try {
            committing_ = std::async(std::launch::async, work);
        } catch (const std::system_error&) {
            // No thread to be had: commit on this one.
            std::promise<std::vector<PendingCopy>> done;
            done.set_value(work());
            committing_ = done.get_future();
        }
    }
    if (finish) ReportCommitted();
}

void CopyRun::ReportCommitted() {
    if (!committing_.valid()) return;
    for (const PendingCopy& copy : committing_.get()) {
        ResultRow cells = {copy.source, copy.dest, std::string(kCellFailed),
                           std::string(kCellFailed)};
        if (copy.outcome == CopyOutcome::kOk) {
            stats_.AddTransferredFile(copy.size);
            cells[2] = kCellOk;
            if (copy.deleted) cells[3] = kCellOk;
        } else if (copy.outcome == CopyOutcome::kDestExists) {
            // Another program took the name while the file was copied.
            cells[2] = kCellSameName;
            cells[3] = kCellSkip;
        }
        SetRow(copy.row, std::move(cells));
    }
    context_.speed_text = stats_.TransferText();
    observer_.SpeedTextChanged(context_.speed_text, false);
}

bool CopyRun::RenameOneFile(const std::string& source, const std::string& dest, int row,
                            std::int64_t size) {
    // Only the new name counts; the file stays in its folder.
    const std::string new_path = FolderOf(source) + "/" + NameOf(dest);
    std::string copy_text;
    std::string delete_text(kCellNone);
    bool ok = false;
    if (StartRow(row, source, new_path)) {
        copy_text = kCellSameName;
        delete_text = kCellSkip;
    } else if (context_.settings.dry_run || RenameNoReplace(source, new_path)) {
        if (context_.settings.dry_run) planned_.insert(new_path);
        stats_.AddTransferredFile(size);
        copy_text = kCellOk;
        ok = true;
    } else {
        copy_text = kCellFailed;
    }
    SetRow(row, {source, new_path, copy_text, delete_text});
    return ok;
}

void CopyRun::MarkOlderFile(const std::string& source, int row, std::int64_t size) {
    stats_.AddTransferredFile(size);
    SetRow(row,
           {source, std::string(kCellOlderFile), std::string(kCellNone), std::string(kCellNone)});
}

CommandResult RunCopyCommand(CopyRunContext& context, ICopyRunObserver& observer,
                             const std::string& source_folder, RunSourceKind kind) {
    CommandResult result;
    observer.RunStarting();
    observer.ProgressPosition(0);
    observer.ProgressText("");
    observer.StatusChanged(std::string(kStatusWorking));
    context.file_list = ListRunFiles(source_folder);
    if (context.file_list.empty()) {
        result.message = kind == RunSourceKind::rsCard ? kNoFilesOnCard : kNoFilesInFolder;
        return result;
    }
    observer.ProgressMaximum(static_cast<int>(context.file_list.size()));
    CopyRun engine(context, observer);
    result.run = engine.RunFileList();
    if (kind == RunSourceKind::rsCard && context.settings.mode && context.statistics != nullptr) {
        context.statistics->UpdateCardInfo(source_folder);
    }
    return result;
}

std::string FolderCommandConfirmation(bool copy_to_destinations) {
    std::string text = "この処理は取り込み済みファイルのファイル名を変更します\r\n\r\n";
    if (copy_to_destinations) {
        text +=
            "変更後は、『コピー先のフォルダ』『ファイル名』『コピー後にメディアから削除』\r\n"
            "のルールが適用されます。\r\n\r\n";
    }
    return text + "処理を続けますか？\r\n";
}

std::string FolderCommandPickerTitle(bool copy_to_destinations) {
    return copy_to_destinations ? "コピー元のフォルダを選択して下さい"
                                : "処理するフォルダを選択して下さい";
}

}  // namespace pelko
