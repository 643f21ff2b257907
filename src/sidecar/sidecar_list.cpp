#include "sidecar/sidecar_list.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>

#include "support/file_ops.h"
#include "support/search.h"
#include "support/text.h"

namespace pelko {

namespace {

constexpr std::string_view kNoPicture = "対応画像無し";
constexpr std::string_view kDeleteByOption = "オプション設定により削除";
constexpr std::string_view kActionMove = "→移動";
constexpr std::string_view kActionDelete = "×削除";

// The characters of text before legacy column `width` (0 or less: none).
std::string LeftWidth(std::string_view text, std::ptrdiff_t width) {
    return width <= 0 ? std::string() : LegacyLeft(text, static_cast<std::size_t>(width));
}

std::string WithoutLastExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

bool Contains(const std::vector<std::string>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Runs one recursive search of root, handing each regular file to keep; folders that cannot be
// opened go to unreadable.
void SearchFiles(const std::string& root, const std::atomic<bool>* stop,
                 const std::function<void(const std::string&)>& keep,
                 std::vector<std::string>& unreadable) {
    TSearchFile search;
    search.Directory = root;
    search.SearchName = "*.*";
    search.Recursive = true;
    search.Stop = stop;
    search.OnFind = [&](TSearchFile&, const std::string& name, const TSearchFileData& data, bool&) {
        if (data.IsRegularFile()) keep(name);
    };
    search.OnFindDir = [&](TSearchFile&, const std::string& name, const TSearchFileData&, bool&,
                           bool&) {
        int error = 0;
        if (!HeldFolder::Open(name, &error) && error != EMFILE && error != ENFILE) {
            unreadable.push_back(name);
        }
    };
    search.Execute();
}

}  // namespace

std::string_view SidecarOutcomeText(TSidecarOutcome outcome) {
    switch (outcome) {
        case TSidecarOutcome::soNone:
            break;
        case TSidecarOutcome::soMoved:
            return "移動OK";
        case TSidecarOutcome::soMoveFailed:
            return "移動に失敗";
        case TSidecarOutcome::soDeleted:
            return "削除OK";
        case TSidecarOutcome::soDeleteFailed:
            return "削除に失敗";
    }
    return {};
}

std::array<std::string, 4> SidecarCells(const SidecarRow& row) {
    std::string note(row.reason == TSidecarReason::srElsewhere   ? std::string_view(row.picture)
                     : row.reason == TSidecarReason::srNoPicture ? kNoPicture
                                                                 : kDeleteByOption);
    return {row.sidecar, std::move(note), std::string(row.IsMove() ? kActionMove : kActionDelete),
            std::string(SidecarOutcomeText(row.outcome))};
}

bool IsSidecarExtension(std::string_view lower_extension) {
    return lower_extension == ".spi" || lower_extension == ".spd" || lower_extension == ".xmp";
}

std::string SidecarStem(std::string_view file_name) {
    const std::string name = AsciiLower(file_name);
    if (ExtensionOf(name) == ".xmp") return WithoutLastExtension(name);
    // SILKYPIX names its sidecars after the whole picture name ("imgp0001.pef"), sometimes with
    // ".4." or ".5." and more after it; the stem drops the picture's dot and three letters.
    for (const std::string_view mark : {".4.", ".5."}) {
        const std::size_t at = name.find(mark);
        if (at == std::string::npos) continue;
        const auto column = static_cast<std::ptrdiff_t>(LegacyWidth(name.substr(0, at)));
        return LeftWidth(name, column - 4);
    }
    // The picture's ".pef" and the sidecar's ".spd".
    return LeftWidth(name, static_cast<std::ptrdiff_t>(LegacyWidth(name)) - 8);
}

std::string PictureStem(std::string_view file_name) {
    return AsciiLower(WithoutLastExtension(file_name));
}

std::vector<SidecarRow> ListUnmatched(const std::vector<std::string>& sidecars,
                                      const std::vector<std::string>& pictures, bool delete_xmp) {
    // The first picture of each stem, as a search from the start of the list meets it.
    std::unordered_map<std::string, std::size_t> first;
    // Other developers name an .xmp after the whole picture name ("IMGP0001.PEF.xmp"); such a
    // file beside its picture is not an orphan, and deleting it would lose that program's edits.
    std::unordered_map<std::string, std::size_t> first_named;
    first.reserve(pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        first.try_emplace(PictureStem(NameOf(pictures[i])), i);
        first_named.try_emplace(AsciiLower(NameOf(pictures[i])), i);
    }

    std::vector<SidecarRow> rows;
    for (const std::string& sidecar : sidecars) {
        const std::string name = NameOf(sidecar);
        const bool xmp = AsciiLower(ExtensionOf(name)) == ".xmp";
        if (xmp && delete_xmp) {
            // One row only: a second one would fail on the file the first deleted.
            rows.push_back({sidecar, {}, TSidecarReason::srXmpOption});
            continue;
        }
        const std::string stem = SidecarStem(name);
        if (stem.empty()) continue;
        // An .xmp lies beside its picture; a SILKYPIX file one folder below it.
        const std::string folder = xmp ? FolderOf(sidecar) : FolderOf(FolderOf(sidecar));
        const std::size_t* match = nullptr;
        if (const auto found = first.find(stem); found != first.end()) {
            match = &found->second;
        } else if (const auto named = first_named.find(stem); xmp && named != first_named.end()) {
            match = &named->second;
        }
        if (match == nullptr) {
            rows.push_back({sidecar, {}, TSidecarReason::srNoPicture});
        } else if (const std::string& picture = pictures[*match]; FolderOf(picture) != folder) {
            rows.push_back({sidecar, picture, TSidecarReason::srElsewhere});
        }
    }
    return rows;
}

SidecarCheckResult CheckSidecars(const SidecarCheckOptions& options) {
    SidecarCheckResult result;
    std::vector<std::string> sidecars;
    std::vector<std::string> pictures;
    std::size_t seen = 0;
    const auto tick = [&] {
        if (options.progress && ++seen % 1024 == 0)
            options.progress(sidecars.size(), pictures.size());
    };
    const auto stopped = [&] { return options.stop != nullptr && options.stop->load(); };

    SearchFiles(
        options.sidecar_root, options.stop,
        [&](const std::string& path) {
            if (IsSidecarExtension(AsciiLower(ExtensionOf(path)))) sidecars.push_back(path);
            tick();
        },
        result.unreadable_folders);
    if (stopped()) {
        result.status = TSidecarCheck::scStopped;
        return result;
    }
    if (!sidecars.empty() && !FolderExists(options.picture_root)) {
        result.status = TSidecarCheck::scPictureRootMissing;
        return result;
    }
    if (!sidecars.empty()) {
        SearchFiles(
            options.picture_root, options.stop,
            [&](const std::string& path) {
                const std::string extension = AsciiLower(ExtensionOf(path));
                if (Contains(options.extensions.raw, extension) ||
                    (options.use_jpeg && Contains(options.extensions.jpeg, extension))) {
                    pictures.push_back(path);
                }
                tick();
            },
            result.unreadable_folders);
    }
    result.sidecars = sidecars.size();
    result.pictures = pictures.size();
    if (options.progress) options.progress(sidecars.size(), pictures.size());
    if (stopped()) {
        result.status = TSidecarCheck::scStopped;
        return result;
    }
    result.rows = ListUnmatched(sidecars, pictures, options.delete_xmp);
    return result;
}

}  // namespace pelko
