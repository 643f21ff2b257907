#include <string>
#include <vector>

#include "copy/copy_run.h"
#include "support/file_ops.h"
#include "support/search.h"

namespace pelko {

std::vector<std::string> ListRunFiles(const std::string& folder) {
    std::vector<std::string> files;
    TSearchFile search;
    search.Directory = folder;
    search.SearchName = "*.*";
    search.Recursive = true;
    search.OnFind = [&](TSearchFile&, const std::string& path, const TSearchFileData& data, bool&) {
        // A temporary file of a broken copy is never a picture.
        if (data.Name.rfind("PHOT", 0) == 0 || IsCopyTemporaryName(data.Name)) return;
        if (data.IsRegularFile()) files.push_back(path);
    };
    search.Execute();
    return files;
}

}  // namespace pelko
