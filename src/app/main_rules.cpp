#include "app/main_rules.h"

#include <algorithm>

#include "naming/destination.h"

namespace pelko {

MainControlStates ControlStatesFor(const MainWindowSettings& settings) {
    const bool unlocked = !settings.setting_lock;
    const int folder_mode = settings.copy.folder_mode;
    MainControlStates states;
    states.settings_enabled = unlocked;
    states.change_buttons_visible = unlocked;
    states.user_folder_visible =
        folder_mode == kFolderModeUser || folder_mode == kFolderModeUserFormat;
    states.delete_folder_visible = states.user_folder_visible && unlocked;
    states.user_format_visible = settings.copy.file_name_mode == kFileNameModeUserFormat;
    states.delete_format_visible = states.user_format_visible && unlocked;
    return states;
}

FormBounds ReachableBounds(FormBounds bounds, ScreenSize screen, int min_width, int min_height) {
    constexpr int kVisibleStrip = 100;
    bounds.width = std::max(bounds.width, min_width);
    bounds.height = std::max(bounds.height, min_height);
    if (screen.width > 0 && screen.height > 0) {
        bounds.left = std::clamp(bounds.left, 0, std::max(0, screen.width - kVisibleStrip));
        bounds.top =
            std::clamp(bounds.top, 0, std::max(0, screen.height - kTaskbarHeight - kVisibleStrip));
    }
    return bounds;
}

}  // namespace pelko
