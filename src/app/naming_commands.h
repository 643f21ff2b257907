#pragma once

// The main window's naming commands: the copy sets (apply, save under a name, overwrite, delete),
// the two history delete buttons, the format help and the model check. They work on the settings
// value through the window's view and ask through the dialog service, so their rules are tested
// without widgets.

#include <string>

#include "app/main_lifecycle.h"
#include "app/main_view.h"

namespace pelko {

class TNamingCommands {
  public:
    // context: every member set; life: created (its copy sets listed once it is shown).
    TNamingCommands(IMainView& view, TMainLifecycle& life, const TMainContext& context);

    // cboCopySet picked `name`: its settings shown, the name first in the list.
    void ApplyCopySet(const std::string& name);
    // btnAddCopySet: the current settings under a name asked for.
    void AddCopySet();
    // btnOverwriteCopySet: the current settings into the displayed set, once confirmed.
    void OverwriteCopySet();
    // btnDelCopySet: the displayed set off the list, once confirmed; the next one applied.
    void DeleteCopySet();
    // btnDelFlder (folder) and btnDelFmt: the shown entry off its history.
    void DeleteHistoryEntry(bool folder);
    // btnFmtHelpClick: FmtHelp.txt of the application folder in the desktop's viewer.
    void OpenFormatHelp();
    // btnCheckModelNameClick: a chosen file's sample name and model, and a new alias for it.
    void CheckModelName();

  private:
    void ShowCopySet(const CopySettings& set);

    IMainView& view_;
    TMainLifecycle& life_;
    const TMainContext& context_;
};

}  // namespace pelko
