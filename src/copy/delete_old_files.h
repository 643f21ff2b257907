#pragma once

// Clean-up of old folders at close: old pictures and sidecars in a folder of the user's choice and
// in the JPEG destination's "DSLR" folder are deleted; compact-camera folders are never touched.

#include <string>
#include <string_view>

#include "support/date_time.h"

namespace pelko {

// True for a path the clean-up may delete: not below anything named with "コンデジ", with an
// extension (any letter case) of ".pef", ".dng", ".xmp" or ".jpg".
bool IsDeleteCandidate(std::string_view path);

// Deletes the candidates below folder and below jpeg_dest + "/DSLR" whose modification date lies
// before today minus days. Nothing happens when folder is empty or does not exist. Returns the
// number of files deleted; failed deletions are passed over.
int DeleteOldFiles(const std::string& folder, int days, const std::string& jpeg_dest,
                   const DateTime& today);

}  // namespace pelko
