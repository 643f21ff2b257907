#pragma once

// The run's context built from the settings value: one function for the window and the tool, so
// that both copy the same files to the same places under the same names.

#include <string>

#include "copy/copy_run.h"
#include "copy/copy_settings.h"

namespace pelko {

class IClock;

// The naming settings of the value.
NamingSettings NamingSettingsOf(const MainWindowSettings& settings);

// The date texts of a first run: the stored cut-off (now when none is stored) as the cut-off and
// as the newest date seen, and today as the shot date.
NamingState FirstRunState(const MainWindowSettings& settings, const DateTime& now);

// The context of a run with `settings`, the alias table of `app_folder`, `clock` and the date
// texts carried from run to run (`state`).
CopyRunContext MakeCopyRunContext(const MainWindowSettings& settings, const std::string& app_folder,
                                  const IClock& clock, const NamingState& state);

}  // namespace pelko
