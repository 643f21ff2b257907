#include "naming/camera_model.h"

namespace pelko {

// Placeholder until the model readers are built.
std::string GetModelName(const std::string& /*file_name*/, bool /*no_alias*/) { return "不明"; }

}  // namespace pelko
