#include "copy/tree_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <deque>
#include <set>
#include <utility>
#include <vector>

namespace pelko {

namespace {

template <typename OnName>
void ListFolder(const std::string& folder, OnName on_name) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;  // a folder that cannot be listed is passed over
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") on_name(name);
    }
    ::closedir(dir);
}

}  // namespace

void WalkTree(
    const std::string& root,
    const std::function<void(const std::string& path, const std::string& name)>& on_entry) {
    std::string base = root;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::set<std::pair<dev_t, ino_t>> seen;
    std::deque<std::string> queue;
    std::vector<std::string> folders;
    auto enqueue = [&](const std::string& folder) {
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
        // A link back up the tree would otherwise be walked for ever.
        if (!seen.insert({st.st_dev, st.st_ino}).second) return;
        queue.push_back(folder);
    };
    enqueue(base);
    while (!queue.empty()) {
        std::string folder = queue.front();
        queue.pop_front();
        folders.push_back(folder);
        const std::string prefix = folder == "/" ? folder : folder + "/";
        ListFolder(folder, [&](const std::string& name) { enqueue(prefix + name); });
    }
    for (const std::string& folder : folders) {
        const std::string prefix = folder == "/" ? folder : folder + "/";
        ListFolder(folder, [&](const std::string& name) { on_entry(prefix + name, name); });
    }
}

}  // namespace pelko
