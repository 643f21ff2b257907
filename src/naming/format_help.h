#pragma once

// FmtHelp.txt: the user's documentation of the format codes, written at every start.

#include <string>
#include <vector>

namespace pelko {

// The lines of FmtHelp.txt, without line ends.
std::vector<std::string> FormatHelpLines();

// Writes folder + "/FmtHelp.txt" (UTF-8, CR LF), replacing the file; false when it could not be
// written.
bool WriteFormatHelpFile(const std::string& folder);

}  // namespace pelko
