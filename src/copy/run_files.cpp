#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "copy/copy_run.h"
#include "support/file_ops.h"
#include "support/search.h"

namespace pelko {

RunListing ListRunFiles(const std::string& folder, const std::atomic<bool>* stop,
                        const CopyRunSeams* seams) {
    // Every folder of a card (up to 900 by the camera file system's rules) stays open for the
    // run, beside the copies in flight: allow the process as many descriptors as it may have.
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 65536);
        if (limit.rlim_cur < wanted) {
            limit.rlim_cur = wanted;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    }
    RunListing listing;
    TSearchFile search;
    search.Directory = folder;
    search.SearchName = "*.*";
    search.Recursive = true;
    search.Stop = stop;
    search.OnFind = [&](TSearchFile&, const std::string& path, const TSearchFileData& data, bool&) {
        // A temporary file of a broken copy is never a picture.
        if (data.Name.rfind("PHOT", 0) == 0 || IsCopyTemporaryName(data.Name)) return;
        if (data.IsRegularFile()) listing.files.push_back(path);
    };
    // Each folder is opened as it is found and held for the run; one that cannot be opened
    // cannot be listed either.
    search.OnFindDir = [&](TSearchFile&, const std::string& path, const TSearchFileData&, bool&,
                           bool&) {
        int error = 0;
        std::shared_ptr<const HeldFolder> held = HeldFolder::Open(path, &error);
        if (seams != nullptr && seams->folder_listed) seams->folder_listed(path);
        if (held) {
            listing.folders[path] = std::move(held);
        } else if (error != EMFILE && error != ENFILE) {
            listing.unreadable.push_back(path);
        }
    };
    search.Execute();
    listing.stopped = stop != nullptr && stop->load();
    return listing;
}

}  // namespace pelko
