#include "copy/copy_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "copy/destination_check.h"
#include "copy/file_kind.h"
#include "exif/bounded_reader.h"
#include "support/file_ops.h"
#include "support/platform.h"

namespace pelko {

namespace {

// How often the time remaining is told.
constexpr std::uint64_t kRemainingReportMs = 500;

// A batch is committed once it holds this many files or bytes, or is this old: few disk flushes,
// yet rows and deletions lag the copying by a moment only.
constexpr int kBatchFiles = 64;
// Descriptors a run opens for a moment besides its batches: the EXIF and model readers, the alias
// table, folders being created or flushed.
constexpr int kReservedDescriptors = 16;
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

// Whether the file system can hold the path at all: no name over 255 bytes, the whole below the
// path limit. A dry run fails such a row as the run would.
bool NameFits(const std::string& path) {
    if (path.size() >= PATH_MAX) return false;
    std::size_t start = 0;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos;
         start = slash + 1) {
        if (slash - start > NAME_MAX) return false;
    }
    return path.size() - start <= NAME_MAX;
}

// The row's copy outcome of a file operation's outcome.
TCopyOutcome CopyOutcomeOf(CopyOutcome outcome) {
    switch (outcome) {
        case CopyOutcome::kOk:
            return TCopyOutcome::coCopied;
        case CopyOutcome::kDestExists:
            // Another program took the name while the file was copied.
            return TCopyOutcome::coNameTaken;
        default:
            return TCopyOutcome::coFailed;
    }
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
      stats_(clock_),
      faults_(context.seams != nullptr ? context.seams->file_faults : nullptr),
      batch_(std::make_unique<DurableCopyBatch>(faults_)) {}

bool CopyRun::AbortRequested() const {
    return abort_.load() || (context_.abort != nullptr && context_.abort->load());
}

RunResult CopyRun::RunFileList() {
    const CopyRunSettings& settings = context_.settings;
    failed_ = 0;
    left_ = {};
    planned_.clear();
    dry_folders_.clear();
    swept_folders_.clear();
    made_folders_.clear();
    // Destination folders are made by the copies, below the roots held for the run; dry runs
    // create nothing.
    context_.naming.create_folders = false;
    dest_roots_.clear();
    if (!settings.dry_run && context_.copy_to_destinations) HoldDestinationRoots();
    // ...and see the names earlier rows would have taken, as the run would find them on the disk.
    if (settings.dry_run) {
        context_.naming.name_planned = [this](const std::string& path) {
            return planned_.count(path) > 0;
        };
    }

    // Each copy awaiting its commit holds two descriptors (card file and copy), and one batch may
    // be committing while the next fills: the batch is sized from what the process may still open.
    const int spare = DescriptorLimit() - OpenDescriptorCount() - kReservedDescriptors;
    batch_files_ = static_cast<std::size_t>(std::clamp(spare / 4, 1, int{kBatchFiles}));
    // A card folder is let go once its last file is done (a copy still pending keeps it).
    std::map<std::string, int> files_left;
    for (const std::string& path : context_.file_list)
        ++files_left[FolderOf(path)];

    stats_.StartTransferTimer();
    const int total = static_cast<int>(context_.file_list.size());
    // The bytes still to go: one look at each listed file, only when someone shows the estimate.
    std::vector<std::int64_t> sizes;
    TimeRemaining remaining;
    std::uint64_t reported_ms = 0;
    if (context_.estimate_remaining) {
        std::int64_t bytes = 0;
        for (const std::string& path : context_.file_list) {
            struct stat st {};
            sizes.push_back(::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size
                                                                                   : 0);
            bytes += sizes.back();
        }
        reported_ms = clock_.TickMs();
        remaining.Start(total, bytes, reported_ms);
    }
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
        const std::string& path = context_.file_list[static_cast<std::size_t>(i)];
        ProcessFile(path, i);
        current_in_.Reset();
        if (const std::string folder = FolderOf(path); --files_left[folder] == 0) {
            context_.source_folders.erase(folder);
        }
        result.rows = i + 1;
        if (context_.estimate_remaining) {
            const std::uint64_t now = clock_.TickMs();
            remaining.FileDone(sizes[static_cast<std::size_t>(i)], now);
            if (now >= reported_ms + kRemainingReportMs || i + 1 == total) {
                observer_.RemainingChanged(remaining.Estimate(now));
                reported_ms = now;
            }
        }
        if (context_.seams != nullptr && context_.seams->file_done) context_.seams->file_done(i);
    }
    CommitPending(true);

    context_.naming.name_planned = nullptr;
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
    result.left_on_card = left_;
    return result;
}

void CopyRun::ProcessFile(const std::string& path, int row) {
    const CopyRunSettings& settings = context_.settings;
    context_.naming.state.current_source_folder = FolderOf(path);
    const std::string ext = ExtensionOf(path);
    const TFileKind kind = context_.file_kinds.KindOf(ext);
    // One open of the card file in its held folder, never through a link: its fstat gives size,
    // time and identity, and the EXIF date, the camera model and the copy all read through it.
    const SourceFile file = SourceOf(path);
    const int dir_fd = file.folder ? file.folder->Fd() : AT_FDCWD;
    struct stat st;
    bool found = false;
    bool link = false;
    current_in_.Reset();
    if (kind == TFileKind::fkNone) {
        found = ::fstatat(dir_fd, file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        link = found && S_ISLNK(st.st_mode);
    } else {
        current_in_.Reset(
            ::openat(dir_fd, file.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        link = !current_in_.valid() && errno == ELOOP;
        found = current_in_.valid() && ::fstat(current_in_.get(), &st) == 0;
    }
    listed_.reset();
    if (found && S_ISREG(st.st_mode)) listed_ = IdentityOf(st);
    if (link) {
        TResultRow row_of_link{path, "", TFileKind::fkNone, TCopyOutcome::coNone,
                               TDeleteOutcome::doNone};
        row_of_link.link = true;
        SetRow(row, row_of_link);
        return;
    }
    if (found) current_stat_ = st;
    current_path_ = path;
    const ScopedOpenFile shared(current_path_, found ? current_in_.get() : -1,
                                found ? static_cast<std::uint64_t>(st.st_size) : 0);
    const std::int64_t size = found && !S_ISDIR(st.st_mode) ? st.st_size : 0;

    std::string root;
    switch (kind) {
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
            // The grid row stays blank; the row still says which file was left on the card.
            SetRow(row, {path, "", kind, TCopyOutcome::coNone, TDeleteOutcome::doNone});
            return;
    }

    DestinationRequest request{path, ext, root, std::nullopt};
    if (found) request.time_stamp = DateTime::FromTimeT(st.st_mtim.tv_sec);
    const DestinationResult destination = BuildDestination(context_.naming, request);
    if (destination.Skipped()) {
        MarkOlderFile(path, row, size, kind);
    } else {
        if (context_.copy_to_destinations) {
            CopyOneFile(path, destination.dest_path, row, size, kind);
        } else {
            RenameOneFile(path, destination.dest_path, row, size, kind);
        }
        context_.speed_text = stats_.TransferText();
        observer_.SpeedTextChanged(context_.speed_text, false);
    }
    if (settings.mode || settings.mode_sp_user) {
        statistics_.CountShot(path, context_.naming.state.current_shot_date);
    }
}

void CopyRun::HoldDestinationRoots() {
    const CopyRunSettings& s = context_.settings;
    for (const std::string* root : {&s.dest_raw, &s.dest_jpg, &s.dest_other}) {
        std::string path = *root;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (path.empty()) continue;
        if (std::any_of(dest_roots_.begin(), dest_roots_.end(),
                        [&](const auto& held) { return held.first == path; })) {
            continue;
        }
        // A first import creates its destinations.
        FolderCreate(path);
        dest_roots_.emplace_back(path, HeldFolder::Open(path));
    }
}

bool CopyRun::MakeDestinationFolder(const std::string& folder) {
    // Made once a run; a folder gone since makes the copy fail, never made again.
    if (made_folders_.count(folder) > 0) return true;
    // The root the folder lies in, the longest one when roots are nested.
    const std::pair<std::string, std::shared_ptr<const HeldFolder>>* best = nullptr;
    std::string_view relative;
    for (const auto& held : dest_roots_) {
        const std::string& root = held.first;
        std::string_view rest;
        if (folder == root) {
            rest = {};
        } else if (root == "/" && folder.size() > 1 && folder[0] == '/') {
            rest = std::string_view(folder).substr(1);
        } else if (folder.size() > root.size() && folder.compare(0, root.size(), root) == 0 &&
                   folder[root.size()] == '/') {
            rest = std::string_view(folder).substr(root.size() + 1);
        } else {
            continue;
        }
        if (best == nullptr || root.size() > best->first.size()) {
            best = &held;
            relative = rest;
        }
    }
    if (best == nullptr || !best->second || !best->second->CreateBelow(relative)) return false;
    made_folders_.insert(folder);
    return true;
}

SourceFile CopyRun::SourceOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    std::shared_ptr<const HeldFolder>& held = context_.source_folders[folder];
    if (!held) held = HeldFolder::Open(folder);
    if (!held) return {nullptr, path};
    return {held, NameOf(path)};
}

void CopyRun::SetRow(int row, const TResultRow& result) {
    if (result.Failed()) ++failed_;
    left_.Count(result);
    observer_.RowChanged(row, result);
}

bool CopyRun::DryFolderTakesFiles(const std::string& dest) {
    const std::string folder = FolderOf(dest);
    const auto found = dry_folders_.find(folder);
    if (found != dry_folders_.end()) return found->second;
    return dry_folders_[folder] = FolderCouldTakeFiles(folder);
}

bool CopyRun::StartRow(int row, const std::string& source, const std::string& dest,
                       TFileKind kind) {
    observer_.RowChanged(row,
                         {source, dest, kind, TCopyOutcome::coWorking, TDeleteOutcome::doNone});
    // Taken by any file, or in a dry run by an earlier row.
    return PathTaken(dest) || planned_.count(dest) > 0;
}

bool CopyRun::CopyOneFile(const std::string& source, const std::string& dest, int row,
                          std::int64_t size, TFileKind kind) {
    const bool remove = context_.settings.remove_after_copy;
    TResultRow result{source, dest, kind, TCopyOutcome::coCopied,
                      remove ? TDeleteOutcome::doDeleted : TDeleteOutcome::doNotAsked};
    // Temporaries of runs that died in this folder go before the first copy there is tried.
    if (const std::string folder = FolderOf(dest);
        !context_.settings.dry_run && swept_folders_.insert(folder).second) {
        RemoveStaleTemporaries(folder);
    }
    if (StartRow(row, source, dest, kind)) {
        result.copy = TCopyOutcome::coNameTaken;
        if (remove) result.removal = TDeleteOutcome::doSkipped;
    } else if (context_.settings.dry_run && (!NameFits(dest) || !DryFolderTakesFiles(dest))) {
        // No deletion is tried beside a failed copy.
        result.copy = TCopyOutcome::coFailed;
        if (remove) result.removal = TDeleteOutcome::doNotAsked;
    } else if (context_.settings.dry_run) {
        planned_.insert(dest);
        stats_.AddTransferredFile(size);
    } else {
        // A card file may only go once its copy is on the disk and reads back identical: such
        // copies are made in batches, which CommitPending finishes.
        // Only below a root still in place: a destination gone mid-run (a disk unplugged) is
        // never made again in its empty mount point.
        const SourceFile file = SourceOf(source);
        // The card file as ProcessFile opened it, when this is that file.
        const bool opened = current_path_ == source && current_in_.valid();
        const struct stat* opened_stat = opened ? &current_stat_ : nullptr;
        CopyOutcome outcome = CopyOutcome::kFolderFailed;
        if (MakeDestinationFolder(FolderOf(dest))) {
            const int fd = opened ? current_in_.Release() : -1;
            outcome = remove ? batch_->Stage(file, dest, false, fd, opened_stat)
                             : CopyFileChecked(
                                   file, dest,
                                   CopyOptions{false, false, faults_, false, fd, opened_stat});
        }
        if (outcome != CopyOutcome::kOk && remove && batch_->OutOfDescriptors()) {
            // The descriptors are the run's own, held by the copies awaiting their commit.
            CommitPending(true);
            outcome = batch_->Stage(file, dest, false);
        }
        if (outcome == CopyOutcome::kOk && remove) {
            if (pending_.empty()) batch_started_ms_ = clock_.TickMs();
            pending_.push_back({row, source, dest, size, kind, {}});
            if (batch_->Count() >= batch_files_ || batch_->Bytes() >= kBatchBytes ||
                clock_.TickMs() - batch_started_ms_ >= kBatchAgeMs) {
                CommitPending(false);
            }
            return true;
        }
        result.copy = CopyOutcomeOf(outcome);
        if (outcome == CopyOutcome::kOk) {
            stats_.AddTransferredFile(size);
        } else if (remove) {
            // The card file stays: skipped beside a taken name; beside a failed copy no deletion
            // was tried.
            result.removal = result.copy == TCopyOutcome::coNameTaken ? TDeleteOutcome::doSkipped
                                                                      : TDeleteOutcome::doNotAsked;
        }
    }
    SetRow(row, result);
    return result.copy == TCopyOutcome::coCopied;
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
            // Each card file goes only while it is still the file that was copied and verified.
            const std::vector<DurableCopyBatch::Committed> committed = job->batch->Commit(true);
            for (std::size_t i = 0; i < job->copies.size(); ++i)
                job->copies[i].committed = committed[i];
            return std::move(job->copies);
        };
        batch_ = std::make_unique<DurableCopyBatch>(faults_);
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
        const CopyOutcome outcome = copy.committed.outcome;
        // "失敗" under the deletion only for a deletion that was tried: after a good copy.
        TResultRow result{copy.source, copy.dest, copy.kind, CopyOutcomeOf(outcome),
                          TDeleteOutcome::doNotAsked};
        if (outcome == CopyOutcome::kOk) {
            stats_.AddTransferredFile(copy.size);
            result.removal = copy.committed.source_deleted ? TDeleteOutcome::doDeleted
                                                           : TDeleteOutcome::doFailed;
        } else if (outcome == CopyOutcome::kDestExists) {
            result.removal = TDeleteOutcome::doSkipped;
        }
        SetRow(copy.row, result);
    }
    context_.speed_text = stats_.TransferText();
    observer_.SpeedTextChanged(context_.speed_text, false);
}

bool CopyRun::RenameOneFile(const std::string& source, const std::string& dest, int row,
                            std::int64_t size, TFileKind kind) {
    // Only the new name counts; the file stays in its folder.
    const std::string new_path = FolderOf(source) + "/" + NameOf(dest);
    TResultRow result{source, new_path, kind, TCopyOutcome::coCopied, TDeleteOutcome::doNotAsked};
    if (StartRow(row, source, new_path, kind)) {
        result.copy = TCopyOutcome::coNameTaken;
        result.removal = TDeleteOutcome::doSkipped;
    } else if (context_.settings.dry_run ? NameFits(new_path) : RenameInHeldFolder(source, dest)) {
        if (context_.settings.dry_run) planned_.insert(new_path);
        stats_.AddTransferredFile(size);
    } else {
        result.copy = TCopyOutcome::coFailed;
    }
    SetRow(row, result);
    return result.copy == TCopyOutcome::coCopied;
}

bool CopyRun::RenameInHeldFolder(const std::string& source, const std::string& dest) {
    // In the folder the listing found the file in, while it still holds that file: a card folder
    // swapped for a link must not make the run rename a file elsewhere.
    const SourceFile file = SourceOf(source);
    if (!listed_ && file.folder) {
        struct stat st;
        if (::fstatat(file.folder->Fd(), file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode)) {
            listed_ = IdentityOf(st);
        }
    }
    return listed_ && RenameIfUnchanged(file, *listed_, NameOf(dest)) == 0;
}

void CopyRun::MarkOlderFile(const std::string& source, int row, std::int64_t size, TFileKind kind) {
    stats_.AddTransferredFile(size);
    SetRow(row, {source, "", kind, TCopyOutcome::coOlder, TDeleteOutcome::doNotAsked});
}

CommandResult RunCopyCommand(CopyRunContext& context, ICopyRunObserver& observer,
                             const std::string& source_folder, RunSourceKind kind) {
    CommandResult result;
    observer.RunStarting();
    observer.ProgressPosition(0);
    observer.ProgressText("");
    observer.StatusChanged(std::string(kStatusWorking));
    RunListing listing = ListRunFiles(source_folder, context.abort, context.seams);
    if (listing.stopped) {
        // Stopped while the source was listed: no file is touched, and an incomplete listing
        // says nothing about what the source holds.
        context.file_list.clear();
        context.source_folders.clear();
        result.run.aborted = true;
        result.run.status = kStatusAborted;
        observer.StatusChanged(result.run.status);
        return result;
    }
    context.file_list = std::move(listing.files);
    context.source_folders = std::move(listing.folders);
    result.unreadable_folders = std::move(listing.unreadable);
    if (context.file_list.empty()) {
        // A folder that could not be read is the error to report, not an empty card.
        if (!result.unreadable_folders.empty()) return result;
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
