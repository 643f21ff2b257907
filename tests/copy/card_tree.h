#pragma once

// Files with fixed dates for the copy tests, and a look at what a folder holds afterwards.

#include <filesystem>
#include <map>
#include <string>

#include "common/test_util.h"
#include "support/date_time.h"

namespace pelko::test {

namespace fs = std::filesystem;

// Writes a file dated `when` (local time) and returns its path.
inline std::string DatedFile(const std::string& path, const std::string& bytes = "x",
                             const DateTime& when = {2010, 5, 1, 12, 0, 0, 0}) {
    WriteFile(path, bytes);
    SetMTime(path, when.year, when.month, when.day, when.hour, when.minute, when.second);
    return path;
}

// Regular files below a folder: relative path -> content.
inline std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFile(e.path());
    }
    return files;
}

}  // namespace pelko::test
