#pragma once

// The two mode lists of the main window: captions and descriptions of the folder modes and the
// file-name modes.

#include <string>
#include <vector>

#include "support/date_time.h"

namespace pelko {

struct ModeItem {
    std::string caption;
    std::string description;
};

// The folder-mode list, index = folder mode.
std::vector<ModeItem> FolderModeItems();

// The file-name-mode list, index = file-name mode; the samples are computed from `filled_at`, the
// date-time at which the list is filled.
std::vector<ModeItem> FileNameModeItems(const DateTime& filled_at);

}  // namespace pelko
