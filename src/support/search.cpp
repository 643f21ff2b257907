#include "support/search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>

#include "support/file_ops.h"
#include "support/text.h"
#include "support/unique_fd.h"

namespace pelko {

namespace {

// Plain wildcard match with one-step backtracking to the last "*": linear in practice and never
// exponential, whatever the mask.
bool WildcardMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0;
    std::size_t m = 0;
    std::size_t star_m = std::string_view::npos;
    std::size_t star_n = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            star_m = m++;
            star_n = n;
        } else if (m < mask.size() && mask[m] == '?') {
            n += CharLengthAt(name, n);
            ++m;
        } else if (m < mask.size() && FoldAscii(mask[m]) == FoldAscii(name[n])) {
            ++n;
            ++m;
        } else if (star_m != std::string_view::npos) {
            m = star_m + 1;
            star_n += CharLengthAt(name, star_n);
            n = star_n;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

DirPtr OpenFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) ::close(fd);
    return DirPtr(dir);
}

std::string WithSlash(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// Clears a Busy flag however the search ends, handler exceptions included.
class BusyGuard {
  public:
    explicit BusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyGuard() { busy_ = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

  private:
    bool& busy_;
};

}  // namespace

// Local calendar fields of POSIX times. Neighbouring files carry neighbouring times, so the UTC
// offset found for one 15-minute slot is reused for the next time in it; an offset change inside
// a slot (or a zone with leap seconds) falls back to localtime_r.
class SearchTimeConverter {
  public:
    bool Convert(std::time_t t, DateTime* out) {
        const std::int64_t slot = FloorDiv(static_cast<std::int64_t>(t), kSlot);
        if (slot != slot_) Prepare(slot);
        if (!cached_) return Slow(t, out);
        const std::int64_t local = static_cast<std::int64_t>(t) + offset_;
        const std::int64_t days = FloorDiv(local, 86400);
        const std::int64_t secs = local - days * 86400;
        CivilFromDays(days, &out->year, &out->month, &out->day);
        out->hour = static_cast<int>(secs / 3600);
        out->minute = static_cast<int>(secs / 60 % 60);
        out->second = static_cast<int>(secs % 60);
        out->millisecond = 0;
        return true;
    }

  private:
    static constexpr std::int64_t kSlot = 900;

    static std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
        return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
    }

    static bool Slow(std::time_t t, DateTime* out) {
        std::tm tm{};
        if (localtime_r(&t, &tm) == nullptr) return false;
        *out = DateTime{tm.tm_year + 1900,
                        tm.tm_mon + 1,
                        tm.tm_mday,
                        tm.tm_hour,
                        tm.tm_min,
                        tm.tm_sec == 60 ? 59 : tm.tm_sec,
                        0};
        return true;
    }

    void Prepare(std::int64_t slot) {
        slot_ = slot;
        cached_ = false;
        if (slot > LLONG_MAX / kSlot - 1 || slot < LLONG_MIN / kSlot + 1) return;
        const std::time_t first = static_cast<std::time_t>(slot * kSlot);
        const std::time_t last = first + kSlot - 1;
        std::tm a{};
        std::tm b{};
        if (localtime_r(&first, &a) == nullptr || localtime_r(&last, &b) == nullptr) return;
        if (a.tm_gmtoff != b.tm_gmtoff) return;
        offset_ = a.tm_gmtoff;
        // Leap-second zones do not map linearly; check the slot's start against the shortcut.
        const std::int64_t local = static_cast<std::int64_t>(first) + offset_;
        if (local - FloorDiv(local, 60) * 60 != a.tm_sec) return;
        cached_ = true;
    }

    std::int64_t slot_ = LLONG_MIN;
    std::int64_t offset_ = 0;
    bool cached_ = false;
};

TSearchFileData::TSearchFileData(const TSearchFileData& other)
    : Name(other.Name), ShortName(other.ShortName), info_(other.Loaded()) {}

TSearchFileData& TSearchFileData::operator=(const TSearchFileData& other) {
    if (this != &other) {
        info_ = other.Loaded();
        Name = other.Name;
        ShortName = other.ShortName;
        loaded_ = true;
        dir_fd_ = -1;
        times_ = nullptr;
    }
    return *this;
}

void TSearchFileData::ResetForEntry(const char* name, int dir_fd, int d_type,
                                    SearchTimeConverter* times) {
    Name.assign(name);
    ShortName.assign(name);
    loaded_ = false;
    dir_fd_ = dir_fd;
    d_type_ = d_type;
    times_ = times;
}

bool TSearchFileData::AttrDirectory() const {
    if (loaded_) return info_.directory;
    switch (d_type_) {
        case DT_DIR:
            return true;
        case DT_REG:
        case DT_FIFO:
        case DT_CHR:
        case DT_BLK:
        case DT_SOCK:
            return false;
        default:
            return Loaded().directory;  // links and file systems without types
    }
}

bool TSearchFileData::IsRegularFile() const {
    if (!loaded_) {
        if (d_type_ == DT_REG) return true;
        if (d_type_ != DT_LNK && d_type_ != DT_UNKNOWN) return false;
    }
    return Loaded().regular;
}

const TSearchFileData::Info& TSearchFileData::Loaded() const {
    if (loaded_) return info_;
    loaded_ = true;
    info_ = Info{};
    struct stat st;
    // Links are followed, so a link to a picture reports the picture's size and time.
    if (::fstatat(dir_fd_, Name.c_str(), &st, 0) != 0 &&
        ::fstatat(dir_fd_, Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        info_.directory = d_type_ == DT_DIR;
        return info_;
    }
    SearchTimeConverter fallback;
    SearchTimeConverter& times = times_ != nullptr ? *times_ : fallback;
    info_.directory = S_ISDIR(st.st_mode);
    info_.regular = S_ISREG(st.st_mode);
    info_.size = info_.directory ? 0 : static_cast<std::int64_t>(st.st_size);
    info_.write_valid = times.Convert(st.st_mtim.tv_sec, &info_.write_time);
    info_.access_valid = times.Convert(st.st_atim.tv_sec, &info_.access_time);
    info_.read_only = (st.st_mode & 0222) == 0;
    return info_;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask.empty() || mask == "*" || mask == "*.*") return true;
    if (WildcardMatch(name, mask)) return true;
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return WildcardMatch(name, mask.substr(0, mask.size() - 2));
    }
    return false;
}

std::string ExpandPath(const std::string& path) {
    if (path.empty()) return {};
    std::string full;
    if (path[0] != '/') {
        char buf[PATH_MAX];
        if (::getcwd(buf, sizeof buf) == nullptr) return {};
        full = buf;
        full += '/';
    }
    full += path;
    std::vector<std::string_view> parts;
    std::string_view rest(full);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

bool TSearchDir::Execute() {
    if (busy_ || !OnFind) return false;
    const std::string base = ExpandPath(BaseDir);
    struct stat st;
    if (base.empty() || ::stat(base.c_str(), &st) != 0) return false;

    BusyGuard guard(busy_);
    queue_.clear();
    SearchTimeConverter times;
    TSearchFileData data;
    bool cont = true;
    bool ignore_sub_dir = false;
    {
        // The base folder's own entry, looked at from its parent ("/" names itself).
        const UniqueFd parent(::open(FolderOf(base).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (parent.valid() && base != "/") {
            data.ResetForEntry(NameOf(base).c_str(), parent.get(), DT_DIR, &times);
        } else {
            data.ResetForEntry(base.c_str(), AT_FDCWD, DT_DIR, &times);
        }
        OnFind(*this, base, data, ignore_sub_dir, cont);
        data = TSearchFileData{};
    }
    if (!cont) return false;
    if (!ignore_sub_dir) queue_.push_back(base);

    std::string path;
    const auto stopped = [this] { return Stop != nullptr && Stop->load(); };
    while (!queue_.empty()) {
        if (stopped()) {
            queue_.clear();
            return false;
        }
        const std::string folder = WithSlash(queue_.front());
        queue_.pop_front();
        DirPtr dir = OpenFolder(folder);
        if (!dir) continue;  // unreadable folders are passed over
        const int dir_fd = ::dirfd(dir.get());
        while (const struct dirent* entry = ::readdir(dir.get())) {
            if (IsDotOrDotDot(entry->d_name)) continue;
            // Only real folders are walked: a link to a folder could lead into a loop.
            int type = entry->d_type;
            if (type == DT_UNKNOWN) {
                if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
            }
            if (type != DT_DIR) continue;
            if (stopped()) {
                queue_.clear();
                return false;
            }
            data.ResetForEntry(entry->d_name, dir_fd, DT_DIR, &times);
            path.assign(folder).append(entry->d_name);
            ignore_sub_dir = false;
            OnFind(*this, path, data, ignore_sub_dir, cont);
            if (!cont) {
                queue_.clear();
                return false;
            }
            if (!ignore_sub_dir) queue_.push_back(path);
        }
    }
    return true;
}

TSearchFile::TSearchFile() {
    search_dir_.OnFind = [this](TSearchDir&, const std::string& name, const TSearchFileData& data,
                                bool& ignore_sub_dir,
                                bool&) { SearchDirFind(name, data, ignore_sub_dir); };
}

void TSearchFile::SearchDirFind(const std::string& name, const TSearchFileData& data,
                                bool& ignore_sub_dir) {
    bool skip = false;
    if (OnFindDir) OnFindDir(*this, name, data, skip, ignore_sub_dir);
    if (!skip) dir_list_.push_back(name);
}

bool TSearchFile::Execute() {
    if (busy_ || !OnFind) return false;
    BusyGuard guard(busy_);
    dir_list_.clear();
    unreadable_dirs_.clear();
    if (Recursive) {
        search_dir_.BaseDir = Directory;
        search_dir_.Stop = Stop;
        if (!search_dir_.Execute() && Stop != nullptr && Stop->load()) return false;
    } else {
        const std::string folder = ExpandPath(Directory);
        if (!folder.empty()) dir_list_.push_back(folder);
    }
    const std::string_view mask = SearchName.empty() ? std::string_view("*.*") : SearchName;
    for (const std::string& folder : dir_list_) {
        if (!SearchFolder(folder, mask)) return false;
    }
    return true;
}

bool TSearchFile::SearchFolder(const std::string& folder, std::string_view mask) {
    if (Stop != nullptr && Stop->load()) return false;
    DirPtr dir = OpenFolder(folder);
    if (!dir) {
        unreadable_dirs_.push_back(folder);
        return true;
    }
    const int dir_fd = ::dirfd(dir.get());
    const bool match_all = mask == "*.*" || mask == "*";
    std::string path = WithSlash(folder);
    const std::size_t prefix = path.size();
    SearchTimeConverter times;
    TSearchFileData data;
    for (;;) {
        errno = 0;
        const struct dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) unreadable_dirs_.push_back(folder);
            break;
        }
        const char* name = entry->d_name;
        if (IsDotOrDotDot(name)) continue;
        if (!match_all && !MatchesMask(name, mask)) continue;
        if (Stop != nullptr && Stop->load()) return false;
        data.ResetForEntry(name, dir_fd, entry->d_type, &times);
        path.resize(prefix);
        path.append(name);
        bool cont = true;
        OnFind(*this, path, data, cont);
        if (!cont) return false;
    }
    return true;
}

}  // namespace pelko
