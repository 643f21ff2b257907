#pragma once

// Recursive file search: TSearchDir walks a folder tree breadth-first, TSearchFile hands every
// entry of the walked folders that matches a mask to its OnFind event.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/date_time.h"

namespace pelko {

class SearchTimeConverter;

// One directory entry as the search events see it. Name and ShortName are there at once; the
// rest comes from a stat of the entry made only when first asked for, so a search that needs
// only names costs no stat per file. A copy carries everything it holds, read first. Times are
// local, whole seconds.
class TSearchFileData {
  public:
    TSearchFileData() = default;
    TSearchFileData(const TSearchFileData& other);
    TSearchFileData& operator=(const TSearchFileData& other);

    std::string Name;       // entry name, no folder; bytes as the file system holds them
    std::string ShortName;  // no short names here: the same as Name

    std::int64_t Size() const { return Loaded().size; }
    // File systems report no creation time through stat: never valid.
    bool CreationTimeValid() const { return false; }
    DateTime CreationTime() const { return {}; }
    bool LastWriteTimeValid() const { return Loaded().write_valid; }
    const DateTime& LastWriteTime() const { return Loaded().write_time; }
    bool LastAccessTimeValid() const { return Loaded().access_valid; }
    const DateTime& LastAccessTime() const { return Loaded().access_time; }
    bool AttrDirectory() const;
    // A regular file, links followed (the entry's type answers without a stat when it can).
    bool IsRegularFile() const;
    bool AttrReadOnly() const { return Loaded().read_only; }  // no write permission bit at all
    bool AttrHidden() const { return !Name.empty() && Name[0] == '.'; }
    bool AttrSysFile() const { return false; }
    bool AttrVolumeID() const { return false; }
    bool AttrArchive() const { return !AttrDirectory(); }  // every entry that is not a folder

    // Search internals: an entry of the folder open as dir_fd, not yet looked at.
    void ResetForEntry(const char* name, int dir_fd, int d_type, SearchTimeConverter* times);

  private:
    struct Info {
        std::int64_t size = 0;
        bool write_valid = false;
        DateTime write_time{};
        bool access_valid = false;
        DateTime access_time{};
        bool directory = false;
        bool regular = false;
        bool read_only = false;
    };
    const Info& Loaded() const;

    mutable Info info_;
    mutable bool loaded_ = true;
    int dir_fd_ = -1;
    int d_type_ = 0;
    SearchTimeConverter* times_ = nullptr;
};

// Wildcard match as the desktop's file dialogs know it: "*" any run, "?" one character, ASCII
// letters without case. "*.*", "*" and an empty mask match every name, with or without a dot;
// generally a mask ending in ".*" also matches a name without a dot.
bool MatchesMask(std::string_view name, std::string_view mask);

// Absolute form of a path (relative to the working folder), with ".", ".." and repeated "/"
// resolved by text and no trailing "/" except for the root. Empty stays empty.
std::string ExpandPath(const std::string& path);

class TSearchDir {
  public:
    // Name: full folder path. IgnoreSubDir enters false; Continue keeps its value between calls.
    using TSearchDirEvent =
        std::function<void(TSearchDir& sender, const std::string& name, const TSearchFileData& data,
                           bool& ignore_sub_dir, bool& cont)>;

    std::string BaseDir;
    TSearchDirEvent OnFind;
    // Set from any thread to end the walk before its next entry; null: never.
    const std::atomic<bool>* Stop = nullptr;

    // Reports BaseDir, then its sub-folders level by level. False when busy, without a handler,
    // when BaseDir is missing or when a handler stopped the walk.
    bool Execute();
    bool Busy() const { return busy_; }

  private:
    std::deque<std::string> queue_;
    bool busy_ = false;
};

class TSearchFile {
  public:
    // Name: folder + "/" + entry name. Continue enters true.
    using TFindFileEvent = std::function<void(TSearchFile& sender, const std::string& name,
                                              const TSearchFileData& data, bool& cont)>;
    // Skip (enters false) leaves the folder's files out; IgnoreSubDir its sub-folders.
    using TFindDirEvent =
        std::function<void(TSearchFile& sender, const std::string& name,
                           const TSearchFileData& data, bool& skip, bool& ignore_sub_dir)>;

    TSearchFile();
    TSearchFile(const TSearchFile&) = delete;
    TSearchFile& operator=(const TSearchFile&) = delete;

    std::string Directory;
    bool Recursive = true;
    std::string SearchName = "*.*";
    TFindFileEvent OnFind;
    TFindDirEvent OnFindDir;
    // Set from any thread to end the search before its next entry (the walk of the folders
    // included); null: never. Execute then returns false.
    const std::atomic<bool>* Stop = nullptr;

    // Reports the matching entries of every collected folder, folders included, in the order
    // the file system lists them. False when busy, without a handler, or stopped by Continue.
    bool Execute();
    bool Busy() const { return busy_; }
    // The folders the last search visited, in order.
    const std::vector<std::string>& DirList() const { return dir_list_; }
    // The folders of the last search that could not be opened or read to their end: their files
    // are missing from the events, which must not pass for an empty folder.
    const std::vector<std::string>& UnreadableDirs() const { return unreadable_dirs_; }

  private:
    void SearchDirFind(const std::string& name, const TSearchFileData& data, bool& ignore_sub_dir);
    // Lists one folder; false when a handler stopped the search.
    bool SearchFolder(const std::string& folder, std::string_view mask);

    TSearchDir search_dir_;
    std::vector<std::string> dir_list_;
    std::vector<std::string> unreadable_dirs_;
    bool busy_ = false;
};

}  // namespace pelko
