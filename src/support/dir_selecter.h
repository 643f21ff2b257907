#pragma once

// TDirSelecter: a folder choice that starts at a given folder and remembers the last choice.

#include <string>

#include "support/dialog_service.h"

namespace pelko {

enum class TSelPatt { dkSHFolder, dkLikeWin31, dkTreeView };

// The nearest existing folder of path: the path itself, else its parent, and so on; empty when
// no ancestor exists (a relative path below missing folders, or an empty path).
std::string NearestExistingFolder(const std::string& path);

class TDirSelecter {
  public:
    // The dialog service stands in for the owner window; it must outlive the selecter.
    explicit TDirSelecter(IDialogService& dialogs) : dialogs_(dialogs) {}

    std::string Caption = "フォルダを選択して下さい";
    // Every kind shows the desktop's folder picker.
    TSelPatt Kind = TSelPatt::dkSHFolder;
    bool MemoryLastSelect = true;
    std::string LastDir;

    // Sets both Root and LastDir.
    void SetRoot(const std::string& root) {
        root_ = root;
        LastDir = root;
    }
    // The folder chosen by the last Execute; empty when it was cancelled.
    const std::string& Directory() const { return directory_; }

    // Shows the picker at the start folder; true when an existing folder was chosen.
    bool Execute();

  private:
    IDialogService& dialogs_;
    std::string root_;
    std::string directory_;
};

}  // namespace pelko
