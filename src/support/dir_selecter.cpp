#include "support/dir_selecter.h"

#include "support/file_ops.h"

namespace pelko {

std::string NearestExistingFolder(const std::string& path) {
    std::string current = path;
    while (!current.empty()) {
        if (FolderExists(current)) return current;
        std::string parent = FolderOf(current);
        if (parent == current) break;
        current = std::move(parent);
    }
    return {};
}

bool TDirSelecter::Execute() {
    root_ = NearestExistingFolder(root_);
    LastDir = NearestExistingFolder(LastDir);
    if (LastDir.empty()) LastDir = root_;
    if (!FolderExists(LastDir)) LastDir.clear();
    const std::string& start = MemoryLastSelect ? LastDir : root_;

    const std::optional<std::string> chosen = dialogs_.PickFolder(Caption, start);
    if (chosen && FolderExists(*chosen)) {
        directory_ = *chosen;
        LastDir = *chosen;
        return true;
    }
    directory_.clear();
    return false;
}

}  // namespace pelko
