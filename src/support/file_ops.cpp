#include "support/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace pelko {

namespace {

// Big blocks keep the fallback copy and the read-back close to the disk's streaming speed.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;
// copy_file_range moves at most this much per call; a large value keeps calls per file minimal.
constexpr std::size_t kKernelChunk = std::size_t{1} << 30;

void RunBeforeCommitHook(const FileFaults* faults) {
    if (faults != nullptr && faults->before_commit) faults->before_commit();
}

// How many of `want` bytes may be written under the faults; 0 means the "disk" is full.
std::size_t AllowedWrite(FileFaults* faults, std::size_t want) {
    if (faults == nullptr) return want;
    std::int64_t budget = faults->write_budget.load(std::memory_order_relaxed);
    for (;;) {
        if (budget < 0) return want;
        const std::size_t allowed = std::min<std::size_t>(want, static_cast<std::size_t>(budget));
        if (faults->write_budget.compare_exchange_weak(
                budget, budget - static_cast<std::int64_t>(allowed))) {
            return allowed;
        }
    }
}

// Gives back to the budget what was allowed but not written.
void ReturnUnwritten(FileFaults* faults, std::size_t bytes) {
    if (faults != nullptr && faults->write_budget.load(std::memory_order_relaxed) >= 0) {
        faults->write_budget.fetch_add(static_cast<std::int64_t>(bytes));
    }
}

// A block buffer per thread, so a run of small files does not allocate per file.
char* Buffer(int which) {
    thread_local std::unique_ptr<char[]> buffers[2];
    if (!buffers[which]) buffers[which] = std::make_unique<char[]>(kBlockSize);
    return buffers[which].get();
}

using Fd = UniqueFd;

// An unnamed file gets its name through its /proc link; without /proc only named temporaries
// work.
bool ProcFdLinksUsable() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

bool IsWriteSideError(int err) {
    return err == ENOSPC || err == EDQUOT || err == EFBIG || err == EROFS || err == EPERM;
}

// Reads and writes the rest of the file from the current offsets. Returns kOk, kReadFailed or
// kWriteFailed; *copied grows by what was written.
CopyOutcome CopyByReadWrite(int in, int out, std::int64_t* copied, FileFaults* faults) {
    char* buf = Buffer(0);
    for (;;) {
        ssize_t got = ::read(in, buf, kBlockSize);
        if (got < 0) {
            if (errno == EINTR) continue;
            return CopyOutcome::kReadFailed;
        }
        if (got == 0) return CopyOutcome::kOk;
        std::size_t done = 0;
        while (done < static_cast<std::size_t>(got)) {
            const std::size_t allowed = AllowedWrite(faults, static_cast<std::size_t>(got) - done);
            if (allowed == 0) return CopyOutcome::kWriteFailed;
            ssize_t put = ::write(out, buf + done, allowed);
            if (put < 0) {
                if (errno == EINTR) continue;
                return CopyOutcome::kWriteFailed;
            }
            done += static_cast<std::size_t>(put);
        }
        *copied += got;
    }
}

// Copies the whole source into out, by the kernel where it can and by read/write otherwise.
CopyOutcome CopyData(int in, int out, std::int64_t size, FileFaults* faults) {
    std::int64_t copied = 0;
    if (faults == nullptr || !faults->kernel_copy_disabled) {
        while (copied < size) {
            const std::size_t want = AllowedWrite(
                faults,
                std::min<std::size_t>(static_cast<std::size_t>(size - copied), kKernelChunk));
            if (want == 0) return CopyOutcome::kWriteFailed;
            ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, want, 0);
            if (n > 0) {
                copied += n;
                // Give back what the kernel did not take, so the budget counts bytes written.
                ReturnUnwritten(faults, want - static_cast<std::size_t>(n));
                continue;
            }
            ReturnUnwritten(faults, want);
            if (n == 0) break;  // Short source or a file system that copies nothing: read on.
            if (errno == EINTR) continue;
            const int err = errno;
            if (copied == 0 && (err == EXDEV || err == EINVAL || err == ENOSYS ||
                                err == EOPNOTSUPP || err == EBADF || err == ETXTBSY)) {
                break;  // The kernel cannot copy between these files: copy by hand.
            }
            return IsWriteSideError(err) ? CopyOutcome::kWriteFailed : CopyOutcome::kReadFailed;
        }
        if (copied == size) return CopyOutcome::kOk;
    }
    const CopyOutcome outcome = CopyByReadWrite(in, out, &copied, faults);
    if (outcome != CopyOutcome::kOk) return outcome;
    // A source that shrank while it was copied is not the file that was found.
    return copied >= size ? CopyOutcome::kOk : CopyOutcome::kReadFailed;
}

bool ReadFull(int fd, char* buf, std::size_t want, std::int64_t offset, std::size_t* got) {
    *got = 0;
    while (*got < want) {
        ssize_t n = ::pread(fd, buf + *got, want - *got, offset + static_cast<off_t>(*got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        *got += static_cast<std::size_t>(n);
    }
    return true;
}

// Drops the copy's cached pages and reads it back from the disk against the source.
CopyOutcome VerifyCopy(int in, int out, std::int64_t size) {
    ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
    char* a = Buffer(0);
    char* b = Buffer(1);
    std::int64_t offset = 0;
    for (;;) {
        std::size_t got_in = 0;
        std::size_t got_out = 0;
        if (!ReadFull(in, a, kBlockSize, offset, &got_in)) return CopyOutcome::kReadFailed;
        if (!ReadFull(out, b, kBlockSize, offset, &got_out)) return CopyOutcome::kVerifyFailed;
        if (got_in != got_out || std::memcmp(a, b, got_in) != 0) return CopyOutcome::kVerifyFailed;
        offset += static_cast<std::int64_t>(got_in);
        if (got_in < kBlockSize) break;
    }
    return offset == size ? CopyOutcome::kOk : CopyOutcome::kVerifyFailed;
}

// The extended attribute each named temporary carries while it has its temporary name.
constexpr const char* kTemporaryMark = "user.pelkocopy.tmp";
constexpr int kTemporaryRandomChars = 12;

// ".pelkocopy-tmp-<pid>-<random>": the pid tells a later run whether the writer still lives.
std::string TemporaryName() {
    static const std::uint64_t seed = [] {
        std::uint64_t value = 0;
        if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != sizeof value) value = 0;
        return value ^ (static_cast<std::uint64_t>(::getpid()) << 32);
    }();
    static std::atomic<std::uint64_t> counter{0};
    // splitmix64 over a counter: distinct names per process, unpredictable across processes.
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * (counter.fetch_add(1) + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    std::string name(kCopyTemporaryPrefix);
    name += std::to_string(::getpid());
    name.push_back('-');
    for (int i = 0; i < kTemporaryRandomChars; ++i) {
        name.push_back(kDigits[z & 31]);
        z >>= 5;
    }
    return name;
}

// Drops the mark once the temporary has its final name.
void UnmarkTemporary(int fd) {
    ::fremovexattr(fd, kTemporaryMark);
}

// The writer's pid in a name of exactly the shape TemporaryName gives; 0 for any other name.
pid_t TemporaryOwner(std::string_view name) {
    if (!name.starts_with(kCopyTemporaryPrefix)) return 0;
    name.remove_prefix(kCopyTemporaryPrefix.size());
    pid_t pid = 0;
    std::size_t i = 0;
    for (; i < name.size() && i < 9 && name[i] >= '0' && name[i] <= '9'; ++i)
        pid = pid * 10 + (name[i] - '0');
    if (i == 0 || name[0] == '0' || i + 1 + kTemporaryRandomChars != name.size() ||
        name[i] != '-') {
        return 0;
    }
    for (const char c : name.substr(i + 1)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'v'))) return 0;
    }
    return pid;
}

// Creates a new temporary in the folder that prefix names (empty or ending in "/") and locks it
// for as long as it stays open. Returns 0 or an errno value.
int CreateTemporary(const std::string& prefix, mode_t mode, Fd* out, std::string* temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp = prefix + TemporaryName();
        out->Reset(::open(temp->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (out->valid()) {
            // Some file systems know no locks; the pid in the name still guards the file there.
            ::flock(out->get(), LOCK_EX | LOCK_NB);
            // The mark that proves a file a temporary of this program; where the file system
            // keeps no extended attributes, no later run removes it.
            ::fsetxattr(out->get(), kTemporaryMark, "1", 1, 0);
            return 0;
        }
        temp->clear();
        if (errno != EEXIST && errno != EINTR) return errno;
    }
    return EEXIST;
}

std::string StripOneSlash(std::string_view path) {
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

// Creates path and its missing parents; true when it is a folder afterwards.
bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    if (errno == ENOENT) {
        const std::string parent = FolderOf(path);
        if (!parent.empty() && parent != path && MakeFolders(parent)) {
            if (::mkdir(path.c_str(), 0777) == 0) return true;
        }
    }
    return FolderExists(path);
}

}  // namespace

std::string FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string NameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtensionOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start) return {};
    return std::string(path.substr(dot));
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderCreate(const std::string& path) {
    if (path == "/") return true;
    return MakeFolders(StripOneSlash(path));
}

namespace {

// renameat2(RENAME_NOREPLACE), or where the file system lacks the flag a link and an unlink, or
// without links the narrowest check left.
int RenameNoReplaceAt(int from_dir, const char* from, int to_dir, const char* to) {
    if (::syscall(SYS_renameat2, from_dir, from, to_dir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    if (::linkat(from_dir, from, to_dir, to, 0) == 0) {
        ::unlinkat(from_dir, from, 0);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
    struct stat st;
    if (::fstatat(to_dir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(from_dir, from, to_dir, to) == 0 ? 0 : errno;
}

}  // namespace

int RenameNoReplace(const std::string& from, const std::string& to) {
    return RenameNoReplaceAt(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
}

bool IsCopyTemporaryName(std::string_view name) {
    return name.size() > kCopyTemporaryPrefix.size() && name.starts_with(kCopyTemporaryPrefix);
}

std::shared_ptr<const HeldFolder> HeldFolder::Open(const std::string& path, int* error) {
    auto folder = std::make_shared<HeldFolder>();
    folder->fd_.Reset(
        ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (!folder->fd_.valid() || ::fstat(folder->fd_.get(), &st) != 0) {
        if (error != nullptr) *error = errno;
        return nullptr;
    }
    folder->path_ = path.empty() ? "." : path;
    folder->dev_ = st.st_dev;
    folder->ino_ = st.st_ino;
    return folder;
}

std::shared_ptr<const HeldFolder> HeldFolder::OpenChild(const std::string& name,
                                                        const std::string& path, int* error) const {
    auto folder = std::make_shared<HeldFolder>();
    folder->fd_.Reset(
        ::openat(fd_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!folder->fd_.valid() || ::fstat(folder->fd_.get(), &st) != 0) {
        if (error != nullptr) *error = errno;
        return nullptr;
    }
    folder->path_ = path;
    folder->dev_ = st.st_dev;
    folder->ino_ = st.st_ino;
    return folder;
}

bool HeldFolder::StillAtPath() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_;
}

bool HeldFolder::CreateBelow(std::string_view relative) const {
    if (!StillAtPath()) return false;
    UniqueFd level(::dup(fd_.get()));
    while (level.valid() && !relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string part(relative.substr(0, slash));
        relative.remove_prefix(slash == std::string_view::npos ? relative.size() : slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") return false;
        constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd next(::openat(level.get(), part.c_str(), kFlags));
        if (!next.valid() && errno == ENOENT) {
            if (::mkdirat(level.get(), part.c_str(), 0777) != 0 && errno != EEXIST) return false;
            next.Reset(::openat(level.get(), part.c_str(), kFlags));
        }
        level = std::move(next);
    }
    return level.valid();
}

SourceFile SourceFileAt(const std::string& path) {
    std::shared_ptr<const HeldFolder> folder = HeldFolder::Open(FolderOf(path));
    if (!folder) return {nullptr, path};
    return {std::move(folder), NameOf(path)};
}

FileIdentity IdentityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size &&
           a.mtime.tv_sec == b.mtime.tv_sec && a.mtime.tv_nsec == b.mtime.tv_nsec &&
           a.ctime.tv_sec == b.ctime.tv_sec && a.ctime.tv_nsec == b.ctime.tv_nsec;
}

bool DeleteIfUnchanged(const SourceFile& file, const FileIdentity& identity) {
    if (!file.folder || !file.folder->StillAtPath()) return false;
    struct stat st;
    if (::fstatat(file.folder->Fd(), file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || !SameIdentity(IdentityOf(st), identity)) {
        return false;
    }
    return ::unlinkat(file.folder->Fd(), file.name.c_str(), 0) == 0;
}

int RenameIfUnchanged(const SourceFile& file, const FileIdentity& identity,
                      const std::string& new_name) {
    if (!file.folder || !file.folder->StillAtPath()) return ESTALE;
    if (new_name.empty() || new_name == "." || new_name == ".." ||
        new_name.find('/') != std::string::npos) {
        return EINVAL;
    }
    struct stat st;
    if (::fstatat(file.folder->Fd(), file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || !SameIdentity(IdentityOf(st), identity)) {
        return ESTALE;
    }
    const int fd = file.folder->Fd();
    return RenameNoReplaceAt(fd, file.name.c_str(), fd, new_name.c_str());
}

namespace {

// A writer that exited but was not reaped yet (its parent busy or gone in a container without a
// reaping init) still answers kill(); its temporary is as stale as that of a reaped one.
bool ProcessAlive(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    Fd stat_fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!stat_fd.valid()) return true;
    char text[512];
    const ssize_t n = ::read(stat_fd.get(), text, sizeof text - 1);
    if (n <= 0) return true;
    text[n] = '\0';
    // "pid (comm) S ...": the state follows the last ')', since comm may hold one.
    const char* close = std::strrchr(text, ')');
    if (close == nullptr || close[1] != ' ') return true;
    return close[2] != 'Z' && close[2] != 'X';
}

}  // namespace

int RemoveStaleTemporaries(const std::string& folder) {
    Fd dir_fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir_fd.valid()) return 0;
    DIR* dir = ::fdopendir(::dup(dir_fd.get()));
    if (dir == nullptr) return 0;
    std::vector<std::string> stale;
    while (const struct dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        // Only the exact shape of the names this program gives: a user's own file merely
        // beginning with the prefix stays.
        const pid_t owner = TemporaryOwner(name);
        // Only a temporary whose writer is gone; a pid alive (ours included) keeps it.
        if (owner <= 0 || owner == ::getpid()) continue;
        if (ProcessAlive(owner)) continue;
        stale.emplace_back(name);
    }
    ::closedir(dir);
    int removed = 0;
    for (const std::string& name : stale) {
        Fd file(
            ::openat(dir_fd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st;
        struct stat at_name;
        char mark[8];
        if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        // Only a file that proves itself a temporary of this program, or an empty one (a writer
        // killed before it marked its temporary had written nothing)...
        if (st.st_size != 0 && ::fgetxattr(file.get(), kTemporaryMark, mark, sizeof mark) < 0) {
            continue;
        }
        // ...whose writer's lock is free: a writer on another computer (a network folder) or in
        // another pid namespace holds it until its temporary has its final name. A file system
        // without locks keeps its temporaries.
        if (::flock(file.get(), LOCK_SH | LOCK_NB) != 0) continue;
        if (::fstatat(dir_fd.get(), name.c_str(), &at_name, AT_SYMLINK_NOFOLLOW) != 0 ||
            at_name.st_dev != st.st_dev || at_name.st_ino != st.st_ino) {
            continue;
        }
        if (::unlinkat(dir_fd.get(), name.c_str(), 0) == 0) ++removed;
    }
    return removed;
}

void RemoveStaleAppTemporaries(const std::string& app_folder) {
    RemoveStaleTemporaries(app_folder);
    RemoveStaleTemporaries(app_folder + "/Data");
}

namespace {

// A copy written into an unnamed file (or under a temporary name) in its destination folder,
// not yet under its own name.
struct StagedCopy {
    Fd in;
    Fd out;
    SourceFile source;
    FileIdentity identity;  // the source as it was opened
    std::string temp;       // the temporary name; empty for an unnamed file
    bool unnamed = false;
    std::string dest;
    std::string folder;
    std::int64_t size = 0;
    bool overwrite = false;
    FileFaults* faults = nullptr;
    bool create_folder = true;
    bool out_of_descriptors = false;  // an open failed with EMFILE or ENFILE
    void NoteOpenError() {
        out_of_descriptors = out_of_descriptors || errno == EMFILE || errno == ENFILE;
    }

    // Removes the temporary file and passes the outcome on.
    CopyOutcome Discard(CopyOutcome outcome) {
        out.Close();
        if (!temp.empty()) ::unlink(temp.c_str());
        temp.clear();
        return outcome;
    }
    // fsync rather than fdatasync, so the time stamp is as durable as the data; then the cached
    // pages are dropped and the copy read back against the source.
    CopyOutcome SyncAndVerify() {
        if (::fsync(out.get()) != 0) return Discard(CopyOutcome::kWriteFailed);
        const CopyOutcome outcome = VerifyCopy(in.get(), out.get(), size);
        return outcome == CopyOutcome::kOk ? outcome : Discard(outcome);
    }
    // Puts the copy under its final name; a taken name is kDestExists unless overwriting.
    CopyOutcome Publish() {
        if (unnamed) {
            RunBeforeCommitHook(faults);
            // A link never replaces a name: the unnamed file gets it only while it is free.
            char link[64];
            std::snprintf(link, sizeof link, "/proc/self/fd/%d", out.get());
            if (::linkat(AT_FDCWD, link, AT_FDCWD, dest.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                return Discard(errno == EEXIST ? CopyOutcome::kDestExists
                                               : CopyOutcome::kWriteFailed);
            }
            if (!out.Close()) {
                ::unlink(dest.c_str());
                return CopyOutcome::kWriteFailed;
            }
            return CopyOutcome::kOk;
        }
        // The close reports late write errors (network file systems) before the name is given;
        // the lock stays with a second descriptor until the temporary has its final name, so that
        // a run on another computer that sweeps the folder meanwhile leaves it alone.
        const Fd lock(::dup(out.get()));
        if (!out.Close()) return Discard(CopyOutcome::kWriteFailed);
        RunBeforeCommitHook(faults);
        if (overwrite) {
            if (::rename(temp.c_str(), dest.c_str()) != 0) {
                return Discard(CopyOutcome::kWriteFailed);
            }
        } else if (const int err = RenameNoReplace(temp, dest); err != 0) {
            return Discard(err == EEXIST ? CopyOutcome::kDestExists : CopyOutcome::kWriteFailed);
        }
        temp.clear();
        if (lock.valid()) UnmarkTemporary(lock.get());
        return CopyOutcome::kOk;
    }
    // Deletes the source while it is still the file that was copied.
    bool DeleteSource() {
        in.Close();
        return DeleteIfUnchanged(source, identity);
    }
};

// Opens the copy's file in its folder: an unnamed one where the file system has them and the
// name need not replace a file (a crash then leaves nothing), a locked temporary name otherwise.
CopyOutcome OpenCopyFile(const std::string& folder, StagedCopy* staged) {
    bool created_folder = !staged->create_folder;  // not allowed: as if tried already
    auto create_folder = [&] {
        created_folder = true;
        return FolderCreate(folder);
    };
    const bool named = staged->faults != nullptr && staged->faults->named_temporaries;
    if (!staged->overwrite && !named && ProcFdLinksUsable()) {
        const char* where = folder.empty() ? "." : folder.c_str();
        for (;;) {
            staged->out.Reset(::open(where, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
            if (staged->out.valid()) {
                staged->unnamed = true;
                return CopyOutcome::kOk;
            }
            if (errno == EINTR) continue;
            if (errno == ENOENT && !created_folder) {
                if (!create_folder()) return CopyOutcome::kFolderFailed;
                continue;
            }
            staged->NoteOpenError();
            break;  // no unnamed files here: a named temporary, which tells the error apart
        }
    }
    const std::string prefix =
        folder.empty() ? std::string() : (folder == "/" ? folder : folder + "/");
    for (;;) {
        const int err = CreateTemporary(prefix, 0600, &staged->out, &staged->temp);
        if (err == 0) return CopyOutcome::kOk;
        errno = err;
        staged->NoteOpenError();
        if (err == ENOENT && !created_folder) {
            if (!create_folder()) return CopyOutcome::kFolderFailed;
            continue;
        }
        return err == ENOTDIR || err == ENOENT ? CopyOutcome::kFolderFailed
                                               : CopyOutcome::kWriteFailed;
    }
}

// Copies source into an unnamed or temporary file in dest's folder; on any failure nothing is
// left.
CopyOutcome StageCopy(const SourceFile& source, const std::string& dest, bool overwrite,
                      StagedCopy* staged, int source_fd, const struct stat* source_stat) {
    Fd& in = staged->in;
    struct stat src;
    if (source_fd >= 0) {
        in.Reset(source_fd);
        if (source_stat != nullptr) {
            src = *source_stat;
        } else if (::fstat(in.get(), &src) != 0) {
            return CopyOutcome::kReadFailed;
        }
    } else {
        // Non-blocking, so that a FIFO posing as a picture cannot hang the run.
        const int source_dir = source.folder ? source.folder->Fd() : AT_FDCWD;
        // A card file named in its held folder is never a link followed elsewhere.
        const int nofollow = source.folder ? O_NOFOLLOW : 0;
        in.Reset(::openat(source_dir, source.name.c_str(),
                          O_RDONLY | O_CLOEXEC | O_NONBLOCK | nofollow));
        if (!in.valid()) {
            staged->NoteOpenError();
            return (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)
                       ? CopyOutcome::kSourceMissing
                       : CopyOutcome::kReadFailed;
        }
        if (::fstat(in.get(), &src) != 0) return CopyOutcome::kReadFailed;
    }
    if (!S_ISREG(src.st_mode)) return CopyOutcome::kSourceMissing;
    staged->source = source;
    staged->identity = IdentityOf(src);

    const std::string name = NameOf(dest);
    if (name.empty() || name == "." || name == "..") return CopyOutcome::kWriteFailed;
    const std::string folder = FolderOf(dest);

    struct stat existing;
    if (::lstat(dest.c_str(), &existing) == 0) {
        if (!overwrite) return CopyOutcome::kDestExists;
        // Replacing a file by a copy of itself would lose it once a move deletes the source.
        if (existing.st_dev == src.st_dev && existing.st_ino == src.st_ino) {
            return CopyOutcome::kDestExists;
        }
    }

    staged->overwrite = overwrite;
    if (const CopyOutcome opened = OpenCopyFile(folder, staged); opened != CopyOutcome::kOk) {
        return opened;
    }
    staged->dest = dest;
    staged->folder = folder.empty() ? "." : folder;
    staged->size = src.st_size;

    const CopyOutcome outcome = CopyData(in.get(), staged->out.get(), src.st_size, staged->faults);
    if (outcome != CopyOutcome::kOk) return staged->Discard(outcome);
    // Some file systems keep no Unix permissions; the copy is still good without them.
    ::fchmod(staged->out.get(), src.st_mode & 0777);
    const struct timespec times[2] = {src.st_atim, src.st_mtim};
    if (::futimens(staged->out.get(), times) != 0) {
        return staged->Discard(CopyOutcome::kWriteFailed);
    }
    return CopyOutcome::kOk;
}

// A whole copy; with durable_verify it is flushed and read back, and its name flushed too, so that
// the source may go afterwards.
CopyOutcome CopyStaged(const SourceFile& source, const std::string& dest,
                       const CopyOptions& options, StagedCopy* staged) {
    staged->faults = options.faults;
    staged->create_folder = options.create_folder;
    CopyOutcome outcome =
        StageCopy(source, dest, options.overwrite, staged, options.source_fd, options.source_stat);
    if (outcome == CopyOutcome::kOk && options.durable_verify) outcome = staged->SyncAndVerify();
    if (outcome == CopyOutcome::kOk) outcome = staged->Publish();
    if (outcome == CopyOutcome::kOk && options.durable_verify && !SyncFolder(staged->folder)) {
        return CopyOutcome::kWriteFailed;
    }
    return outcome;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool SyncFolder(const std::string& path) {
    Fd dir(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.valid() && ::fsync(dir.get()) == 0;
}

int WriteFileAtomically(const std::string& path, std::string_view bytes,
                        const AtomicWriteOptions& options) {
    const std::string folder = FolderOf(path);
    const std::string prefix =
        folder.empty() ? std::string() : (folder == "/" ? folder : folder + "/");
    Fd fd;
    std::string temp;
    if (const int err = CreateTemporary(prefix, options.mode, &fd, &temp); err != 0) return err;
    bool ok = (!options.exact_mode || ::fchmod(fd.get(), *options.exact_mode) == 0) &&
              WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    int err = ok ? 0 : (errno != 0 ? errno : EIO);
    // Locked until it has its name, as a copy's temporary.
    const Fd lock(::dup(fd.get()));
    if (!fd.Close() && err == 0) err = errno != 0 ? errno : EIO;
    if (err == 0) {
        err = options.replace ? (::rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno)
                              : RenameNoReplace(temp, path);
    }
    if (err != 0) {
        ::unlink(temp.c_str());
        return err;
    }
    if (lock.valid()) UnmarkTemporary(lock.get());
    // The new name must survive a power cut too.
    return SyncFolder(folder) ? 0 : (errno != 0 ? errno : EIO);
}

CopyOutcome CopyFileChecked(const SourceFile& source, const std::string& dest,
                            const CopyOptions& options) {
    StagedCopy staged;
    return CopyStaged(source, dest, options, &staged);
}

CopyOutcome CopyFileChecked(const std::string& source, const std::string& dest,
                            const CopyOptions& options) {
    return CopyFileChecked(SourceFile{nullptr, source}, dest, options);
}

struct DurableCopyBatch::Entry {
    StagedCopy copy;
};

DurableCopyBatch::DurableCopyBatch(FileFaults* faults) : faults_(faults) {}

DurableCopyBatch::~DurableCopyBatch() {
    for (auto& entry : entries_)
        entry->copy.Discard(CopyOutcome::kOk);
}

CopyOutcome DurableCopyBatch::Stage(const SourceFile& source, const std::string& dest,
                                    bool create_folder, int source_fd,
                                    const struct stat* source_stat) {
    auto entry = std::make_unique<Entry>();
    entry->copy.faults = faults_;
    entry->copy.create_folder = create_folder;
    const CopyOutcome outcome =
        StageCopy(source, dest, false, &entry->copy, source_fd, source_stat);
    out_of_descriptors_ = entry->copy.out_of_descriptors;
    if (outcome != CopyOutcome::kOk) return outcome;
    // Start the write-back now, so the disk works while the next files are copied and the
    // flush in Commit finds little left to write.
    ::sync_file_range(entry->copy.out.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    bytes_ += entry->copy.size;
    entries_.push_back(std::move(entry));
    return CopyOutcome::kOk;
}

std::vector<DurableCopyBatch::Committed> DurableCopyBatch::Commit(bool delete_sources) {
    std::vector<Committed> results(entries_.size());
    // Flush every copy first: the first flush commits the file system's journal for all of
    // them, so the rest find little to do; only then read each back and name it.
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (::fsync(entries_[i]->copy.out.get()) != 0) {
            results[i].outcome = entries_[i]->copy.Discard(CopyOutcome::kWriteFailed);
        }
    }
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        StagedCopy& copy = entries_[i]->copy;
        CopyOutcome& outcome = results[i].outcome;
        if (outcome != CopyOutcome::kOk) continue;
        outcome = VerifyCopy(copy.in.get(), copy.out.get(), copy.size);
        outcome = outcome == CopyOutcome::kOk ? copy.Publish() : copy.Discard(outcome);
        if (outcome == CopyOutcome::kOk &&
            std::find(folders.begin(), folders.end(), copy.folder) == folders.end()) {
            folders.push_back(copy.folder);
        }
    }
    // The new names must survive a power cut too before any source may go.
    for (const std::string& folder : folders) {
        if (SyncFolder(folder)) continue;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (results[i].outcome == CopyOutcome::kOk && entries_[i]->copy.folder == folder) {
                results[i].outcome = CopyOutcome::kWriteFailed;
            }
        }
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (delete_sources && results[i].outcome == CopyOutcome::kOk) {
            results[i].source_deleted = entries_[i]->copy.DeleteSource();
        }
    }
    entries_.clear();
    bytes_ = 0;
    return results;
}

bool FileCopy(const std::string& source, const std::string& dest, bool overwrite,
              FileFaults* faults) {
    return CopyFileChecked(source, dest, CopyOptions{overwrite, false, faults}) == CopyOutcome::kOk;
}

bool FileCopyToFolder(const std::string& source, const std::string& dest_folder, bool overwrite,
                      FileFaults* faults) {
    const std::string folder = StripOneSlash(dest_folder);
    return FileCopy(source, (folder == "/" ? "" : folder) + "/" + NameOf(source), overwrite,
                    faults);
}

bool FileDelete(const std::string& path) {
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

bool FileMove(const std::string& source, const std::string& dest, bool overwrite,
              FileFaults* faults) {
    StagedCopy staged;
    return CopyStaged(SourceFileAt(source), dest, CopyOptions{overwrite, true, faults}, &staged) ==
               CopyOutcome::kOk &&
           staged.DeleteSource();
}

bool FileMoveToFolder(const std::string& source, const std::string& dest_folder, bool overwrite,
                      FileFaults* faults) {
    const std::string folder = StripOneSlash(dest_folder);
    return FileMove(source, (folder == "/" ? "" : folder) + "/" + NameOf(source), overwrite,
                    faults);
}

}  // namespace pelko
