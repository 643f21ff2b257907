#pragma once

// The sidecar tidy: finds the sidecar files of RAW developers (SILKYPIX ".spi" and ".spd" in a
// "SILKYPIX_DS" folder beside the pictures, ".xmp" beside the picture) whose picture is not where
// they are, and proposes for each to move it next to its picture or to delete it.

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelko {

// The folder SILKYPIX keeps its sidecars in, inside the folder of the pictures.
inline constexpr std::string_view kSilkypixFolder = "SILKYPIX_DS";

inline constexpr std::string_view kSidecarHeaders[4] = {"取り残されたサイドカーファイル",
                                                        "対応するデジカメファイル", "処理", "結果"};

enum class TSidecarReason {
    srElsewhere,  // the picture lies in another folder: move the sidecar there
    srNoPicture,  // no picture of that name: delete
    srXmpOption,  // every .xmp is deleted by the option
};

enum class TSidecarOutcome { soNone, soMoved, soMoveFailed, soDeleted, soDeleteFailed };

// One proposed action: one row of the list.
struct SidecarRow {
    std::string sidecar;  // full path
    std::string picture;  // full path of the picture for a move; empty otherwise
    TSidecarReason reason = TSidecarReason::srNoPicture;
    TSidecarOutcome outcome = TSidecarOutcome::soNone;

    bool IsMove() const { return reason == TSidecarReason::srElsewhere; }
    bool Failed() const {
        return outcome == TSidecarOutcome::soMoveFailed ||
               outcome == TSidecarOutcome::soDeleteFailed;
    }
    bool operator==(const SidecarRow&) const = default;
};

// The four cells of a row: sidecar, picture or note, "→移動" or "×削除", outcome text.
std::array<std::string, 4> SidecarCells(const SidecarRow& row);
std::string_view SidecarOutcomeText(TSidecarOutcome outcome);

// True for ".spi", ".spd" and ".xmp" (lower-cased, with the dot).
bool IsSidecarExtension(std::string_view lower_extension);

// The lower-cased stem of the picture a sidecar's file name belongs to: "IMGP0001.xmp",
// "IMGP0001.PEF.spd", "IMGP0001.PEF.5.spd" and "IMGP0001.PEF.4.spi" all give "imgp0001". Widths
// count as the legacy code page counts them, so the cut never splits a character. Empty when the
// name is too short for its rule.
std::string SidecarStem(std::string_view file_name);
// The lower-cased name of a picture without its last extension.
std::string PictureStem(std::string_view file_name);

// The picture extensions, lower-cased with their dot (the RAW kind, and the JPEG kind counted
// only on request).
struct PictureExtensions {
    std::vector<std::string> raw;
    std::vector<std::string> jpeg;
};

// Every sidecar of `sidecars` (full paths, in search order) that does not lie where its picture
// is: with the picture found elsewhere, a move row; with none, a delete row. The picture of a
// stem is the first of `pictures` that has it, as a search of the list from its start finds it.
// With delete_xmp, every .xmp gets one delete row and nothing else.
std::vector<SidecarRow> ListUnmatched(const std::vector<std::string>& sidecars,
                                      const std::vector<std::string>& pictures, bool delete_xmp);

struct SidecarCheckOptions {
    std::string sidecar_root;
    std::string picture_root;
    bool use_jpeg = false;
    bool delete_xmp = false;
    PictureExtensions extensions;
    // Set from any thread to stop the searches before their next entry; null: never.
    const std::atomic<bool>* stop = nullptr;
    // Called now and then while searching: the sidecars and pictures found so far.
    std::function<void(std::size_t sidecars, std::size_t pictures)> progress;
};

enum class TSidecarCheck {
    scListed,              // rows holds the list (possibly empty)
    scPictureRootMissing,  // the picture root is no folder: every sidecar would look orphaned
    scStopped,
};

struct SidecarCheckResult {
    TSidecarCheck status = TSidecarCheck::scListed;
    std::vector<SidecarRow> rows;
    std::size_t sidecars = 0;
    std::size_t pictures = 0;
    // Folders that could not be listed: a picture below one of them was never seen, so a sidecar
    // may be listed for deletion although its picture exists.
    std::vector<std::string> unreadable_folders;
};

// Searches both roots (regular files only: a folder is neither a sidecar nor a picture) and
// lists the unmatched sidecars.
SidecarCheckResult CheckSidecars(const SidecarCheckOptions& options);

// Carries one row out: a move goes into the picture's folder (an .xmp) or its "SILKYPIX_DS"
// folder, created when missing; the copy is made durable and read back before the sidecar is
// deleted, and only while it is still the file that was copied. A file of that name already
// there is never replaced: with the same content the sidecar is only removed, otherwise nothing
// happens and the move fails.
TSidecarOutcome CarryOutSidecarRow(const SidecarRow& row);

// Carries out every row in order, each on its own; stops before the next row once *stop is set.
// done(i) is called after row i got its outcome. Returns how many rows were carried out.
std::size_t CarryOutSidecarRows(std::vector<SidecarRow>& rows, const std::atomic<bool>* stop,
                                const std::function<void(std::size_t)>& done = {});

}  // namespace pelko
