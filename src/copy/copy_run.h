#pragma once

// The copy run: every listed file is sorted by kind, given its destination by the destination
// builder, copied there (or renamed in its own folder) and optionally deleted from the card, one
// result row per file. The engine runs on whichever thread calls it and reports through an
// observer; RequestAbort (any thread) stops it before the next file.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "copy/card_statistics_hooks.h"
#include "copy/file_kind.h"
#include "copy/left_on_card.h"
#include "copy/result_row.h"
#include "copy/time_remaining.h"
#include "copy/transfer_stats.h"
#include "naming/destination.h"
#include "support/file_ops.h"

namespace pelko {

class IClock;

// Result grid columns: file name, destination, copy, delete from the card.
inline constexpr std::array<std::string_view, 4> kResultHeaders = {
    "ファイル名", "コピー先", "コピー処理", "メディアから削除"};

inline constexpr std::string_view kStatusWorking = "　　処理中・・・";
inline constexpr std::string_view kStatusFinished = "　　処理が終了しました";
inline constexpr std::string_view kStatusAborted = "　　コピー処理を中止しました";

inline constexpr std::string_view kNoFilesOnCard = "メディアへファイルが存在しませんでした";
inline constexpr std::string_view kNoFilesInFolder = "指定のフォルダへファイルが存在しませんでした";

// Sub-folders of the JPEG destination: pictures of system cameras, and (with Mode) of compact
// cameras, told by their file-name prefix.
inline constexpr std::string_view kDslrFolder = "/DSLR";
inline constexpr std::string_view kCompactFolder = "/コンデジ";

// What the window shows of a run. Every call comes from the thread that runs the engine.
class ICopyRunObserver {
  public:
    virtual ~ICopyRunObserver() = default;
    // A run over a listed source begins: reset the grid to its header, progress 0, status panel
    // 1 empty, panel 2 "　　処理中・・・".
    virtual void RunStarting() {}
    virtual void ProgressMaximum(int /*maximum*/) {}
    virtual void ProgressPosition(int /*position*/) {}
    // Status panel 1, "3 / 120".
    virtual void ProgressText(const std::string& /*text*/) {}
    // The application title (ShowProgressTitle).
    virtual void TitleChanged(const std::string& /*title*/) {}
    // A blank row was appended; rows count from 0 below the header.
    virtual void RowAdded(int /*row*/) {}
    // The row's outcome changed; GridCells gives its texts.
    virtual void RowChanged(int /*row*/, const TResultRow& /*result*/) {}
    // The speed line; `finished` is true for the last change of a run (the window marks it).
    virtual void SpeedTextChanged(const std::string& /*text*/, bool /*finished*/) {}
    // Status panel 2.
    virtual void StatusChanged(const std::string& /*text*/) {}
    // Files left and the time remaining, about twice a second, with estimate_remaining set.
    virtual void RemainingChanged(const RemainingEstimate& /*estimate*/) {}
};

// Settings of the main window that the run reads; fixed for the length of a run.
struct CopyRunSettings {
    std::string dest_raw;            // DestRaw
    std::string dest_jpg;            // DestJpg
    std::string dest_other;          // DestOther
    bool remove_after_copy = false;  // CopyAfterReMove
    bool mode = false;               // Mode: statistics and the compact-camera JPEG folder
    bool mode_sp_user = false;       // ModeSpUser: shot counters only
    // Print what would happen: nothing is created, copied, renamed or deleted.
    bool dry_run = false;
};

// Points where a test steps into a run; production runs have none.
struct CopyRunSeams {
    // Faults the file layer meets (full disk, changed sources, named temporaries).
    FileFaults* file_faults = nullptr;
    // Each folder as the listing holds it, before its files are listed.
    std::function<void(const std::string& folder)> folder_listed;
    // After each file's row was worked on (its copy may still wait for its batch).
    std::function<void(int row)> file_done;
};

struct CopyRunContext {
    CopyRunSettings settings;
    // The extensions of each kind.
    FileKindTable file_kinds;
    // Naming settings and the date texts (LastCopyCutoff, NewestFileDate, CurrentShotDate,
    // CurrentSourceFolder) that the run carries from file to file.
    NamingContext naming;
    std::vector<std::string> file_list;  // FileList
    // The folders of the listed files, held open since the listing, so that a card file is
    // copied and deleted in the folder it was found in. A folder missing here is opened when its
    // first file comes.
    std::map<std::string, std::shared_ptr<const HeldFolder>> source_folders;
    bool copy_to_destinations = true;  // CopyToDestinations
    // The speed line's text; kept from run to run.
    std::string speed_text;
    const IClock* clock = nullptr;          // null: the system clock
    ICardStatistics* statistics = nullptr;  // null: no statistics
    // Set from any thread (Esc in the window, SIGINT or SIGTERM in the tool) to stop the listing
    // or the run before the next file. It belongs to whoever starts the run, who clears it before;
    // the engine only reads it.
    const std::atomic<bool>* abort = nullptr;
    const CopyRunSeams* seams = nullptr;  // null: none
    // Report the time remaining: the sizes of the listed files are read at the start for it.
    bool estimate_remaining = false;
};

struct RunResult {
    bool aborted = false;
    int rows = 0;        // rows written (files reached before any abort)
    int failed = 0;      // rows whose copy or deletion failed
    std::string status;  // final text of status panel 2
    // Why files stayed on the card, from the final rows (LeftOnCardText, LeftOnCardTextJa).
    LeftOnCard left_on_card;
};

class CopyRun {
  public:
    CopyRun(CopyRunContext& context, ICopyRunObserver& observer);
    CopyRun(const CopyRun&) = delete;
    CopyRun& operator=(const CopyRun&) = delete;

    // Processes context.file_list.
    RunResult RunFileList();

    // Stops the run before its next file; safe from any thread.
    void RequestAbort() { abort_.store(true); }
    bool AbortRequested() const;

    // One file each; they fill one row. With removal a copy joins the pending batch and its row
    // shows "処理中" until the batch is committed.
    bool CopyOneFile(const std::string& source, const std::string& dest, int row, std::int64_t size,
                     TFileKind kind);
    bool RenameOneFile(const std::string& source, const std::string& dest, int row,
                       std::int64_t size, TFileKind kind);
    void MarkOlderFile(const std::string& source, int row, std::int64_t size, TFileKind kind);

    const TransferStats& Stats() const { return stats_; }

  private:
    void ProcessFile(const std::string& path, int row);
    void SetRow(int row, const TResultRow& result);
    // Shows the row as working; true when the destination's name is taken.
    bool StartRow(int row, const std::string& source, const std::string& dest, TFileKind kind);
    // Whether a dry run's copy to dest could find or make its folder.
    bool DryFolderTakesFiles(const std::string& dest);
    // Hands the filling batch to a worker, which makes its copies durable and verified and
    // deletes the card files of the good ones; reports the batch handed over before. With
    // `finish`, also waits for the worker, so that no copy is pending afterwards.
    void CommitPending(bool finish);
    // Waits for the batch on the worker and finishes its rows.
    void ReportCommitted();

    CopyRunContext& context_;
    ICopyRunObserver& observer_;
    NullCardStatistics no_statistics_;
    ICardStatistics& statistics_;
    const IClock& clock_;
    TransferStats stats_;
    std::atomic<bool> abort_{false};
    int failed_ = 0;
    LeftOnCard left_;
    // The source file at path, named in its held folder.
    SourceFile SourceOf(const std::string& path);
    // Renames the card file to dest's name in its held folder; true when done.
    bool RenameInHeldFolder(const std::string& source, const std::string& dest);
    // The file being worked on as the run first looked at it; none for one that is not a regular
    // file.
    std::optional<FileIdentity> listed_;
    // Holds the destination roots open for the run, creating a missing one: only here, at the
    // start, never again while the run goes on.
    void HoldDestinationRoots();
    // Creates a destination folder below its held root; false when the root is gone or replaced
    // (a disk unplugged), or the folder cannot be made there.
    bool MakeDestinationFolder(const std::string& folder);

    // The destination roots as set (no trailing "/"), each held since the run started; null for
    // one that could not be opened.
    std::vector<std::pair<std::string, std::shared_ptr<const HeldFolder>>> dest_roots_;

    // Dry runs: names that earlier rows would have filled, and whether each folder could take
    // files.
    std::set<std::string> planned_;
    std::map<std::string, bool> dry_folders_;
    // Destination folders already cleared of the temporaries of dead runs, and those made.
    std::set<std::string> swept_folders_;
    std::set<std::string> made_folders_;
    // The card file being worked on, opened once (until the copy takes it over).
    std::string current_path_;
    UniqueFd current_in_;
    struct stat current_stat_ = {};
    // Copies awaiting their flush, read-back and the deletion of their card files.
    struct PendingCopy {
        int row;
        std::string source, dest;
        std::int64_t size;
        TFileKind kind;
        DurableCopyBatch::Committed committed;
    };
    FileFaults* faults_ = nullptr;
    std::unique_ptr<DurableCopyBatch> batch_;
    std::size_t batch_files_ = 64;  // copies per batch, from the descriptor limit
    std::vector<PendingCopy> pending_;
    std::uint64_t batch_started_ms_ = 0;
    std::future<std::vector<PendingCopy>> committing_;
};

// "PelkoCopy - [ 3 / 120 ]", or "PelkoCopy" for current 0 or the last file.
std::string ShowProgressTitle(int current, int total);

// The files of a card or folder to process, in search order: existing regular files below
// folder, without names that begin with "PHOT" and without the temporary files of a broken copy.
// Their folders are held open from here on and listed through those descriptors; a folder that
// cannot be opened or read to its end is named in `unreadable`.
struct RunListing {
    std::vector<std::string> files;
    std::map<std::string, std::shared_ptr<const HeldFolder>> folders;
    std::vector<std::string> unreadable;
    bool stopped = false;  // the stop flag ended the listing: the lists are incomplete
};
RunListing ListRunFiles(const std::string& folder, const std::atomic<bool>* stop = nullptr,
                        const CopyRunSeams* seams = nullptr);

enum class RunSourceKind { rsCard, rsFolder };

struct CommandResult {
    // Empty when files were processed; otherwise the information message the window shows.
    std::string message;
    // Folders of the source that could not be read: an error, whatever else happened.
    std::vector<std::string> unreadable_folders;
    RunResult run;
};

// The copy command over a card (DCIM folder) or the folder command over any folder: lists the
// source, runs the list, and after a card run with Mode updates the card statistics.
// context.copy_to_destinations says copy or rename in place.
CommandResult RunCopyCommand(CopyRunContext& context, ICopyRunObserver& observer,
                             const std::string& source_folder, RunSourceKind kind);

// The confirmation of the folder command, before the folder is picked.
std::string FolderCommandConfirmation(bool copy_to_destinations);
// Title of the folder picker of the folder command.
std::string FolderCommandPickerTitle(bool copy_to_destinations);

}  // namespace pelko
