#pragma once

// The options of `pelkocopy-cli import`, declared once: the parser, the usage line check,
// `import --help` and `pelkocopy-cli --help` all read this table.

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/usage.h"
#include "copy/file_kind.h"

namespace pelko::cli {

struct ImportOptions {
    std::optional<std::string> source;
    std::optional<std::string> dest_raw, dest_jpg, dest_other;
    std::optional<int> folder_mode, name_mode;
    std::optional<std::string> user_folder, user_format, cutoff, copy_set;
    // Given on the command line (either way), else taken from the settings or off.
    std::optional<bool> exif_date, skip_older, remove;
    bool rename = false;
    bool mode = false;
    bool mode_sp_user = false;
    bool settings = false;
    bool dry_run = false;
    bool json = false;
    bool progress = false;
    bool named_temporaries = false;
    // Extensions added to a kind, in the order given.
    std::vector<std::pair<TFileKind, std::string>> extensions;
};

enum class ImportOptionKind {
    kText,        // followed by a text: `text`
    kMode,        // followed by a mode from 0 to 5: `mode`
    kFlag,        // stands alone: `flag`
    kSwitch,      // "--x / --no-x" turn a stored setting on or off; the last one given wins
    kExtensions,  // followed by extensions added to `kind`
};

struct ImportOption {
    OptionUsage usage;  // spellings, what follows, meaning
    ImportOptionKind kind;
    std::optional<std::string> ImportOptions::*text = nullptr;
    std::optional<int> ImportOptions::*mode = nullptr;
    bool ImportOptions::*flag = nullptr;
    std::optional<bool> ImportOptions::*on_off = nullptr;
    TFileKind file_kind = TFileKind::fkNone;
    // Testing only: accepted, never listed in the usage.
    bool diagnostic = false;
};

// clang-format off
inline constexpr ImportOption kImportOptionTable[] = {
    {{"--raw", "DIR", "destination of RAW files"},
     ImportOptionKind::kText, &ImportOptions::dest_raw},
    {{"--jpeg", "DIR", "destination of JPEG files"},
     ImportOptionKind::kText, &ImportOptions::dest_jpg},
    {{"--other", "DIR", "destination of the other files (movies)"},
     ImportOptionKind::kText, &ImportOptions::dest_other},
    {{"--folder-mode", "N", "sub-folder made in the destination, 0 to 5 (below; default 0)"},
     ImportOptionKind::kMode, nullptr, &ImportOptions::folder_mode},
    {{"--user-folder", "TEXT", "folder text of folder modes 1 and 2"},
     ImportOptionKind::kText, &ImportOptions::user_folder},
    {{"--name-mode", "N", "new file name, 0 to 5 (below; default 0)"},
     ImportOptionKind::kMode, nullptr, &ImportOptions::name_mode},
    {{"--user-format", "FMT", "file-name format of name mode 1"},
     ImportOptionKind::kText, &ImportOptions::user_format},
    {{"--exif-date / --no-exif-date", "", "take a JPEG's date from its EXIF capture date"},
     ImportOptionKind::kSwitch, nullptr, nullptr, nullptr, &ImportOptions::exif_date},
    {{"--cutoff", "\"yyyy/mm/dd hh:nn:ss\"", "the last-copy date-time that --skip-older uses"},
     ImportOptionKind::kText, &ImportOptions::cutoff},
    {{"--skip-older / --no-skip-older", "", "leave files dated before the cut-off alone"},
     ImportOptionKind::kSwitch, nullptr, nullptr, nullptr, &ImportOptions::skip_older},
    {{"--remove / --no-remove", "", "delete each source once its copy is verified"},
     ImportOptionKind::kSwitch, nullptr, nullptr, nullptr, &ImportOptions::remove},
    {{"--rename", "", "rename the files in SOURCE in place instead of copying them"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::rename},
    {{"--mode", "", "card statistics, shot counters and compact-camera folder (Mode)"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::mode},
    {{"--mode-sp-user", "", "shot counters only (ModeSpUser)"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::mode_sp_user},
    {{"--settings", "", "start from the window's settings; options given here win"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::settings},
    {{"--copy-set", "NAME", "with --settings (implied): apply the window's copy set NAME"},
     ImportOptionKind::kText, &ImportOptions::copy_set},
    {{"--raw-ext", "LIST", "comma-separated extensions added to the RAW kind, e.g. .cr3,.srw"},
     ImportOptionKind::kExtensions, nullptr, nullptr, nullptr, nullptr, TFileKind::fkRaw},
    {{"--jpeg-ext", "LIST", "comma-separated extensions added to the JPEG kind"},
     ImportOptionKind::kExtensions, nullptr, nullptr, nullptr, nullptr, TFileKind::fkJpeg},
    {{"--other-ext", "LIST", "comma-separated extensions added to the other kind"},
     ImportOptionKind::kExtensions, nullptr, nullptr, nullptr, nullptr, TFileKind::fkOther},
    {{"--dry-run", "", "print what would happen; create, copy, rename and delete nothing"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::dry_run},
    {{"--json", "", "print one JSON object per row instead of the tab-separated row"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::json},
    {{"--progress", "", "print the files left and the time remaining on stderr"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::progress},
    // Diagnostic: copies work under named temporaries even where the file system has unnamed
    // files, so that tests reach the code of file systems without them.
    {{"--named-temporaries", "", "testing: copy under named temporaries only"},
     ImportOptionKind::kFlag, nullptr, nullptr, &ImportOptions::named_temporaries, nullptr,
     TFileKind::fkNone, true},
};
// clang-format on

// The usage lines of the options that are not diagnostic, in table order.
inline constexpr auto kImportOptionUsage = [] {
    constexpr std::size_t count =
        std::count_if(std::begin(kImportOptionTable), std::end(kImportOptionTable),
                      [](const ImportOption& option) { return !option.diagnostic; });
    std::array<OptionUsage, count> usage{};
    std::size_t i = 0;
    for (const ImportOption& option : kImportOptionTable) {
        if (!option.diagnostic) usage[i++] = option.usage;
    }
    return usage;
}();

}  // namespace pelko::cli
