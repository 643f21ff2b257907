#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "sidecar/sidecar_list.h"
#include "support/file_ops.h"
#include "support/text.h"
#include "support/unique_fd.h"

namespace pelko {

namespace {

// Reads up to want bytes at offset; false on a read error.
bool ReadAt(int fd, char* buffer, std::size_t want, off_t offset, std::size_t* got) {
    *got = 0;
    while (*got < want) {
        const ssize_t n =
            ::pread(fd, buffer + *got, want - *got, offset + static_cast<off_t>(*got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        *got += static_cast<std::size_t>(n);
    }
    return true;
}

// True when both files hold the same bytes; the destination is flushed and read from the disk,
// since the sidecar goes once it counts as the same.
bool SameContent(int source, int dest, off_t size) {
    if (::fsync(dest) != 0) return false;
    ::posix_fadvise(dest, 0, 0, POSIX_FADV_DONTNEED);
    constexpr std::size_t kBlock = 256 * 1024;
    const auto a = std::make_unique<char[]>(kBlock);
    const auto b = std::make_unique<char[]>(kBlock);
    off_t offset = 0;
    for (;;) {
        std::size_t got_a = 0;
        std::size_t got_b = 0;
        if (!ReadAt(source, a.get(), kBlock, offset, &got_a) ||
            !ReadAt(dest, b.get(), kBlock, offset, &got_b) || got_a != got_b ||
            std::memcmp(a.get(), b.get(), got_a) != 0) {
            return false;
        }
        offset += static_cast<off_t>(got_a);
        if (got_a < kBlock) return offset == size;
    }
}

// The destination already holds a file of the sidecar's name: the sidecar goes only when that
// file is a different file with the same bytes, and only while the sidecar is unchanged.
bool RemoveIfAlreadyThere(const std::string& sidecar, const std::string& dest) {
    const SourceFile source = SourceFileAt(sidecar);
    if (!source.folder) return false;
    UniqueFd in(::openat(source.folder->Fd(), source.name.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    UniqueFd out(::open(dest.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat a;
    struct stat b;
    if (!in.valid() || !out.valid() || ::fstat(in.get(), &a) != 0 || ::fstat(out.get(), &b) != 0 ||
        !S_ISREG(a.st_mode) || !S_ISREG(b.st_mode) || a.st_size != b.st_size) {
        return false;
    }
    // The same file under another path (a linked folder): deleting it would lose it.
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) return false;
    if (!SameContent(in.get(), out.get(), a.st_size)) return false;
    return DeleteIfUnchanged(source, IdentityOf(a));
}

std::string DestinationFolder(const SidecarRow& row) {
    const std::string folder = FolderOf(row.picture);
    if (AsciiLower(ExtensionOf(row.sidecar)) == ".xmp") return folder;
    return (folder == "/" ? std::string() : folder) + "/" + std::string(kSilkypixFolder);
}

}  // namespace

TSidecarOutcome CarryOutSidecarRow(const SidecarRow& row) {
    if (!row.IsMove()) {
        return FileDelete(row.sidecar) ? TSidecarOutcome::soDeleted
                                       : TSidecarOutcome::soDeleteFailed;
    }
    const std::string folder = DestinationFolder(row);
    // A folder that cannot be made fails the move that follows.
    if (!FolderExists(folder)) FolderCreate(folder);
    const std::string dest = (folder == "/" ? "" : folder) + "/" + NameOf(row.sidecar);
    struct stat st;
    bool ok = false;
    if (::lstat(dest.c_str(), &st) == 0) {
        ok = RemoveIfAlreadyThere(row.sidecar, dest);
    } else {
        // Durable and read back before the sidecar goes; never replaces a file that appears.
        ok = FileMove(row.sidecar, dest, false);
    }
    return ok ? TSidecarOutcome::soMoved : TSidecarOutcome::soMoveFailed;
}

std::size_t CarryOutSidecarRows(std::vector<SidecarRow>& rows, const std::atomic<bool>* stop,
                                const std::function<void(std::size_t)>& done) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (stop != nullptr && stop->load()) break;
        rows[i].outcome = CarryOutSidecarRow(rows[i]);
        ++count;
        if (done) done(i);
    }
    return count;
}

}  // namespace pelko
