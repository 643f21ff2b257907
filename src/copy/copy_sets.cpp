#include "copy/copy_sets.h"

#include <algorithm>

#include "naming/list_file.h"
#include "support/file_ops.h"
#include "support/ini_file.h"
#include "support/text.h"
#include "support/text_file.h"

namespace pelko {

std::optional<CopySetNameProblem> CheckCopySetName(std::string_view typed) {
    const std::string_view name = TrimControl(typed);
    if (name.empty()) return CopySetNameProblem::kEmpty;
    if (HasControlChar(name) || CleanNameText(name) != name) return CopySetNameProblem::kControl;
    if (CharCount(name) > kCopySetNameMaxChars) return CopySetNameProblem::kTooLong;
    // The name is a section name: it must come back from the file as itself, and alone.
    IniDocument doc;
    if (!doc.Write(name, "K", "v") ||
        IniDocument::Parse(doc.Text()).Sections() != std::vector<std::string>{std::string(name)}) {
        return CopySetNameProblem::kNotSection;
    }
    // It is a line of the list file too, and may be its first: a leading byte order mark would
    // be taken off there.
    if (DecodeTextLines(std::string(name) + "\r\n", true) !=
        std::vector<std::string>{std::string(name)})
        return CopySetNameProblem::kNotSection;
    return std::nullopt;
}

std::string CopySetNameProblemTextJa(CopySetNameProblem problem) {
    switch (problem) {
        case CopySetNameProblem::kEmpty:
            return "保存をキャンセルしました";
        case CopySetNameProblem::kControl:
            return "設定名に制御文字は使えません";
        case CopySetNameProblem::kTooLong:
            return "設定名は " + std::to_string(kCopySetNameMaxChars) + " 文字以内で入力して下さい";
        case CopySetNameProblem::kNotSection:
            return "この設定名は使えません。別の名前を入力して下さい";
    }
    return {};
}

CopySetList::CopySetList(std::string list_path, std::string ini_path)
    : list_path_(std::move(list_path)), ini_path_(std::move(ini_path)) {}

namespace {

// The set names of a list file, once each. A line another program put there that could not be a
// set is not offered.
std::vector<std::string> ListedNames(const std::string& list_path) {
    std::vector<std::string> names;
    for (std::string& line : LoadListFile(list_path)) {
        if (!CheckCopySetName(line) && std::find(names.begin(), names.end(), line) == names.end())
            names.push_back(std::move(line));
    }
    return names;
}

}  // namespace

void CopySetList::Load(const CopySettings& current) {
    names_ = ListedNames(list_path_);
    if (names_.empty() || !FileExists(ini_path_)) {
        if (!Contains(kDefaultCopySetName)) names_.emplace_back(kDefaultCopySetName);
        Save(kDefaultCopySetName, current);
    }
}

std::string CopySetList::Displayed() const {
    return names_.empty() ? std::string() : names_.front();
}

bool CopySetList::Contains(std::string_view name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool CopySetList::Save(std::string_view name, const CopySettings& settings) const {
    return WriteCopySet(IniFile(ini_path_), name, settings);
}

std::optional<CopySettings> CopySetList::Read(std::string_view name,
                                              std::vector<SettingsProblem>* problems) const {
    if (!FileExists(ini_path_)) return std::nullopt;
    return ReadCopySet(IniFile(ini_path_), name, problems);
}

void CopySetList::MoveToTop(std::string_view name) {
    const auto found = std::find(names_.begin(), names_.end(), name);
    if (found != names_.end()) names_.erase(found);
    names_.insert(names_.begin(), std::string(name));
}

bool CopySetList::RemoveDisplayed() {
    if (names_.size() < 2) return false;
    names_.erase(names_.begin());
    return true;
}

bool CopySetList::SaveList() const {
    return SaveListFile(list_path_, names_);
}

bool ApplyStoredCopySet(MainWindowSettings& settings, const std::string& app_folder,
                        const std::string& computer_name, std::string_view name,
                        std::vector<std::string>& known, std::vector<SettingsProblem>& problems) {
    const ListFilePaths paths = MakeListFilePaths(app_folder, settings.mode, computer_name);
    CopySetList sets(paths.copy_set_list, paths.copy_set_ini);
    known = ListedNames(paths.copy_set_list);
    const std::optional<CopySettings> stored =
        std::find(known.begin(), known.end(), name) != known.end() ? sets.Read(name, &problems)
                                                                   : std::nullopt;
    if (!stored) return false;
    CopySettings& c = settings.copy;
    // The window shows the set's texts in the history boxes; an empty one leaves the history's
    // first entry in force there, so here too.
    const std::string user_folder =
        stored->user_folder.empty() ? c.user_folder : stored->user_folder;
    const std::string user_format =
        stored->user_format.empty() ? c.user_format : stored->user_format;
    c = *stored;
    c.user_folder = user_folder;
    c.user_format = user_format;
    return true;
}

}  // namespace pelko
