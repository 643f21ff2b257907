#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "copy/copy_run.h"
#include "support/file_ops.h"
#include "support/search.h"

namespace pelko {

RunListing ListRunFiles(const std::string& folder) {
    RunListing listing;
    TSearchFile search;
    search.Directory = folder;
    search.SearchName = "*.*";
    search.Recursive = true;
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
        if (held) {
            listing.folders[path] = std::move(held);
        } else if (error != EMFILE && error != ENFILE) {
            listing.unreadable.push_back(path);
        }
    };
    search.Execute();
    return listing;
}

}  // namespace pelko
