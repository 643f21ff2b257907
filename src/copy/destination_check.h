#pragma once

// A run whose destination lies on the card would "copy" the pictures onto the card itself, and
// with deletion on leave them only there, under rows that read "OK | OK"; a destination that
// holds the source would take the run's own copies into the source. Such a run does not start.

#include <optional>
#include <string>

#include "copy/copy_run.h"
#include "copy/file_kind.h"

namespace pelko {

enum class DestinationProblemKind {
    kNotSet,       // empty: the copies would land in the file system's root and working folder
    kOnCard,       // at the card's root (the source folder for a folder run) or below it
    kHoldsSource,  // the source folder lies inside the destination
};

struct DestinationProblem {
    DestinationProblemKind why = DestinationProblemKind::kOnCard;
    TFileKind kind = TFileKind::fkNone;  // which destination: fkRaw, fkJpeg or fkOther
    std::string key;                     // its settings key: "DestRaw", "DestJpg", "DestOther"
    std::string path;                    // the destination as set
};

// The first destination of the settings that the run must not use, or none. For a card run the
// source is the DCIM folder and the card's root its parent; for a folder run the root is the
// folder itself. Paths are compared as the files they lead to (links followed, bind mounts seen
// through), a destination that does not exist yet by its nearest existing folder.
std::optional<DestinationProblem> CheckDestinations(const CopyRunSettings& settings,
                                                    const std::string& source_folder,
                                                    RunSourceKind kind);

// Whether a file could be written into `folder` without writing anything now, as a dry run asks:
// every part of it that exists is a folder, and the nearest existing one (the folder itself when
// it exists) is writable. What only a write can tell (a full disk, an immutable folder) is not
// foreseen.
bool FolderCouldTakeFiles(const std::string& folder);

// One line for the command-line tool.
std::string DestinationProblemText(const DestinationProblem& problem);
// The window's message: which destination, its path, and what to do.
std::string DestinationProblemTextJa(const DestinationProblem& problem);

}  // namespace pelko
