#include <string>
#include <vector>

#include "copy/copy_run.h"
#include "copy/tree_walk.h"
#include "support/file_ops.h"

namespace pelko {

std::vector<std::string> ListRunFiles(const std::string& folder) {
    std::vector<std::string> files;
    WalkTree(folder, [&](const std::string& path, const std::string& name) {
        // A temporary file of a broken copy is never a picture.
        if (name.rfind("PHOT", 0) == 0 || IsCopyTemporaryName(name)) return;
        if (FileExists(path)) files.push_back(path);
    });
    return files;
}

}  // namespace pelko
