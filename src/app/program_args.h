#pragma once

// The window program's command line: `pelkocopy [CARD-OR-FOLDER]`, `--help`, `--version`. The
// usage text lives here once, for --help and the manual page.

#include <string>
#include <string_view>
#include <vector>

namespace pelko {

inline constexpr std::string_view kProgramSynopsis = "[--] [CARD-OR-FOLDER]";
inline constexpr std::string_view kProgramSummary =
    "Opens the PelkoCopy window, which copies the pictures and movies of a camera card into\n"
    "the folders chosen for RAW files, JPEG files and the rest, and can delete them from the\n"
    "card once each copy reads back identical. Only one window runs per user: a later start\n"
    "brings it forward and passes CARD-OR-FOLDER on to it.\n"
    "\n"
    "CARD-OR-FOLDER is a path or a file:// URI (as the desktop passes an inserted card). A\n"
    "card's mount point (a folder holding DCIM), or its DCIM folder, is taken as the card to\n"
    "copy; any other folder is offered to the folder command after its usual questions. A\n"
    "path that does not exist is reported and the window opens as usual.";

struct ProgramOption {
    std::string_view names;
    std::string_view meaning;
};
inline constexpr ProgramOption kProgramOptions[] = {
    {"--help, -h", "print this usage and exit"},
    {"--version", "print the release and exit"},
    {"--", "end of the options: the next argument is CARD-OR-FOLDER"},
};

struct ProgramArgs {
    bool help = false;
    bool version = false;
    std::string path;   // as given: a path or a URI; empty when none
    std::string error;  // bad usage, for one line on stderr (exit 2)
};

// args: the arguments after the program name.
ProgramArgs ParseProgramArgs(const std::vector<std::string>& args);
// The usage, as --help prints it.
std::string ProgramUsage();

}  // namespace pelko
