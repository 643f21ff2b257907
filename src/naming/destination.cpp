#include "naming/destination.h"

#include <ctime>

#include "exif/exif_info_ex.h"
#include "naming/date_format.h"
#include "support/file_info.h"
#include "support/file_ops.h"
#include "support/platform.h"
#include "support/text.h"

namespace pelko {

namespace {

// EXIF dates before this are taken as unset camera clocks; the file time names the file instead.
constexpr DateTime kEarliestExifDate{1990, 1, 1, 0, 0, 30, 0};
// What an EXIF date text that does not parse stands for.
constexpr DateTime kUnreadableExifDate{2000, 1, 1, 0, 0, 0, 0};

// Digits only, at most 4 of them, as a number; -1 otherwise.
int SmallNumber(std::string_view text) {
    if (text.empty() || text.size() > 4) return -1;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Splits text at `separator` into exactly `count` numbers (fewer allowed down to `minimum`).
bool SplitNumbers(std::string_view text, char separator, int minimum, int count, int* values) {
    int n = 0;
    while (true) {
        const std::size_t end = text.find(separator);
        if (n == count) return false;
        values[n] = SmallNumber(text.substr(0, end));
        if (values[n] < 0) return false;
        ++n;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return n >= minimum;
}

// folder + "/" + child; an empty folder never turns the child into a path below the root.
std::string JoinPath(std::string_view folder, std::string_view child) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path.append(child);
    return path;
}

// A generated name or folder never looks like the temporary a copy works under: a later run
// could take it for one of a broken copy. Such a name gets a "_" in front.
std::string NotTemporaryName(std::string name) {
    if (name.starts_with(kCopyTemporaryPrefix)) name.insert(0, "_");
    return name;
}

// base_folder + "/" + the sub-folder text kept below it; the base folder when nothing is left.
std::string JoinSubFolder(std::string_view base_folder, std::string_view text) {
    const std::string sub = ConfinedSubFolder(text);
    if (sub.empty()) return std::string(base_folder);
    return JoinPath(base_folder, sub);
}

// The text of a folder-mode user folder, evaluated as a format; the base folder when that gives
// nothing.
std::string FolderFromFormat(const NamingContext& context, std::string_view base_folder,
                             const std::string& text, const DateTime& date) {
    return JoinSubFolder(base_folder,
                         EvaluateUserFormat({}, {}, text, date, context.state.current_source_folder,
                                            context.model_name));
}

std::string DestinationFolder(const NamingContext& context, const std::string& base_folder,
                              const DateTime& date) {
    const NamingSettings& settings = context.settings;
    const std::string& text = settings.user_folder;
    switch (settings.folder_mode) {
        case kFolderModeUser:
            if (TrimControl(text).empty()) return base_folder;
            if (text.find("%D") != std::string::npos || text.find("%W") != std::string::npos) {
                return FolderFromFormat(context, base_folder, text, date);
            }
            return JoinSubFolder(base_folder, text);
        case kFolderModeUserFormat:
            if (TrimControl(text).empty()) return base_folder;
            return FolderFromFormat(context, base_folder, text, date);
        case kFolderModeYear:
            return JoinPath(base_folder, FormatDatePattern("yyyy", date));
        case kFolderModeYearMonth:
            return JoinPath(base_folder, FormatDatePattern("yyyy-mm", date));
        case kFolderModeYearMonthDay:
            return JoinPath(base_folder, FormatDatePattern("yyyy-mm-dd", date));
        default:
            return base_folder;
    }
}

std::string ModeName(const NamingContext& context, const std::string& folder,
                     const std::string& name, std::string_view ext, const DateTime& date) {
    const NamingSettings& settings = context.settings;
    switch (settings.file_name_mode) {
        case kFileNameModeUserFormat:
            if (TrimControl(settings.user_format).empty()) return name;
            return EvaluateUserFormat(name, ext, settings.user_format, date,
                                      context.state.current_source_folder, context.model_name);
        case kFileNameModeDateTimeNumber:
            return FormatDatePattern("yyyymmdd-hhnnss-", date) + NameNumber(name) +
                   std::string(ext);
        case kFileNameModeDateTime: {
            // One alternative only: a second collision is the caller's same-name case.
            std::string date_name = FormatDatePattern("yyyymmdd-hhnnss", date) + std::string(ext);
            const std::string path = JoinPath(folder, date_name);
            if (!FileExists(path) && !(context.name_planned && context.name_planned(path))) {
                return date_name;
            }
            return FormatDatePattern("yyyymmdd-hhnnss-", date) + NameNumber(name) +
                   std::string(ext);
        }
        case kFileNameModeOriginalDateTime:
            return LegacyLeft(name, 8) + "-" + FormatDatePattern("yyyymmdd-hhnnss", date) +
                   std::string(ext);
        case kFileNameModeDateTimeNumberPrefix:
            return FormatDatePattern("yyyymmdd-hhnnss", date) + "-" + NameNumber(name) + "_" +
                   NamePrefix(name) + std::string(ext);
        default:
            return name;
    }
}

// The file name of the file-name mode. A generated name holds no control characters or broken
// text, and is never a name that leads out of its folder; the source name stays as it is.
std::string DestinationName(const NamingContext& context, const std::string& folder,
                            const std::string& name, std::string_view ext, const DateTime& date) {
    if (context.settings.file_name_mode == kFileNameModeOriginal) return name;
    std::string generated = ModeName(context, folder, name, ext, date);
    if (generated == name) return name;
    generated = CleanNameText(generated);
    if (generated.empty() || generated == "." || generated == ".." ||
        generated.find('/') != std::string::npos) {
        return name;
    }
    return NotTemporaryName(std::move(generated));
}

}  // namespace

std::optional<DateTime> ParseLooseDateTime(std::string_view date_part, std::string_view time_part) {
    int date[3] = {0, 0, 0};
    int time[3] = {0, 0, 0};
    if (!SplitNumbers(date_part, '/', 3, 3, date)) return std::nullopt;
    if (!time_part.empty() && !SplitNumbers(time_part, ':', 2, 3, time)) return std::nullopt;
    DateTime dt{date[0], date[1], date[2], time[0], time[1], time[2], 0};
    if (!IsValidDateTime(dt)) return std::nullopt;
    return dt;
}

std::string ConfinedSubFolder(std::string_view text) {
    std::string sub;
    while (!text.empty()) {
        const std::size_t slash = text.find('/');
        const std::string part = NotTemporaryName(CleanNameText(text.substr(0, slash)));
        if (!part.empty() && part != "." && part != "..") {
            if (!sub.empty()) sub.push_back('/');
            sub += part;
        }
        if (slash == std::string_view::npos) break;
        text.remove_prefix(slash + 1);
    }
    return sub;
}

DateTime ExifTextToDateTime(std::string_view text) {
    auto bytes = [&](std::size_t from, std::size_t count) {
        return from < text.size() ? text.substr(from, count) : std::string_view();
    };
    std::string date_part(TrimControl(bytes(0, 10)));
    const std::string_view time_part = TrimControl(bytes(11, 10));
    for (char& c : date_part) {
        if (c == ':') c = '/';
    }
    return ParseLooseDateTime(date_part, time_part).value_or(kUnreadableExifDate);
}

std::optional<std::string> ReadExifDateTimeOriginal(const std::string& file_name) {
    TExifInfoEx exif;
    if (!exif.HasExif(file_name)) return std::nullopt;
    exif.SetImageFileName(file_name);
    return exif.DateTimeOriginal();
}

DateTime ChooseFileDate(const NamingContext& context, const std::string& path, std::string_view ext,
                        const std::optional<DateTime>& time_stamp) {
    DateTime date;
    if (time_stamp) {
        date = *time_stamp;
    } else {
        TFileIfo info;
        info.SetFileName(path);
        if (info.Found()) date = info.TimeStamp();  // else the zero date 1899/12/30 00:00:00
    }
    if (context.settings.exif_date && AsciiLower(ext) == ".jpg") {
        const std::optional<std::string> text = context.exif_date_reader
                                                    ? context.exif_date_reader(path)
                                                    : ReadExifDateTimeOriginal(path);
        if (text) {
            const DateTime exif_date = ExifTextToDateTime(*text);
            if (!(exif_date < kEarliestExifDate)) date = exif_date;
        }
    }
    return date;
}

DestinationResult BuildDestination(NamingContext& context, const DestinationRequest& request) {
    DestinationResult result;
    result.file_date = ChooseFileDate(context, request.path, request.ext, request.time_stamp);
    const std::string date_text = result.file_date.ToText();
    NamingState& state = context.state;
    if (context.settings.skip_older && state.last_copy_cutoff > date_text) {
        result.outcome = DestinationOutcome::kSkippedOlder;
        return result;
    }
    if (date_text > state.newest_file_date) state.newest_file_date = date_text;

    result.folder = DestinationFolder(context, request.base_folder, result.file_date);
    result.folder_ready =
        context.create_folders ? FolderCreate(result.folder) : FolderExists(result.folder);

    const std::string name = NameOf(request.path);
    result.file_name = DestinationName(context, result.folder, name, request.ext, result.file_date);
    state.current_shot_date = result.file_date.DateText();
    result.dest_path = JoinPath(result.folder, result.file_name);
    return result;
}

}  // namespace pelko
