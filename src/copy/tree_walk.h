#pragma once

#include <functional>
#include <string>

namespace pelko {

// Every entry below root (folders included, root itself not): folders breadth-first from the
// root, each folder's entries in the order the file system lists them, which is the order in
// which a card's files are processed. Each folder is visited once, links included.
void WalkTree(
    const std::string& root,
    const std::function<void(const std::string& path, const std::string& name)>& on_entry);

}  // namespace pelko
