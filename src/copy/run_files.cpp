#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "copy/copy_run.h"
#include "support/file_ops.h"

namespace pelko {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// A folder still to be listed: its name in the held parent (none for the source itself).
struct QueuedFolder {
    std::shared_ptr<const HeldFolder> parent;
    std::string name;
    std::string path;
};

}  // namespace

RunListing ListRunFiles(const std::string& folder, const std::atomic<bool>* stop,
                        const CopyRunSeams* seams) {
    RunListing listing;
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    // Breadth-first, each folder's files in the order the file system lists them. Every folder is
    // opened in the folder it was found in, held for the run, and read through that descriptor:
    // a path renamed or replaced meanwhile can neither hide files nor bring in others. A folder
    // that cannot be opened or read to its end is named, never passed over.
    std::deque<QueuedFolder> queue{{nullptr, folder, folder}};
    while (!queue.empty()) {
        const QueuedFolder next = std::move(queue.front());
        queue.pop_front();
        std::shared_ptr<const HeldFolder> held = next.parent
                                                     ? next.parent->OpenChild(next.name, next.path)
                                                     : HeldFolder::Open(next.path);
        if (seams != nullptr && seams->folder_listed) seams->folder_listed(next.path);
        if (stopped()) break;
        const int fd = held ? ::dup(held->Fd()) : -1;
        std::unique_ptr<DIR, DirCloser> dir(fd >= 0 ? ::fdopendir(fd) : nullptr);
        if (!dir) {
            if (fd >= 0) ::close(fd);
            listing.unreadable.push_back(next.path);
            continue;
        }
        const std::string prefix = next.path == "/" ? next.path : next.path + "/";
        const int dir_fd = ::dirfd(dir.get());
        for (;;) {
            if (stopped()) break;
            errno = 0;
            const struct dirent* entry = ::readdir(dir.get());
            if (entry == nullptr) {
                if (errno != 0) listing.unreadable.push_back(next.path);
                break;
            }
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            int type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                type = S_ISDIR(st.st_mode)   ? DT_DIR
                       : S_ISREG(st.st_mode) ? DT_REG
                       : S_ISLNK(st.st_mode) ? DT_LNK
                                             : DT_UNKNOWN;
            }
            if (type == DT_DIR) {
                queue.push_back({held, std::string(name), prefix + entry->d_name});
                continue;
            }
            // A temporary file of a broken copy is never a picture.
            if (name.starts_with("PHOT") || IsCopyTemporaryName(name)) continue;
            // Links are listed so that their rows say they stayed on the card; none is followed.
            if (type == DT_REG || type == DT_LNK) listing.files.push_back(prefix + entry->d_name);
        }
        listing.folders[next.path] = std::move(held);
    }
    listing.stopped = stopped();
    return listing;
}

}  // namespace pelko
