#pragma once

// The samples under the two mode lists of the main window: what the naming settings make of a
// card file named "IMGP0123.JPG" now, or the mode's description where there is nothing to
// evaluate.

#include <string>
#include <string_view>

#include "naming/destination.h"
#include "naming/user_format.h"

namespace pelko {

inline constexpr std::string_view kSampleFileName = "IMGP0123.JPG";
inline constexpr std::string_view kFolderSamplePrefix = "フォルダ名生成のサンプル　：　";
inline constexpr std::string_view kFileSamplePrefix =
    "ファイル名生成のサンプル　(例 IMGP0123.JPG)　→　";

struct NamingSamples {
    std::string folder;  // lblSampleFolder
    std::string file;    // lblSampleFileName
};

// Folder mode 2 shows its evaluated folder format, file-name mode 1 its evaluated file format;
// every other mode its description.
NamingSamples MakeNamingSamples(const NamingSettings& settings, const DateTime& now,
                                const ModelNameLookup& model_name);

}  // namespace pelko
