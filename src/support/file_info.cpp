#include "support/file_info.h"

#include <glob.h>
#include <sys/stat.h>

#include "support/file_ops.h"
#include "support/text.h"

namespace pelko {

void TFileIfo::SetFileName(const std::string& file_name) {
    *this = TFileIfo{};
    if (file_name.empty()) return;
    // A wildcard path stands for its first match, unless a file has that very name (here "*" and
    // "?" may be part of one).
    std::string path = file_name;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (file_name.find_first_of("*?") == std::string::npos) return;
        glob_t matches{};
        const int rc = ::glob(file_name.c_str(), GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &matches);
        if (rc != 0 || matches.gl_pathc == 0) {
            ::globfree(&matches);
            return;
        }
        path = matches.gl_pathv[0];
        ::globfree(&matches);
        if (::stat(path.c_str(), &st) != 0) return;
    }
    found_ = true;
    file_name_ = file_name;
    short_name_ = NameOf(path);
    dir_ = FolderOf(path);
    ext_ = AsciiLower(ExtensionOf(short_name_));
    time_stamp_ = DateTime::FromTimeT(st.st_mtim.tv_sec);
    directory_ = S_ISDIR(st.st_mode);
    size_ = directory_ ? 0 : static_cast<std::int64_t>(st.st_size);
    read_only_ = (st.st_mode & 0222) == 0;
    hidden_ = !short_name_.empty() && short_name_[0] == '.';
}

}  // namespace pelko
