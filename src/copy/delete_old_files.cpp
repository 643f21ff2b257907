#include "copy/delete_old_files.h"

#include <cstdio>
#include <vector>

#include "copy/tree_walk.h"
#include "support/file_info.h"
#include "support/file_ops.h"
#include "support/text.h"

namespace pelko {

namespace {

std::string DayKey(const DateTime& dt) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", dt.year % 10000, dt.month, dt.day);
    return buffer;
}

}  // namespace

bool IsDeleteCandidate(std::string_view path) {
    if (path.find("コンデジ") != std::string_view::npos) return false;
    const std::string ext = AsciiLower(ExtensionOf(path));
    return ext == ".pef" || ext == ".dng" || ext == ".xmp" || ext == ".jpg";
}

int DeleteOldFiles(const std::string& folder, int days, const std::string& jpeg_dest,
                   const DateTime& today) {
    if (folder.empty() || !FolderExists(folder)) return 0;
    const std::string limit = DayKey(AddDays(today, -days));

    std::vector<std::string> delete_list;
    auto add_candidate = [&](const std::string& path, const std::string& /*name*/) {
        if (IsDeleteCandidate(path)) delete_list.push_back(path);
    };
    WalkTree(folder, add_candidate);
    if (!jpeg_dest.empty()) WalkTree(jpeg_dest + "/DSLR", add_candidate);

    int deleted = 0;
    TFileIfo info;
    for (const std::string& path : delete_list) {
        info.SetFileName(path);
        if (!info.Found() || info.AttrDirectory()) continue;
        if (limit > DayKey(info.TimeStamp()) && FileDelete(path)) ++deleted;
    }
    return deleted;
}

}  // namespace pelko
