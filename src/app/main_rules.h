#pragma once

// Rules of the main window on plain values: which controls the lock and the modes leave usable
// and shown, and where a stored window may be placed.

#include "copy/copy_settings.h"
#include "support/form_position.h"

namespace pelko {

struct MainControlStates {
    // The mode and history combos, the copy-set list, the check boxes but the lock, the pickers.
    bool settings_enabled = true;
    // The copy-set buttons and the destination buttons.
    bool change_buttons_visible = true;
    bool user_folder_visible = false;    // cboUserFolder
    bool delete_folder_visible = false;  // btnDelFlder
    bool user_format_visible = false;    // cboUserFmt
    bool delete_format_visible = false;  // btnDelFmt
    bool operator==(const MainControlStates&) const = default;
};

// The one rule for the lock ("変更をロック") and the two modes together: a user combo is shown
// while its mode uses it, a button that changes settings only while the lock is off.
MainControlStates ControlStatesFor(const MainWindowSettings& settings);

// A window stored on a screen that is gone (or a damaged value) must not be lost: its top left
// corner stays on the screen with a strip of the window beside it; it is never smaller than the
// minimum size.
FormBounds ReachableBounds(FormBounds bounds, ScreenSize screen, int min_width, int min_height);

// A run's end is told by the desktop when the user is not looking at the window.
inline bool ShouldNotifyRunEnd(bool minimized, bool active) {
    return minimized || !active;
}

}  // namespace pelko
