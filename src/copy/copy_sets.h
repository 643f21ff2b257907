#pragma once

// Copy sets: named snapshots of the destinations and naming settings. The names live in a list
// file, most recently picked first (the displayed set is the first); each set's keys in a section
// of the copy-set ini file, which keeps the sections of deleted names. The window and the
// command-line tool both go through this class.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "copy/copy_settings.h"

namespace pelko {

inline constexpr std::string_view kDefaultCopySetName = "Default";
// The longest set name taken, in characters: a name is a line of the list and an ini section.
inline constexpr std::size_t kCopySetNameMaxChars = 200;

enum class CopySetNameProblem {
    kEmpty,       // nothing but spaces
    kControl,     // a control character: it would break the list file's lines
    kTooLong,     // over kCopySetNameMaxChars
    kNotSection,  // the ini file could not read it back as the same section name
};

// Why a typed set name (trimmed first) cannot be stored; nothing when it can.
std::optional<CopySetNameProblem> CheckCopySetName(std::string_view name);
// The window's message for a refused name.
std::string CopySetNameProblemTextJa(CopySetNameProblem problem);

class CopySetList {
  public:
    CopySetList(std::string list_path, std::string ini_path);

    // The names from the list file. While the list is empty or the ini file does not exist,
    // "Default" is added and stores `current`. The displayed set is not applied.
    void Load(const CopySettings& current);
    const std::vector<std::string>& Names() const { return names_; }
    // The displayed set: the first name; empty when the list is empty.
    std::string Displayed() const;
    bool Contains(std::string_view name) const;

    // Writes the set's keys into its section; false when the file could not be written.
    bool Save(std::string_view name, const CopySettings& settings) const;
    // Reads a set (missing keys give the defaults, refused folders are left empty with a
    // problem). Nothing while the ini file does not exist.
    std::optional<CopySettings> Read(std::string_view name,
                                     std::vector<SettingsProblem>* problems) const;
    // Moves `name` to the top (adding it when new): it becomes the displayed set.
    void MoveToTop(std::string_view name);
    // Takes the displayed set off the list (its section stays); false while fewer than two sets
    // are listed.
    bool RemoveDisplayed();
    // Writes the list file.
    bool SaveList() const;

    const std::string& IniPath() const { return ini_path_; }

  private:
    std::string list_path_, ini_path_;
    std::vector<std::string> names_;
};

// The copy set `name` of the application folder applied to `settings` (destinations, modes,
// texts and the removal flag); the set files follow settings.mode as the window's do. False with
// `known` holding the listed names when no set of that name is listed.
bool ApplyStoredCopySet(MainWindowSettings& settings, const std::string& app_folder,
                        const std::string& computer_name, std::string_view name,
                        std::vector<std::string>& known, std::vector<SettingsProblem>& problems);

}  // namespace pelko
