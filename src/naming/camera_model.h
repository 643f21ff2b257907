#pragma once

// Camera model of a picture file: from the EXIF block of a JPEG file, or from a fixed stretch at
// the start of PEF, NEF, CR2, ARW and ORF files, shortened through the alias table
// ChangeModelName.txt of the application folder.

#include <string>

namespace pelko {

// The model text for a file ("不明" when nothing is found); with no_alias the alias table is not
// applied.
std::string GetModelName(const std::string& file_name, bool no_alias = false);

}  // namespace pelko
