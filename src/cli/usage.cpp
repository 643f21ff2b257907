#include "cli/usage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>
#include <vector>

#include "cli/import_options.h"
#include "naming/destination.h"
#include "naming/naming_modes.h"

namespace pelko::cli {

namespace {

constexpr OptionUsage kModelOptions[] = {
    {"--no-alias", "", "print the model as the file names it, without the alias table"},
};

constexpr OptionUsage kNameOptions[] = {
    {"--format", "FMT", "the user format, e.g. \"%Dyyyymmdd-%F\" (required)"},
    {"--date", "\"yyyy/mm/dd hh:nn:ss\"", "the date the format writes (default: now)"},
    {"--source-folder", "DIR", "the folder of the file, where %C looks for its model"},
};

constexpr OptionUsage kSidecarOptions[] = {
    {"--sidecars", "DIR", "root folder where the sidecar files were left (required)"},
    {"--pictures", "DIR", "root folder of the RAW and JPEG pictures (required)"},
    {"--jpeg", "", "JPEG files count as pictures too"},
    {"--delete-xmp", "", "list every .xmp sidecar for deletion"},
    {"--execute", "", "carry the list out; column 4 holds each row's outcome"},
    {"--raw-ext", "LIST", "comma-separated extensions added to the RAW pictures, e.g. .cr3"},
    {"--jpeg-ext", "LIST", "comma-separated extensions added to the JPEG pictures"},
    {"--json", "", "print one JSON object per row, then a status object"},
};

constexpr OptionUsage kStatsOptions[] = {
    {"--json", "", "print one JSON object per row"},
};

// What the mode numbers of import do, beside the captions the window shows for them.
constexpr std::array<std::string_view, kFolderModeCount> kFolderModeMeanings = {
    "straight into the destination",
    "into the --user-folder text as it stands (a format when it holds %D or %W)",
    "into the --user-folder text evaluated as a format",
    "into a folder of the year: yyyy",
    "into a folder of the month: yyyy-mm",
    "into a folder of the day: yyyy-mm-dd",
};
constexpr std::array<std::string_view, kFileNameModeCount> kFileNameModeMeanings = {
    "the source name: IMGP0123.JPG",
    "the --user-format format evaluated (the source name when it is empty)",
    "20090410-124510-0123.JPG",
    "20090410-124510.JPG, or the mode-2 name when that name is taken",
    "IMGP0123-20090410-124510.JPG",
    "20090410-124510-0123_IMGP.JPG",
};

void PrintModes(std::ostream& out, const std::vector<ModeItem>& items,
                std::span<const std::string_view> meanings) {
    for (std::size_t i = 0; i < meanings.size(); ++i) {
        out << "  " << i << "  ";
        if (i < items.size()) out << items[i].caption << ": ";
        out << meanings[i] << "\n";
    }
}

void ImportNotes(std::ostream& out) {
    out << "\nFolder modes (--folder-mode N):\n";
    PrintModes(out, FolderModeItems(), kFolderModeMeanings);
    out << "\nFile-name modes (--name-mode N), for IMGP0123.JPG shot on 2009/04/10 at 12:45:10:\n";
    PrintModes(out, FileNameModeItems(DateTime{2009, 4, 10, 12, 45, 10, 0}), kFileNameModeMeanings);
}

constexpr CommandUsage kCommands[] = {
    {"exif",
     "FILE...",
     "Prints every EXIF property of each JPEG file, one JSON object per file and line.",
     {},
     nullptr},
    {"model", "[--no-alias] FILE...",
     "Prints the camera model of each file, one line per file, after the alias table\n"
     "ChangeModelName.txt of the application folder.",
     kModelOptions, nullptr},
    {"name", "--format FMT [--date \"yyyy/mm/dd hh:nn:ss\"] [--source-folder DIR] NAME",
     "Prints the name the user format gives the file NAME, with NAME's extension\n"
     "(an empty NAME evaluates a folder text).",
     kNameOptions, nullptr},
    {"import", "SOURCE --raw DIR --jpeg DIR --other DIR [options]",
     "Copies the files of SOURCE (a card's DCIM folder, or any folder) into the destination\n"
     "of their kind as the window does, or with --rename renames them in place. Prints one\n"
     "tab-separated row per file (source, destination, copy and delete outcome), then the\n"
     "status and speed lines.",
     kImportOptionUsage, ImportNotes},
    {"sidecar", "--sidecars DIR --pictures DIR [--jpeg] [--delete-xmp] [--execute]",
     "Lists the sidecar files (.spi .spd .xmp) below --sidecars whose picture below\n"
     "--pictures is not beside them: one tab-separated row each (sidecar, picture or\n"
     "note, action, outcome). A move never replaces a different file; a moved sidecar\n"
     "is deleted only after its copy was read back identical.",
     kSidecarOptions, nullptr},
    {"stats", "[--json]",
     "Prints the shot counts of the statistics mode: one tab-separated row per day of the\n"
     "table 撮影枚数 in PelkoData.db (\"shots\", the day, the total, then CAMERA=COUNT for\n"
     "each camera column), then one per camera tally in CardInfo.ini (\"camera\", its name,\n"
     "the count, the size in KB, the average size, and how many such files fit on cards of\n"
     "4, 8, 16 and 32 GB). Nothing is created or changed.",
     kStatsOptions, nullptr},
};

// Every command also takes these.
constexpr OptionUsage kCommonOptions[] = {
    {"--help", "", "print this usage and exit"},
    {"--", "", "end of the options: every later argument is an operand"},
};

constexpr std::size_t kOptionColumn = 34;

void PrintOptions(std::ostream& out, std::span<const OptionUsage> options) {
    for (const OptionUsage& option : options) {
        std::string left = "  " + std::string(option.names);
        if (!option.value.empty()) left += " " + std::string(option.value);
        out << left;
        // A long option takes a line of its own, its meaning the next.
        if (left.size() + 2 > kOptionColumn) {
            out << "\n" << std::string(kOptionColumn, ' ');
        } else {
            out << std::string(kOptionColumn - left.size(), ' ');
        }
        out << option.meaning << "\n";
    }
}

}  // namespace

int SpellingOf(const OptionUsage& option, std::string_view arg) {
    // The spellings of an option: "--a / --no-a" holds two.
    std::string_view names = option.names;
    for (int index = 0; !names.empty(); ++index) {
        const std::size_t split = names.find(" / ");
        if (names.substr(0, split) == arg) return index;
        if (split == std::string_view::npos) break;
        names.remove_prefix(split + 3);
    }
    return -1;
}

std::span<const CommandUsage> Commands() {
    return kCommands;
}

const CommandUsage* FindCommand(std::string_view name) {
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const CommandUsage& c) { return c.name == name; });
    return found == std::end(kCommands) ? nullptr : &*found;
}

std::string UsageLine(const CommandUsage& command) {
    return "usage: pelkocopy-cli " + std::string(command.name) + " " +
           std::string(command.synopsis);
}

bool AsksForHelp(const CommandUsage& command, const Args& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") return false;
        if (arg == "--help" || arg == "-h") return true;
        const bool takes_value = std::any_of(
            command.options.begin(), command.options.end(),
            [&](const OptionUsage& o) { return !o.value.empty() && SpellingOf(o, arg) >= 0; });
        if (takes_value) ++i;
    }
    return false;
}

void PrintCommandHelp(const CommandUsage& command, std::ostream& out) {
    out << UsageLine(command) << "\n\n" << command.summary << "\n\nOptions:\n";
    PrintOptions(out, command.options);
    PrintOptions(out, kCommonOptions);
    if (command.notes != nullptr) command.notes(out);
}

void PrintProgramHelp(std::ostream& out) {
    out << "usage: pelkocopy-cli COMMAND [OPTIONS] [--] ARGS...\n"
           "       pelkocopy-cli COMMAND --help\n"
           "       pelkocopy-cli --help | --version\n"
           "\n"
           "Runs the engine of PelkoCopy from the command line. Output is UTF-8. Exit status:\n"
           "0 on success, 1 when any file failed, 2 for bad usage (with one line on stderr).\n"
           "\"--\" ends the options of every command. In tab-separated rows a tab, newline,\n"
           "backslash or byte that is not UTF-8 is written as \\t, \\n, \\\\ or \\xNN.\n";
    for (const CommandUsage& command : kCommands) {
        out << "\n" << std::string(78, '-') << "\n";
        PrintCommandHelp(command, out);
    }
}

int BadUsage(std::ostream& err, std::string_view command, std::string_view message) {
    std::string line;
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            line += escaped;
        } else {
            line += c;
        }
    }
    err << "pelkocopy-cli " << command << ": " << line;
    if (const CommandUsage* usage = FindCommand(command)) err << " (" << UsageLine(*usage) << ")";
    err << "\n";
    return 2;
}

}  // namespace pelko::cli
