#include "copy/run_context.h"

#include "naming/camera_model.h"
#include "support/platform.h"

namespace pelko {

NamingSettings NamingSettingsOf(const MainWindowSettings& settings) {
    NamingSettings naming;
    naming.folder_mode = settings.copy.folder_mode;
    naming.user_folder = settings.copy.user_folder;
    naming.file_name_mode = settings.copy.file_name_mode;
    naming.user_format = settings.copy.user_format;
    naming.exif_date = settings.exif_date;
    naming.skip_older = settings.skip_older;
    return naming;
}

NamingState FirstRunState(const MainWindowSettings& settings, const DateTime& now) {
    NamingState state;
    state.last_copy_cutoff =
        settings.last_copy_date_time.empty() ? now.ToText() : settings.last_copy_date_time;
    state.newest_file_date = state.last_copy_cutoff;
    state.current_shot_date = now.DateText();
    return state;
}

CopyRunContext MakeCopyRunContext(const MainWindowSettings& settings, const std::string& app_folder,
                                  const IClock& clock, const NamingState& state) {
    CopyRunContext context;
    const CopySettings& copy = settings.copy;
    CopyRunSettings& run = context.settings;
    run.dest_raw = copy.dest_raw;
    run.dest_jpg = copy.dest_jpg;
    run.dest_other = copy.dest_other;
    run.remove_after_copy = copy.remove_after_copy;
    run.mode = settings.mode;
    run.mode_sp_user = settings.mode_sp_user;

    context.naming.settings = NamingSettingsOf(settings);
    context.naming.state = state;
    const ModelAliasSource aliases{app_folder};
    context.naming.model_name = [aliases](const std::string& file) {
        return GetModelName(file, aliases);
    };
    context.clock = &clock;
    context.file_kinds = settings.file_kinds;
    return context;
}

}  // namespace pelko
