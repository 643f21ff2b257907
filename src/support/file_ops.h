#pragma once

// File operations on POSIX paths. Every operation reports success as a Boolean and never throws.

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/unique_fd.h"

namespace pelko {

struct FileFaults;

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

// A folder held open, so that names are looked up in that very folder even after its path was
// renamed or replaced (a card folder swapped for a link must not redirect a deletion).
class HeldFolder {
  public:
    // Null when the folder cannot be opened for reading; *error gets the errno value.
    static std::shared_ptr<const HeldFolder> Open(const std::string& path, int* error = nullptr);
    // The sub-folder `name` of this folder, opened in it without following a link; `path` is the
    // text it is known by.
    std::shared_ptr<const HeldFolder> OpenChild(const std::string& name, const std::string& path,
                                                int* error = nullptr) const;
    int Fd() const { return fd_.get(); }
    const std::string& Path() const { return path_; }
    // True while the path still leads to this folder.
    bool StillAtPath() const;
    // Creates the missing folders of `relative` ("a/b") below this folder, while its path still
    // leads here: each level made and opened relative to the one above, never through a link,
    // and each checked to be a folder. True when all of them are there afterwards.
    bool CreateBelow(std::string_view relative) const;

  private:
    UniqueFd fd_;
    std::string path_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

// A file named in a held folder; without a folder, name is a path and nothing may delete it.
struct SourceFile {
    std::shared_ptr<const HeldFolder> folder;
    std::string name;
};
// The file at path, its folder held open ("." for a bare name).
SourceFile SourceFileAt(const std::string& path);

// What makes a file the one that was copied: a deletion goes ahead only while its name still
// holds the same file, unchanged.
struct FileIdentity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime = {};
    struct timespec ctime = {};
};
FileIdentity IdentityOf(const struct stat& st);
bool SameIdentity(const FileIdentity& a, const FileIdentity& b);
// Deletes the name in its held folder only while the folder's path still leads there and the
// name (no link followed) still holds the file `identity` describes.
bool DeleteIfUnchanged(const SourceFile& file, const FileIdentity& identity);
// Renames without ever replacing an existing file, even one that appears meanwhile. Returns 0
// or an errno value (EEXIST when `to` exists).
int RenameNoReplace(const std::string& from, const std::string& to);
// Gives the file a new name in its held folder, never replacing a file, and only while the folder's
// path still leads there and the name (no link followed) still holds the file `identity`
// describes: the check a deletion makes. Returns 0 or an errno value (EEXIST when the new name is
// taken, ESTALE when the file or its folder changed).
int RenameIfUnchanged(const SourceFile& file, const FileIdentity& identity,
                      const std::string& new_name);

struct AtomicWriteOptions {
    bool replace = true;  // false: an existing file is never replaced (EEXIST)
    mode_t mode = 0666;   // permission bits of a new file, before the umask
    // Permission bits set exactly (say, those of the file being replaced).
    std::optional<mode_t> exact_mode;
};
// Puts bytes under path so that the name holds the old file or the whole new one, never part:
// a unique temporary in the same folder, written, flushed, renamed (or, without replace, linked)
// into place, then the folder flushed. The temporary is removed on every failure. Returns 0 or
// an errno value.
int WriteFileAtomically(const std::string& path, std::string_view bytes,
                        const AtomicWriteOptions& options = {});

// Copies Source to Dest through a temporary file in Dest's folder, keeping modification time and
// permission bits. Without overwrite an existing Dest is never replaced, even one that appears
// while the copy runs. Nothing partial is ever left under Dest or under the temporary name.
bool FileCopy(const std::string& source, const std::string& dest, bool overwrite,
              FileFaults* faults = nullptr);

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

// Faults a test makes the copies meet, handed to the code under test; production code passes
// none. One object may serve several copies (and the worker that commits a batch).
struct FileFaults {
    // Writes fail as on a full disk once this many more bytes were written; negative: never.
    std::atomic<std::int64_t> write_budget{-1};
    // Copies take the read/write path instead of the kernel's copy_file_range.
    bool kernel_copy_disabled = false;
    // Copies work under named temporaries even where the file system has unnamed files.
    bool named_temporaries = false;
    // Called once the data of a copy is written and checked, just before it gets its final name.
    std::function<void()> before_commit;
};

struct CopyOptions {
    bool overwrite = false;
    // Make the copy durable (fdatasync, folder fsync), drop its cached pages and read it back
    // against the source: required before any source is deleted.
    bool durable_verify = false;
    FileFaults* faults = nullptr;  // null: none
    // Create Dest's folder when it is missing; false: a missing folder fails the copy.
    bool create_folder = true;
    // The source already open (taken over: closed on every path) and what fstat said of it.
    int source_fd = -1;
    const struct stat* source_stat = nullptr;
};

CopyOutcome CopyFileChecked(const std::string& source, const std::string& dest,
                            const CopyOptions& options);
CopyOutcome CopyFileChecked(const SourceFile& source, const std::string& dest,
                            const CopyOptions& options);

// fsync of a folder, so that the names made in it survive a power cut.
bool SyncFolder(const std::string& path);

// Durable, verified copies made in groups, so that a run of many files pays for few disk
// flushes. Stage copies a file into an unnamed file (or a temporary name) in its destination
// folder and starts its write-back; Commit makes every staged copy durable, drops its cached pages
// and reads it back against the very source it was copied from, puts each identical copy under
// its final name (never replacing a file), fsyncs the folders that received names and, when
// asked, deletes each verified source that is still unchanged in its held folder. Copies staged
// and never committed leave nothing, and after a crash at most temporary files that later runs
// remove.
class DurableCopyBatch {
  public:
    explicit DurableCopyBatch(FileFaults* faults = nullptr);
    ~DurableCopyBatch();
    DurableCopyBatch(const DurableCopyBatch&) = delete;
    DurableCopyBatch& operator=(const DurableCopyBatch&) = delete;

    // kOk: staged, not yet under its name. Any other outcome is final and leaves nothing.
    // Without create_folder a missing destination folder fails the copy (kFolderFailed).
    // An open source descriptor (with its fstat) is taken over as CopyOptions::source_fd is.
    CopyOutcome Stage(const SourceFile& source, const std::string& dest, bool create_folder = true,
                      int source_fd = -1, const struct stat* source_stat = nullptr);
    std::size_t Count() const { return entries_.size(); }
    // The last Stage failed for want of a descriptor: committing frees those the batch holds.
    bool OutOfDescriptors() const { return out_of_descriptors_; }
    std::int64_t Bytes() const { return bytes_; }

    struct Committed {
        CopyOutcome outcome = CopyOutcome::kOk;
        bool source_deleted = false;
    };
    // Each staged copy, in staging order; the batch is empty afterwards.
    std::vector<Committed> Commit(bool delete_sources);

  private:
    struct Entry;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::int64_t bytes_ = 0;
    FileFaults* faults_ = nullptr;
    bool out_of_descriptors_ = false;
};

bool FileCopyToFolder(const std::string& source, const std::string& dest_folder, bool overwrite,
                      FileFaults* faults = nullptr);
bool FileDelete(const std::string& path);
// Copy, made durable and read back identical, then delete of Source while it is still the file
// that was copied; true only when both succeeded.
bool FileMove(const std::string& source, const std::string& dest, bool overwrite,
              FileFaults* faults = nullptr);
bool FileMoveToFolder(const std::string& source, const std::string& dest_folder, bool overwrite,
                      FileFaults* faults = nullptr);

// Prefix of the temporary names a copy or an atomic write works under where the file system has
// no unnamed files: ".pelkocopy-tmp-<pid>-<12 random characters>", marked with the extended
// attribute user.pelkocopy.tmp and locked (flock) by its writer until it has its final name. A
// name with the prefix is never a picture, and generated names never take it.
inline constexpr std::string_view kCopyTemporaryPrefix = ".pelkocopy-tmp-";
// True for a file name (no folder) that begins with the prefix.
bool IsCopyTemporaryName(std::string_view name);
// Removes the temporaries in folder that this program could have written and whose writer is
// gone: a name of exactly that shape, the pid dead, the mark present (or the file empty) and the
// lock free. A live writer's temporary, and any file with data but without the mark, is never
// touched (so a file system without extended attributes or locks keeps its temporaries). Returns
// how many were removed.
int RemoveStaleTemporaries(const std::string& folder);
// What each program does at its start: removes the stale temporaries a kill left in the
// application folder and its Data folder (a settings or alias table write cut short).
void RemoveStaleAppTemporaries(const std::string& app_folder);

}  // namespace pelko
