#include "naming/naming_samples.h"

#include <vector>

#include "naming/naming_modes.h"

namespace pelko {

namespace {

std::string Description(const std::vector<ModeItem>& items, int mode) {
    return mode >= 0 && static_cast<std::size_t>(mode) < items.size()
               ? items[static_cast<std::size_t>(mode)].description
               : std::string();
}

}  // namespace

NamingSamples MakeNamingSamples(const NamingSettings& settings, const DateTime& now,
                                const ModelNameLookup& model_name) {
    NamingSamples samples;
    if (settings.folder_mode == kFolderModeUserFormat) {
        samples.folder = std::string(kFolderSamplePrefix) +
                         EvaluateUserFormat({}, {}, settings.user_folder, now, {}, model_name);
    } else {
        samples.folder = Description(FolderModeItems(), settings.folder_mode);
    }
    if (settings.file_name_mode == kFileNameModeUserFormat) {
        samples.file =
            std::string(kFileSamplePrefix) +
            EvaluateUserFormat(kSampleFileName, ".JPG", settings.user_format, now, {}, model_name);
    } else {
        samples.file = Description(FileNameModeItems(now), settings.file_name_mode);
    }
    return samples;
}

}  // namespace pelko
