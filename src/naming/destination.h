#pragma once

// Destination builder: where one source file goes (base folder of its kind, the sub-folder of the
// folder mode, the name of the file-name mode), which date names it, and the skip rule against the
// last copy. A copy loop calls BuildDestination once per file with one NamingContext for the run.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "naming/user_format.h"
#include "support/date_time.h"

namespace pelko {

// Folder modes (stored as "MakeFolder").
inline constexpr int kFolderModeNone = 0;
inline constexpr int kFolderModeUser = 1;
inline constexpr int kFolderModeUserFormat = 2;
inline constexpr int kFolderModeYear = 3;
inline constexpr int kFolderModeYearMonth = 4;
inline constexpr int kFolderModeYearMonthDay = 5;
inline constexpr int kFolderModeCount = 6;

// File-name modes (stored as "FileName").
inline constexpr int kFileNameModeOriginal = 0;
inline constexpr int kFileNameModeUserFormat = 1;
inline constexpr int kFileNameModeDateTimeNumber = 2;
inline constexpr int kFileNameModeDateTime = 3;
inline constexpr int kFileNameModeOriginalDateTime = 4;
inline constexpr int kFileNameModeDateTimeNumberPrefix = 5;
inline constexpr int kFileNameModeCount = 6;

// DateTimeOriginal of a JPEG file's EXIF block; nothing when the file carries no EXIF data
// (an EXIF block without the tag gives an empty text).
using ExifDateReader = std::function<std::optional<std::string>(const std::string& file_name)>;

// The naming settings of the main window (also what a copy set stores, destinations aside).
struct NamingSettings {
    int folder_mode = kFolderModeNone;           // MakeFolder
    std::string user_folder;                     // the folder history's current entry
    int file_name_mode = kFileNameModeOriginal;  // FileName
    std::string user_format;                     // the format history's current entry
    bool exif_date = false;                      // ExecExifDate
    bool skip_older = false;                     // LastDateExec
};

// Date texts and the current folder that the builder reads and updates across a run.
struct NamingState {
    std::string last_copy_cutoff;       // LastCopyCutoff, "yyyy/mm/dd hh:nn:ss"
    std::string newest_file_date;       // NewestFileDate, "yyyy/mm/dd hh:nn:ss", raised here
    std::string current_shot_date;      // CurrentShotDate, "yyyy/mm/dd", written here
    std::string current_source_folder;  // CurrentSourceFolder, read by %C
};

// Everything the builder needs besides the file itself. One per run (or per window).
struct NamingContext {
    NamingSettings settings;
    NamingState state;
    // EXIF capture date of a ".jpg" file; empty: the built-in EXIF reader.
    ExifDateReader exif_date_reader;
    // Model for %C; empty: GetModelName without an alias table.
    ModelNameLookup model_name;
    // False for dry runs: the destination folder is worked out but not created.
    bool create_folders = true;
    // Dry runs: true for a path an earlier file would have taken, which the disk does not show.
    std::function<bool(const std::string& path)> name_planned;
};

// One source file.
struct DestinationRequest {
    std::string path;         // full path of the source file
    std::string ext;          // its extension with the dot, in the case found
    std::string base_folder;  // destination folder of the file's kind (no trailing "/")
    // The file's modification time when the caller has read it already; read here otherwise.
    std::optional<DateTime> time_stamp;
};

enum class DestinationOutcome {
    kOk,
    kSkippedOlder,  // dated before LastCopyCutoff while skip_older is on
};

struct DestinationResult {
    DestinationOutcome outcome = DestinationOutcome::kOk;
    std::string dest_path;      // folder + "/" + file_name; empty when skipped
    std::string folder;         // destination folder (base folder plus sub-folder)
    std::string file_name;      // new file name
    DateTime file_date;         // the date chosen for naming
    bool folder_ready = false;  // the folder exists afterwards

    bool Skipped() const { return outcome != DestinationOutcome::kOk; }
};

// Decides the destination of one file and updates context.state (NewestFileDate, CurrentShotDate)
// unless the file is skipped. Creates the destination folder when context.create_folders.
DestinationResult BuildDestination(NamingContext& context, const DestinationRequest& request);

// A folder text or evaluated folder format as a sub-folder that stays below its destination
// root: "/"-separated parts, with empty, "." and ".." parts dropped (so an absolute path becomes
// relative), control characters and broken text removed from each part, and a part that would
// look like a copy's temporary given a "_" in front. Empty: the root.
std::string ConfinedSubFolder(std::string_view text);

// The date that names a file: its modification time, or for ".jpg" with the EXIF option and an
// EXIF block the capture date (the file time again when that lies before 1990/01/01 00:00:30).
DateTime ChooseFileDate(const NamingContext& context, const std::string& path, std::string_view ext,
                        const std::optional<DateTime>& time_stamp);

// "y/m/d" and "h:n:s" or "h:n" (empty: midnight), each number of 1 to 4 digits, as a valid
// date-time; nothing otherwise.
std::optional<DateTime> ParseLooseDateTime(std::string_view date_part, std::string_view time_part);

// An EXIF date text "yyyy:mm:dd hh:nn:ss" as a date; 2000/01/01 00:00:00 when it does not parse.
DateTime ExifTextToDateTime(std::string_view text);

// The built-in EXIF date reader.
std::optional<std::string> ReadExifDateTimeOriginal(const std::string& file_name);

}  // namespace pelko
