#pragma once

// The model check of the main window: what the naming settings call a chosen file, the model its
// reader finds and the alias the table gives it, and storing a new alias typed by the user.

#include <optional>
#include <string>
#include <string_view>

#include "naming/destination.h"

namespace pelko {

struct ModelCheck {
    std::string sample;  // the file name the settings give the file; empty when it is skipped
    std::string model;   // the model without the alias table
    std::string alias;   // the model through the alias table
};

// The check of `file` with the window's naming settings and dates, its own folder as the
// destination. Nothing is created: the sample is worked out as a dry run works it out.
ModelCheck CheckModel(const std::string& file, const NamingSettings& settings,
                      const NamingState& state, const std::string& app_folder);

// The confirmation the window shows for a check.
std::string ModelCheckMessage(const ModelCheck& check);

enum class AliasStoreOutcome {
    kStored,
    kNoTable,   // ChangeModelName.txt does not exist: nothing is written, nothing said
    kControl,   // the alias holds a control character
    kTooLong,   // the alias would be cut by the ini reader
    kBadModel,  // the model cannot be a key of the table
    kFailed,    // the table could not be written
};

// Writes model=alias (the alias trimmed; an empty one too) into section "Camera" of the alias
// table of `app_folder`, atomically, so the next name built sees it.
AliasStoreOutcome StoreModelAlias(const std::string& app_folder, const std::string& model,
                                  std::string_view alias);
// The window's message for an outcome; empty for kNoTable.
std::string AliasStoreTextJa(AliasStoreOutcome outcome, std::string_view alias);

}  // namespace pelko
