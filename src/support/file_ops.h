#pragma once

// File operations on POSIX paths. Every operation reports success as a Boolean and never throws.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelko {

// Text up to the last "/", without that "/" unless it is the whole path ("/"); empty for a bare
// file name.
std::string FolderOf(std::string_view path);
// File name part of a path (after the last "/").
std::string NameOf(std::string_view path);
// Extension of a path's file name including the dot ("" when none).
std::string ExtensionOf(std::string_view path);

bool FolderExists(const std::string& path);
// True for an existing regular file (symlinks followed).
bool FileExists(const std::string& path);
// Removes one trailing "/", creates the folder with all missing levels; true when it exists
// afterwards.
bool FolderCreate(const std::string& path);

// Copies Source to Dest through a temporary file in Dest's folder, keeping modification time and
// permission bits. Without overwrite an existing Dest is never replaced, even one that appears
// while the copy runs. Nothing partial is ever left under Dest or under the temporary name.
bool FileCopy(const std::string& source, const std::string& dest, bool overwrite);

// Why a copy failed, for callers that report more than a Boolean.
enum class CopyOutcome {
    kOk,
    kSourceMissing,  // not an existing regular file
    kDestExists,     // without overwrite, the destination already holds a file; also when
                     // the destination is the source itself under another name
    kFolderFailed,   // the destination folder could not be created
    kReadFailed,     // the source could not be read (vanished, I/O error)
    kWriteFailed,    // the copy could not be written (read-only folder, disk full)
    kVerifyFailed,   // the durable copy read back differently from the source
};

struct CopyOptions {
    bool overwrite = false;
    // Make the copy durable (fdatasync, folder fsync), drop its cached pages and read it back
    // against the source: required before any source is deleted.
    bool durable_verify = false;
};

CopyOutcome CopyFileChecked(const std::string& source, const std::string& dest,
                            const CopyOptions& options);

// fsync of a folder, so that the names made in it survive a power cut.
bool SyncFolder(const std::string& path);

// Durable, verified copies made in groups, so that a run of many files pays for few disk
// flushes. Stage copies a file under a temporary name in its destination folder and starts its
// write-back; Commit makes every staged copy durable, drops its cached pages and reads it back
// against its source, puts each identical copy under its final name (never replacing a file) and
// fsyncs the folders that received names. Only a copy that Commit reports kOk may let its source
// go. Copies staged and never committed leave nothing but, after a crash, temporary files.
class DurableCopyBatch {
  public:
    DurableCopyBatch();
    ~DurableCopyBatch();
    DurableCopyBatch(const DurableCopyBatch&) = delete;
    DurableCopyBatch& operator=(const DurableCopyBatch&) = delete;

    // kOk: staged, not yet under its name. Any other outcome is final and leaves nothing.
    CopyOutcome Stage(const std::string& source, const std::string& dest);
    std::size_t Count() const { return entries_.size(); }
    std::int64_t Bytes() const { return bytes_; }
    // The outcome of each staged copy, in staging order; the batch is empty afterwards.
    std::vector<CopyOutcome> Commit();

  private:
    struct Entry;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::int64_t bytes_ = 0;
};

// Test seam: makes the file layer's writes fail as a full disk would once `bytes` more bytes
// have been written (negative: never). Process-wide; tests reset it to -1.
void SetWriteFailureAfterBytesForTesting(std::int64_t bytes);
bool FileCopyToFolder(const std::string& source, const std::string& dest_folder, bool overwrite);
bool FileDelete(const std::string& path);
// Copy, made durable and read back identical, then delete of Source; true only when both
// succeeded.
bool FileMove(const std::string& source, const std::string& dest, bool overwrite);
bool FileMoveToFolder(const std::string& source, const std::string& dest_folder, bool overwrite);

// Prefix of the temporary names a copy works under; a name with it is a leftover of a crashed
// copy and never a picture.
inline constexpr std::string_view kCopyTemporaryPrefix = ".pelkocopy-tmp-";
// True for a file name (no folder) that a copy in progress or a crashed copy left.
bool IsCopyTemporaryName(std::string_view name);

// Test seam: called once the data of a copy is written and checked, just before it is put under
// its final name (empty function: none). Process-wide; tests reset it.
void SetBeforeCommitHookForTesting(std::function<void()> hook);
// Test seam: when true, copies take the read/write path instead of the kernel's copy_file_range.
void SetKernelCopyDisabledForTesting(bool disabled);

}  // namespace pelko
