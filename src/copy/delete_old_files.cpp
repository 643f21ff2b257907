#include "copy/delete_old_files.h"

#include <cstdio>
#include <vector>

#include "support/file_info.h"
#include "support/file_ops.h"
#include "support/search.h"
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
    TSearchFile search_file_del;
    search_file_del.SearchName = "*.*";
    search_file_del.Recursive = true;
    search_file_del.OnFind = [&](TSearchFile&, const std::string& path, const TSearchFileData&,
                                 bool&) {
        if (IsDeleteCandidate(path)) delete_list.push_back(path);
    };
    search_file_del.Directory = folder;
    search_file_del.Execute();
    if (!jpeg_dest.empty()) {
        search_file_del.Directory = jpeg_dest + "/DSLR";
        search_file_del.Execute();
    }

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
